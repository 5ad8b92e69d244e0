#include "tools/writer/records.h"

#include <algorithm>

#include "package/byte_cursor.h"

namespace zorv {

namespace {

void putU32(Bytes& b, std::uint32_t v) {
  std::uint8_t le[4];
  storeLE32(le, v);
  b.insert(b.end(), le, le + 4);
}

void putText(Bytes& b, std::string_view s) {
  b.insert(b.end(), s.begin(), s.end());
  b.push_back(0);
}

void putRanges(Bytes& b, std::span<const TaggedRange> items) {
  for (const TaggedRange& t : items) {
    putU32(b, t.tag);
    putU32(b, t.range.offset);
    putU32(b, t.range.unpacked);
    putU32(b, t.range.packed);
  }
}

std::uint8_t lengthByte(std::size_t n) { return static_cast<std::uint8_t>(n); }

}  // namespace

Bytes nameRecord(std::string_view text) {
  Bytes b{lengthByte(text.size() + 1)};
  putText(b, text);
  return b;
}

Bytes copyRecord(std::string_view name, std::uint32_t fileSize,
                 std::span<const TaggedRange> blocks) {
  Bytes b{lengthByte(name.size())};
  putText(b, name);
  putU32(b, fileSize);
  putU32(b, static_cast<std::uint32_t>(blocks.size()));
  putRanges(b, blocks);
  return b;
}

Bytes directoryRecord(std::string_view name, std::span<const TaggedRange> members) {
  Bytes b{lengthByte(name.size() + 1)};
  putText(b, name);
  putU32(b, static_cast<std::uint32_t>(members.size()));
  putRanges(b, members);
  return b;
}

Bytes linkRecord(std::string_view link, std::string_view target) {
  Bytes b{lengthByte(link.size() + 1), lengthByte(target.size() + 1)};
  putText(b, link);
  putText(b, target);
  return b;
}

Bytes uninstallerRecord(std::string_view program, std::string_view version,
                        std::string_view publisher, std::string_view icon) {
  Bytes b{lengthByte(program.size() + 1), lengthByte(version.size() + 1),
          lengthByte(publisher.size() + 1), lengthByte(icon.size() + 1)};
  for (std::string_view t : {program, version, publisher, icon}) putText(b, t);
  return b;
}

Bytes codePageRecord(std::uint32_t codePage) {
  Bytes b;
  putU32(b, codePage);
  return b;
}

Bytes releaseRecord(std::uint32_t features) { return codePageRecord(features); }

Bytes rootRecord(std::string_view root, std::string_view keyPath) {
  Bytes b{lengthByte(root.size() + 1), 0, 0};
  putText(b, root);
  putText(b, keyPath);
  return b;
}

Bytes valueRecord(std::string_view name, std::string_view type, std::string_view data) {
  Bytes b{lengthByte(name.size() + 1), lengthByte(type.size() + 1), 0};
  putText(b, name);
  putText(b, type);
  putText(b, data);
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
