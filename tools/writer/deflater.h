// libdeflate's zlib-format compressor at the builder's levels. Its output depends only on the
// data and the level (not on the machine, the compiler or the thread), which is what lets
// `zorv` and `zorv.exe`, with any number of threads, make the same package.
#pragma once

#include <array>
#include <cstdint>
#include <expected>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct libdeflate_compressor;

namespace zorv {

// The builder's levels: libdeflate's 9 (as small as zlib's 9, in about half the time) by
// default, its 12 for `--best` (about 2 % smaller, three times slower). Every level writes
// streams that zlib's inflate reads.
inline constexpr int kDefaultLevel = 9;
inline constexpr int kBestLevel = 12;

// One compressor per level, made at its first use and kept: the high levels hold a few
// megabytes of tables that each call resets. Not for two threads at once: each thread that
// compresses owns one.
class Deflater {
 public:
  Deflater();
  ~Deflater();
  Deflater(Deflater&&) noexcept = default;
  Deflater& operator=(Deflater&&) noexcept = default;

  // One zlib stream of the data at `level` (0 to 12); why there is none (a level outside them,
  // a lack of memory) instead.
  std::expected<std::vector<std::uint8_t>, std::string> zlibStream(
      std::span<const std::uint8_t> data, int level);

 private:
  struct Free {
    void operator()(libdeflate_compressor* c) const;
  };
  std::array<std::unique_ptr<libdeflate_compressor, Free>, kBestLevel + 1> compressors_;
};

}  // namespace zorv
