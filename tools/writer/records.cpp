#include "tools/writer/records.h"

#include <algorithm>

#include "package/byte_writer.h"

namespace zorv {

namespace {

void putText(ByteWriter& w, std::string_view s) {
  w.text(s);
  w.u8(0);
}

void putRanges(ByteWriter& w, std::span<const TaggedRange> items) {
  for (const TaggedRange& t : items) {
    w.u32(t.tag);
    w.u32(t.range.offset);
    w.u32(t.range.unpacked);
    w.u32(t.range.packed);
  }
}

std::uint8_t lengthByte(std::size_t n) { return static_cast<std::uint8_t>(n); }

}  // namespace

Bytes nameRecord(std::string_view text) {
  Bytes b;
  ByteWriter w(b);
  w.u8(lengthByte(text.size() + 1));
  putText(w, text);
  return b;
}

Bytes copyRecord(std::string_view name, std::uint32_t fileSize,
                 std::span<const TaggedRange> blocks) {
  Bytes b;
  ByteWriter w(b);
  w.u8(lengthByte(name.size()));
  putText(w, name);
  w.u32(fileSize);
  w.u32(static_cast<std::uint32_t>(blocks.size()));
  putRanges(w, blocks);
  return b;
}

Bytes directoryRecord(std::string_view name, std::span<const TaggedRange> members) {
  Bytes b;
  ByteWriter w(b);
  w.u8(lengthByte(name.size() + 1));
  putText(w, name);
  w.u32(static_cast<std::uint32_t>(members.size()));
  putRanges(w, members);
  return b;
}

Bytes linkRecord(std::string_view link, std::string_view target) {
  Bytes b;
  ByteWriter w(b);
  w.u8(lengthByte(link.size() + 1));
  w.u8(lengthByte(target.size() + 1));
  putText(w, link);
  putText(w, target);
  return b;
}

Bytes uninstallerRecord(std::string_view program, std::string_view version,
                        std::string_view publisher, std::string_view icon) {
  Bytes b;
  ByteWriter w(b);
  for (std::string_view t : {program, version, publisher, icon}) w.u8(lengthByte(t.size() + 1));
  for (std::string_view t : {program, version, publisher, icon}) putText(w, t);
  return b;
}

Bytes codePageRecord(std::uint32_t codePage) {
  Bytes b;
  ByteWriter(b).u32(codePage);
  return b;
}

Bytes releaseRecord(std::uint32_t features) { return codePageRecord(features); }

Bytes rootRecord(std::string_view root, std::string_view keyPath) {
  Bytes b;
  ByteWriter w(b);
  w.u8(lengthByte(root.size() + 1));
  w.u8(0);  // two bytes the setup does not read
  w.u8(0);
  putText(w, root);
  putText(w, keyPath);
  return b;
}

Bytes valueRecord(std::string_view name, std::string_view type, std::string_view data) {
  Bytes b;
  ByteWriter w(b);
  w.u8(lengthByte(name.size() + 1));
  w.u8(lengthByte(type.size() + 1));
  w.u8(0);  // a byte the setup does not read
  putText(w, name);
  putText(w, type);
  putText(w, data);
  return b;
}

Bytes addFileBlocks(PackageWriter& w, std::string_view name, std::span<const std::uint8_t> data,
                    std::uint32_t blockSize) {
  std::vector<TaggedRange> blocks;
  for (std::size_t pos = 0; pos < data.size(); pos += blockSize) {
    auto piece = data.subspan(pos, std::min<std::size_t>(blockSize, data.size() - pos));
    blocks.push_back({kTagBlockMarker, w.addData(piece)});
  }
  return copyRecord(name, static_cast<std::uint32_t>(data.size()), blocks);
}

}  // namespace zorv
