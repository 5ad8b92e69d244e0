// Writes packages: a 52-byte header, the bodies in the order they are added, and the directory
// last as one zlib stream. Every body and range is a zlib stream too, so that the
// reader checks each one's Adler-32 as it unpacks it; only tests ask for stored bodies, to read
// packages as other tools make them. Not part of the setup program: the builder and the tests
// use it. Errors are values, never exceptions: a body that cannot be made is the writer's
// first error, kept until finish() or finishInto() reports it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "package/format.h"
#include "tools/writer/deflater.h"

namespace zorv {

// Bytes ready to be placed in a package: a zlib stream, or the data itself (stored).
struct PreparedBody {
  std::vector<std::uint8_t> bytes;
  std::uint32_t unpacked = 0;
};

// A zlib stream of the data, made by libdeflate at `level` (0 to 12), that is never exactly as
// long as the data: a packed size equal to the unpacked size tells the reader the body is
// stored, and it would hand the stream out verbatim. When the stream does not shrink the data,
// the shorter of it and a stream of stored deflate blocks (the data plus 5 bytes per 64 KiB
// and 6 of zlib's own, so always longer than the data) is kept. Empty data makes an 8-byte
// stream. The same data and level give the same bytes on every machine and thread. Safe to
// call from any thread that owns `deflater`. The error says why no stream was made (a level
// outside 0..12, a lack of memory).
std::expected<PreparedBody, std::string> prepareBody(std::span<const std::uint8_t> data, int level,
                                                     Deflater& deflater);
// The same with a compressor of its own, made for this one call.
std::expected<PreparedBody, std::string> prepareBody(std::span<const std::uint8_t> data,
                                                     int level = kDefaultLevel);

// The data itself, which the reader returns verbatim and cannot check: only for tests that
// read packages laid out as other tools lay them out.
PreparedBody storedBody(std::span<const std::uint8_t> data);

class PackageWriter {
 public:
  // `dataBase` is added by the reader to every body offset; one past 52 is the writer's error.
  explicit PackageWriter(std::string headerName = "setup.exe", std::uint32_t dataBase = 0);
  // Streams the package into `file`, starting at `fileOffset` where the file's end is now:
  // bodies are written as they are added and only the directory's entries are kept, so
  // memory does not grow with the data. finishInto() writes the directory and the header.
  PackageWriter(std::FILE* file, std::uint64_t fileOffset, std::string headerName);

  // Appends bytes to the data area and returns the range that names them; an empty range,
  // and the writer's error, when they cannot be compressed.
  PackedRange addData(std::span<const std::uint8_t> data);
  PackedRange addStored(std::span<const std::uint8_t> data) {
    return addPrepared(storedBody(data));
  }
  PackedRange addPrepared(const PreparedBody& body);
  // Appends arbitrary bytes with the sizes given, for damaged packages in tests.
  PackedRange addRaw(std::span<const std::uint8_t> bytes, std::uint32_t unpacked);

  // Directory entries; each returns the entry's number.
  int addEntry(std::uint32_t tag, std::string_view name, std::span<const std::uint8_t> body);
  int addEntryAt(std::uint32_t tag, std::string_view name, PackedRange where);
  int addInline(std::uint32_t tag, std::string_view name, std::uint32_t unpacked,
                std::uint32_t packed);
  int addEmptySlot();

  // The header and the bodies so far.
  std::uint64_t dataSize() const { return size_; }
  int entryCount() const { return static_cast<int>(entries_.size()); }

  // Header, bodies, directory: the whole package, for a writer that keeps it in memory; the
  // writer's first error instead, if it has one.
  std::expected<std::vector<std::uint8_t>, std::string> finish() const;
  // For a writer that streams: appends the directory, writes the header in its place and
  // flushes. The package's size; the writer's first error instead, or the reason a write
  // failed, now or while bodies were added.
  std::expected<std::uint64_t, std::string> finishInto();

  // The level of every body that addData and addEntry compress, and of the directory.
  void setLevel(int level) { level_ = level; }

  // Overrides for tests: the header's magic and the stored entry count.
  void setMagic(std::string_view four) { magic_ = std::string(four.substr(0, 4)); }

 private:
  struct Entry {
    std::uint32_t tag = 0;
    PackedRange where;
    std::string name;
  };
  int push(Entry e);
  void append(std::span<const std::uint8_t> bytes);
  void keepError(std::string why);
  std::expected<std::vector<std::uint8_t>, std::string> packedDirectory() const;
  std::vector<std::uint8_t> header(std::uint32_t directoryPacked) const;

  std::string headerName_;
  std::uint32_t dataBase_;
  int level_ = kDefaultLevel;
  mutable Deflater deflater_;  // for addData and the directory; the writer is one thread's
  std::string magic_ = std::string(kMagic);
  std::vector<std::uint8_t> out_;  // header placeholder and bodies, when kept in memory
  std::FILE* file_ = nullptr;      // else where they go
  std::uint64_t fileOffset_ = 0;
  std::uint64_t size_ = 0;  // header placeholder and bodies so far
  int writeError_ = 0;      // the first failed write's errno
  std::string error_;       // the first other error
  std::vector<Entry> entries_;
};

}  // namespace zorv
