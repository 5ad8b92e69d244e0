#include "tools/writer/package_writer.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

#include "package/byte_cursor.h"

namespace zorv {

namespace {

std::vector<std::uint8_t> deflateStream(std::span<const std::uint8_t> data, int level) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::vector<std::uint8_t> out(size);
  const Bytef* src = data.empty() ? reinterpret_cast<const Bytef*>("") : data.data();
  if (compress2(out.data(), &size, src, static_cast<uLong>(data.size()), level) != Z_OK)
    throw std::runtime_error("zlib compress2 failed");
  out.resize(size);
  return out;
}

void putName(std::uint8_t* field, std::string_view name) {
  std::fill(field, field + kNameFieldSize, 0);
  std::copy_n(name.begin(), std::min(name.size(), kNameFieldSize - 1), field);
}

}  // namespace

PreparedBody prepareBody(std::span<const std::uint8_t> data, int level) {
  PreparedBody b;
  b.unpacked = static_cast<std::uint32_t>(data.size());
  if (!data.empty()) {
    auto z = deflateStream(data, level);
    if (z.size() < data.size()) {
      b.bytes = std::move(z);
      return b;
    }
  }
  b.bytes.assign(data.begin(), data.end());
  return b;
}

PackageWriter::PackageWriter(std::string headerName, std::uint32_t dataBase)
    : headerName_(std::move(headerName)), dataBase_(dataBase), out_(kHeaderSize, 0) {
  if (dataBase_ > kHeaderSize) throw std::invalid_argument("data base beyond the header");
}

PackedRange PackageWriter::addRaw(std::span<const std::uint8_t> bytes, std::uint32_t unpacked) {
  // Offset 0 would make an entry inline; a body never starts at the data base itself.
  if (out_.size() == dataBase_) out_.push_back(0);
  PackedRange r{static_cast<std::uint32_t>(out_.size() - dataBase_), unpacked,
                static_cast<std::uint32_t>(bytes.size())};
  out_.insert(out_.end(), bytes.begin(), bytes.end());
  return r;
}

PackedRange PackageWriter::addPrepared(const PreparedBody& body) {
  return addRaw(body.bytes, body.unpacked);
}

int PackageWriter::push(Entry e) {
  entries_.push_back(std::move(e));
  return static_cast<int>(entries_.size() - 1);
}

int PackageWriter::addEntry(std::uint32_t tag, std::string_view name,
                            std::span<const std::uint8_t> body) {
  return push({tag, addData(body), std::string(name)});
}

int PackageWriter::addEntryAt(std::uint32_t tag, std::string_view name, PackedRange where) {
  return push({tag, where, std::string(name)});
}

int PackageWriter::addInline(std::uint32_t tag, std::string_view name, std::uint32_t unpacked,
                             std::uint32_t packed) {
  return push({tag, PackedRange{0, unpacked, packed}, std::string(name)});
}

int PackageWriter::addEmptySlot() { return push({kTagEmpty, {}, ""}); }

std::vector<std::uint8_t> PackageWriter::finish() const {
  std::vector<std::uint8_t> dir(entries_.size() * kEntrySize, 0);
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    std::uint8_t* e = &dir[i * kEntrySize];
    const Entry& en = entries_[i];
    storeLE32(e + kEntryTagOffset, en.tag);
    storeLE32(e + kEntryOffsetOffset, en.where.offset);
    storeLE32(e + kEntryUnpackedOffset, en.where.unpacked);
    storeLE32(e + kEntryPackedOffset, en.where.packed);
    storeLE32(e + kEntryIndexOffset, static_cast<std::uint32_t>(i));
    putName(e + kEntryNameOffset, en.name);
  }
  // The directory is always packed, whatever its size.
  std::vector<std::uint8_t> packedDir = deflateStream(dir, 9);

  std::vector<std::uint8_t> pkg = out_;
  std::uint8_t* h = pkg.data();
  std::copy_n(magic_.begin(), std::min<std::size_t>(magic_.size(), 4), h + kHeaderMagicOffset);
  putName(h + kHeaderNameOffset, headerName_);
  storeLE32(h + kHeaderDataBaseOffset, dataBase_);
  storeLE32(h + kHeaderDirectoryOffset, static_cast<std::uint32_t>(pkg.size()));
  storeLE32(h + kHeaderEntryCountOffset, static_cast<std::uint32_t>(entries_.size()));
  storeLE32(h + kHeaderDirectoryPackedOffset, static_cast<std::uint32_t>(packedDir.size()));
  pkg.insert(pkg.end(), packedDir.begin(), packedDir.end());
  return pkg;
}

}  // namespace zorv
