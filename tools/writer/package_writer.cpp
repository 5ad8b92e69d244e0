#include "tools/writer/package_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "package/byte_writer.h"
#include "tools/writer/file_seek.h"

namespace zorv {

namespace {

void putName(std::uint8_t* field, std::string_view name) {
  std::fill(field, field + kNameFieldSize, 0);
  std::copy_n(name.begin(), std::min(name.size(), kNameFieldSize - 1), field);
}

}  // namespace

std::expected<PreparedBody, std::string> prepareBody(std::span<const std::uint8_t> data, int level,
                                                     Deflater& deflater) {
  PreparedBody b;
  b.unpacked = static_cast<std::uint32_t>(data.size());
  auto packed = deflater.zlibStream(data, level);
  if (!packed) return std::unexpected(std::move(packed.error()));
  b.bytes = std::move(*packed);
  if (b.bytes.size() < data.size()) return b;
  // Data that does not shrink: deflate at `level` may have come out exactly as long as the
  // data, and stored deflate blocks usually cost less than its own choice of blocks.
  auto plain = deflater.zlibStream(data, 0);
  if (!plain) return std::unexpected(std::move(plain.error()));
  if (b.bytes.size() == data.size() || plain->size() < b.bytes.size()) b.bytes = std::move(*plain);
  // Stored blocks always add bytes; a stream as long as its data would be read as stored.
  if (b.bytes.size() == data.size()) return std::unexpected("a zlib stream as long as its data");
  return b;
}

std::expected<PreparedBody, std::string> prepareBody(std::span<const std::uint8_t> data,
                                                     int level) {
  Deflater deflater;
  return prepareBody(data, level, deflater);
}

PreparedBody storedBody(std::span<const std::uint8_t> data) {
  PreparedBody b;
  b.unpacked = static_cast<std::uint32_t>(data.size());
  b.bytes.assign(data.begin(), data.end());
  return b;
}

PackageWriter::PackageWriter(std::string headerName, std::uint32_t dataBase)
    : headerName_(std::move(headerName)),
      dataBase_(dataBase),
      out_(kHeaderSize, 0),
      size_(kHeaderSize) {
  if (dataBase_ > kHeaderSize)
    keepError("a data base of " + std::to_string(dataBase_) + " lies beyond the header");
}

PackageWriter::PackageWriter(std::FILE* file, std::uint64_t fileOffset, std::string headerName)
    : headerName_(std::move(headerName)), dataBase_(0), file_(file), fileOffset_(fileOffset) {
  // The header's place, filled in by finishInto().
  const std::uint8_t placeholder[kHeaderSize] = {};
  append(placeholder);
}

void PackageWriter::keepError(std::string why) {
  if (error_.empty()) error_ = std::move(why);
}

PackedRange PackageWriter::addData(std::span<const std::uint8_t> data) {
  auto body = prepareBody(data, level_, deflater_);
  if (!body) {
    keepError(std::move(body.error()));
    return {};
  }
  return addPrepared(*body);
}

void PackageWriter::append(std::span<const std::uint8_t> bytes) {
  size_ += bytes.size();
  if (!file_) {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
  } else if (writeError_ == 0 && !bytes.empty() &&
             std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    writeError_ = errno ? errno : EIO;
  }
}

PackedRange PackageWriter::addRaw(std::span<const std::uint8_t> bytes, std::uint32_t unpacked) {
  // Offset 0 would make an entry inline; a body never starts at the data base itself.
  if (size_ == dataBase_) {
    const std::uint8_t pad = 0;
    append({&pad, 1});
  }
  PackedRange r{static_cast<std::uint32_t>(size_ - dataBase_), unpacked,
                static_cast<std::uint32_t>(bytes.size())};
  append(bytes);
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

std::expected<std::vector<std::uint8_t>, std::string> PackageWriter::packedDirectory() const {
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
  return deflater_.zlibStream(dir, level_);
}

// The header of a package whose directory of `directoryPacked` bytes follows the bodies.
std::vector<std::uint8_t> PackageWriter::header(std::uint32_t directoryPacked) const {
  std::vector<std::uint8_t> h(kHeaderSize, 0);
  std::copy_n(magic_.begin(), std::min<std::size_t>(magic_.size(), 4), &h[kHeaderMagicOffset]);
  putName(&h[kHeaderNameOffset], headerName_);
  storeLE32(&h[kHeaderDataBaseOffset], dataBase_);
  storeLE32(&h[kHeaderDirectoryOffset], static_cast<std::uint32_t>(size_));
  storeLE32(&h[kHeaderEntryCountOffset], static_cast<std::uint32_t>(entries_.size()));
  storeLE32(&h[kHeaderDirectoryPackedOffset], directoryPacked);
  return h;
}

std::expected<std::vector<std::uint8_t>, std::string> PackageWriter::finish() const {
  if (!error_.empty()) return std::unexpected(error_);
  const auto packedDir = packedDirectory();
  if (!packedDir) return std::unexpected(packedDir.error());
  const std::vector<std::uint8_t> h = header(static_cast<std::uint32_t>(packedDir->size()));
  std::vector<std::uint8_t> pkg = out_;
  std::copy(h.begin(), h.end(), pkg.begin());
  pkg.insert(pkg.end(), packedDir->begin(), packedDir->end());
  return pkg;
}

std::expected<std::uint64_t, std::string> PackageWriter::finishInto() {
  if (!error_.empty()) return std::unexpected(error_);
  const auto packedDir = packedDirectory();
  if (!packedDir) return std::unexpected(packedDir.error());
  const std::vector<std::uint8_t> h = header(static_cast<std::uint32_t>(packedDir->size()));
  append(*packedDir);
  const std::uint64_t end = fileOffset_ + size_;
  if (writeError_ == 0 &&
      (!seekTo(file_, fileOffset_) || std::fwrite(h.data(), 1, h.size(), file_) != h.size() ||
       !seekTo(file_, end) || std::fflush(file_) != 0))
    writeError_ = errno ? errno : EIO;
  if (writeError_ != 0) return std::unexpected(std::string(std::strerror(writeError_)));
  return size_;
}

}  // namespace zorv
