// The package reader: opens a package in place, serves lookups by tag and by name, entry
// bodies unpacked on demand and cached while held, and fresh copies of PackedRanges.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "package/format.h"
#include "package/resource_stream.h"

namespace zorv {

// A buffer that belongs to its holder: the unpacked bytes of a PackedRange.
struct Buffer {
  std::unique_ptr<std::uint8_t[]> data;
  std::uint32_t size = 0;
  std::span<const std::uint8_t> bytes() const { return {data.get(), size}; }
};

// One directory entry as the reader sees it; the cache and count slots are the reader's own.
struct EntryInfo {
  std::uint32_t tag = 0;
  std::uint32_t offset = 0;
  std::uint32_t unpacked = 0;
  std::uint32_t packed = 0;
  std::uint32_t index = 0;
  std::string name;  // at most 16 bytes, up to the first NUL
  bool isInline() const { return offset == 0; }
};

struct PackageHeader {
  std::uint8_t magic[4] = {};
  std::string name;
  std::uint32_t dataBase = 0;
  std::uint32_t directoryOffset = 0;
  std::uint32_t reserved = 0;
  std::uint32_t entryCount = 0;
  std::uint32_t directoryPacked = 0;
};

class Package {
 public:
  Package(const Package&) = delete;
  Package& operator=(const Package&) = delete;
  ~Package() { closePackage(); }

  // The first entry of `tag` at or after `from` and before `to` (a negative `to` means the
  // end); -1 when there is none. All comparisons are signed.
  std::int32_t findByTag(std::uint32_t tag, std::int32_t from, std::int32_t to) const;
  // The index field of the first entry whose name equals `name` exactly; -1 when none.
  std::int32_t findByName(std::string_view name) const;

  // The entry's body, owned by the package until the matching release; for an inline entry
  // its own 44 bytes, which need no release. None on failure, with the reason in lastError().
  std::optional<std::span<const std::uint8_t>> acquireEntry(std::int32_t i);
  void releaseEntry(std::int32_t i);
  std::optional<std::span<const std::uint8_t>> acquireByName(std::string_view name);
  void releaseByName(std::string_view name);

  // A new buffer with the range's unpacked bytes; never cached.
  std::optional<Buffer> readRange(PackedRange r);

  void closePackage();

  std::uint32_t entryCount() const { return header_.entryCount; }
  EntryInfo entry(std::int32_t i) const;
  std::span<const std::uint8_t> entryBytes(std::int32_t i) const;
  const PackageHeader& header() const { return header_; }
  std::int32_t cachedCount(std::int32_t i) const;  // the reference count, for tests and tools
  bool streamFailed() const { return stream_.failed(); }
  const std::string& lastError() const { return error_; }

 private:
  friend std::unique_ptr<Package> openPackage(ResourceStream, std::string*);
  explicit Package(ResourceStream stream) : stream_(stream) {}

  struct Cache {  // the reader's own cached body and count of one entry
    std::unique_ptr<std::uint8_t[]> body;
    std::uint32_t size = 0;
    std::int32_t count = 0;
  };

  bool validIndex(std::int32_t i) const {
    return open_ && i >= 0 && std::uint32_t(i) < header_.entryCount;
  }
  std::optional<Buffer> readBody(std::uint32_t offset, std::uint32_t unpacked, std::uint32_t packed,
                                 const char* what);
  void setError(std::string reason) { error_ = std::move(reason); }

  bool open_ = false;  // has a directory: from a successful open until closePackage
  PackageHeader header_;
  // Allocated without exceptions: the setup is built without them.
  std::unique_ptr<std::uint8_t[]> directory_;  // entryCount x 44 bytes, unpacked
  std::unique_ptr<Cache[]> cache_;             // one per entry
  ResourceStream stream_;
  std::string error_;
};

// Opens a package over a stream; none when the header or the directory cannot be read. The
// reason goes to *why when given.
std::unique_ptr<Package> openPackage(ResourceStream stream, std::string* why = nullptr);
inline std::unique_ptr<Package> openPackage(std::span<const std::uint8_t> bytes,
                                            std::string* why = nullptr) {
  return openPackage(ResourceStream(bytes), why);
}

// Deflate cannot expand data by more than about 1032:1; a body that claims more unpacked bytes
// than its stream could ever produce is refused before anything is allocated for it.
inline bool plausibleUnpackedSize(std::uint64_t packed, std::uint64_t unpacked) {
  return unpacked <= packed * 1040 + 64;
}

}  // namespace zorv
