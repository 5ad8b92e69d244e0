#include "package/package.h"

#include <cstring>
#include <new>

#include "package/byte_cursor.h"
#include "package/unpack.h"

namespace zorv {

namespace {

std::unique_ptr<std::uint8_t[]> allocate(std::uint32_t n) {
  // Never a null pointer, even for 0 bytes: an empty body is a body, not a failure.
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[n == 0 ? 1 : n]);
}

std::string boundedName(const std::uint8_t* field) {
  std::size_t n = 0;
  while (n < kNameFieldSize && field[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(field), n);
}

}  // namespace

std::string tagText(std::uint32_t tag) {
  if (tag == kTagEmpty) return "";
  std::string s(4, ' ');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((tag >> (8 * i)) & 0xFF);
  return s;
}

// Header, 52 bytes: three reserved words, the magic (copied, never tested), the name (16
// bytes), data base, directory offset, a reserved word, entry count, directory packed size.
std::unique_ptr<Package> openPackage(ResourceStream stream, std::string* why) {
  auto fail = [&](const char* reason) -> std::unique_ptr<Package> {
    if (why) *why = reason;
    return nullptr;
  };
  std::unique_ptr<Package> pkg(new (std::nothrow) Package(stream));
  if (!pkg) return fail("out of memory");
  ResourceStream& s = pkg->stream_;
  if (s.failed()) return fail("no package resource");

  std::uint8_t raw[kHeaderSize];
  if (s.readAt(raw, kHeaderSize, 0) != kHeaderSize)
    return fail("package is shorter than its 52-byte header");
  ByteCursor c({raw, kHeaderSize});
  PackageHeader& h = pkg->header_;
  c.skip(kHeaderMagicOffset);
  std::memcpy(h.magic, c.bytes(4).data(), 4);
  h.name = boundedName(raw + kHeaderNameOffset);
  c.skip(kNameFieldSize);
  h.dataBase = c.u32();
  h.directoryOffset = c.u32();
  h.reserved = c.u32();
  h.entryCount = c.u32();
  h.directoryPacked = c.u32();

  // Everything is checked before the directory is allocated.
  if (h.entryCount > kMaxEntryCount) return fail("entry count is too large");
  if (h.directoryOffset > s.size() || h.directoryPacked > s.size() - h.directoryOffset)
    return fail("directory runs past the end of the package");
  const std::uint64_t dirBytes = std::uint64_t(h.entryCount) * kEntrySize;
  if (!plausibleUnpackedSize(h.directoryPacked, dirBytes))
    return fail("entry count is larger than the package could hold");

  pkg->directory_ = allocate(static_cast<std::uint32_t>(dirBytes));
  auto packed = allocate(h.directoryPacked);
  if (!pkg->directory_ || !packed) return fail("out of memory");
  if (s.readAt(packed.get(), h.directoryPacked, h.directoryOffset) != h.directoryPacked)
    return fail("directory runs past the end of the package");
  // The directory is always packed, and must unpack to exactly count x 44 bytes. Only then is
  // the per-entry state made: garbage with a huge entry count never gets it filled in.
  if (!unpack({packed.get(), h.directoryPacked}, {pkg->directory_.get(), std::size_t(dirBytes)}))
    return fail("directory is damaged");
  packed.reset();
  pkg->cache_.reset(new (std::nothrow) Package::Cache[h.entryCount == 0 ? 1 : h.entryCount]);
  if (!pkg->cache_) return fail("out of memory");
  pkg->open_ = true;
  return pkg;
}

std::int32_t Package::findByTag(std::uint32_t tag, std::int32_t from, std::int32_t to) const {
  if (!open_) return -1;
  const std::int32_t count = static_cast<std::int32_t>(header_.entryCount);
  if (to < 0 || to > count) to = count;
  if (from < 0) return -1;
  for (std::int32_t i = from; i < to; ++i)
    if (loadLE32(&directory_[std::size_t(i) * kEntrySize + kEntryTagOffset]) == tag) return i;
  return -1;
}

std::int32_t Package::findByName(std::string_view name) const {
  if (!open_) return -1;
  for (std::uint32_t i = 0; i < header_.entryCount; ++i) {
    const std::uint8_t* e = &directory_[std::size_t(i) * kEntrySize];
    if (boundedName(e + kEntryNameOffset) == name)
      return static_cast<std::int32_t>(loadLE32(e + kEntryIndexOffset));
  }
  return -1;
}

EntryInfo Package::entry(std::int32_t i) const {
  EntryInfo info;
  if (!validIndex(i)) return info;
  const std::uint8_t* e = &directory_[std::size_t(i) * kEntrySize];
  info.tag = loadLE32(e + kEntryTagOffset);
  info.offset = loadLE32(e + kEntryOffsetOffset);
  info.unpacked = loadLE32(e + kEntryUnpackedOffset);
  info.packed = loadLE32(e + kEntryPackedOffset);
  info.index = loadLE32(e + kEntryIndexOffset);
  info.name = boundedName(e + kEntryNameOffset);
  return info;
}

std::span<const std::uint8_t> Package::entryBytes(std::int32_t i) const {
  if (!validIndex(i)) return {};
  return {&directory_[std::size_t(i) * kEntrySize], kEntrySize};
}

std::int32_t Package::cachedCount(std::int32_t i) const {
  return validIndex(i) ? cache_[std::size_t(i)].count : 0;
}

// Reads packed bytes at data base + offset and unpacks them into a buffer of exactly the
// unpacked size. Stored bodies (packed == unpacked) come back verbatim, zlib-looking or not.
std::optional<Buffer> Package::readBody(std::uint32_t offset, std::uint32_t unpacked,
                                        std::uint32_t packed, const char* what) {
  const std::uint64_t start = std::uint64_t(header_.dataBase) + offset;
  if (stream_.failed()) {
    setError(std::string(what) + ": the package can no longer be read after a read past its end");
    return std::nullopt;
  }
  if (start > stream_.size()) {
    setError(std::string(what) + " starts beyond the end of the package");
    return std::nullopt;
  }
  if (packed > stream_.size() - start) {
    // Starts inside, runs past the end: the stream refuses it before copying anything and
    // stays failed from now on, as stored packages expect.
    stream_.readAt(nullptr, packed, static_cast<std::uint32_t>(start));
    setError(std::string(what) + " runs past the end of the package");
    return std::nullopt;
  }
  if (packed != unpacked && !plausibleUnpackedSize(packed, unpacked)) {
    setError(std::string(what) + " claims more unpacked bytes than its stream can hold");
    return std::nullopt;
  }
  Buffer raw{allocate(packed), packed};
  if (!raw.data) {
    setError("out of memory");
    return std::nullopt;
  }
  if (stream_.readAt(raw.data.get(), packed, static_cast<std::uint32_t>(start)) != packed) {
    setError(std::string(what) + " runs past the end of the package");
    return std::nullopt;
  }
  if (packed == unpacked) return raw;
  Buffer out{allocate(unpacked), unpacked};
  if (!out.data) {
    setError("out of memory");
    return std::nullopt;
  }
  if (!unpack(raw.bytes(), {out.data.get(), unpacked})) {
    setError(std::string(what) + " is not a valid zlib stream of " + std::to_string(unpacked) +
             " bytes");
    return std::nullopt;
  }
  return out;
}

std::optional<std::span<const std::uint8_t>> Package::acquireEntry(std::int32_t i) {
  if (!validIndex(i)) {
    setError("no entry " + std::to_string(i));
    return std::nullopt;
  }
  Cache& c = cache_[std::size_t(i)];
  if (c.body) {
    ++c.count;
    return std::span<const std::uint8_t>(c.body.get(), c.size);
  }
  const EntryInfo e = entry(i);
  if (e.isInline()) return entryBytes(i);
  auto body = readBody(e.offset, e.unpacked, e.packed, "body");
  if (!body) return std::nullopt;
  c.body = std::move(body->data);
  c.size = body->size;
  c.count = 1;
  return std::span<const std::uint8_t>(c.body.get(), c.size);
}

void Package::releaseEntry(std::int32_t i) {
  if (!validIndex(i)) return;
  Cache& c = cache_[std::size_t(i)];
  if (--c.count > 0) return;
  c.count = 0;
  c.body.reset();
  c.size = 0;
}

std::optional<std::span<const std::uint8_t>> Package::acquireByName(std::string_view name) {
  std::int32_t i = findByName(name);
  if (i < 0) {
    setError("no entry named \"" + std::string(name) + "\"");
    return std::nullopt;
  }
  return acquireEntry(i);
}

void Package::releaseByName(std::string_view name) {
  std::int32_t i = findByName(name);
  if (i >= 0) releaseEntry(i);
}

std::optional<Buffer> Package::readRange(PackedRange r) {
  if (!open_) return std::nullopt;
  return readBody(r.offset, r.unpacked, r.packed, "range");
}

void Package::closePackage() {
  open_ = false;
  cache_.reset();
  directory_.reset();
  stream_.close();
}

}  // namespace zorv
