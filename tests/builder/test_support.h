// Helpers of the builder tests: a scratch folder for source trees and manifests, bytes of
// known compressibility, BMP files made in memory, and a package read back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "package/package.h"
#include "tools/builder/diagnostics.h"

namespace zorv::test {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder below the system's temporary folder, removed with its contents at the end.
class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path path(std::string_view relative) const { return root_ / relative; }
  // Creates the parent folders as needed.
  void write(std::string_view relative, std::span<const std::uint8_t> bytes) const;
  void write(std::string_view relative, std::string_view text) const;
  // Writes the manifest as zorv.toml and returns its path.
  std::string manifest(std::string_view toml) const;

 private:
  std::filesystem::path root_;
};

// Deterministic bytes: text-like (compresses well) or random-looking (does not compress).
Bytes textBytes(std::size_t n, std::uint32_t seed);
Bytes noiseBytes(std::size_t n, std::uint32_t seed);

Bytes readFileBytes(const std::filesystem::path& p);

// A BMP file. Pixel (x, y), y = 0 at the top, is byte x + y of each pixel's first byte plus
// the channel number, so that flipped or shifted rows show.
struct BmpSpec {
  std::int32_t width = 4;
  std::int32_t height = 3;
  std::uint16_t bitCount = 8;
  std::uint32_t clrUsed = 0;
  bool topDown = false;
  std::uint32_t compression = 0;
  std::uint32_t headerSize = 40;
};
Bytes makeBmp(const BmpSpec& s);
std::uint8_t bmpPixelByte(std::int32_t x, std::int32_t y, int channel, std::uint32_t colours);

// All messages joined, for assertions that name what went wrong.
std::string messages(const Diagnostics& d);

}  // namespace zorv::test
