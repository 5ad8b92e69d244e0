// The checks a package bitmap passes before its bytes go to the system's bitmap functions.
//
// A "BmpT" body is a 40-byte BITMAPINFOHEADER, a colour table of 4-byte entries, and the pixel
// rows, each padded to a multiple of 4 bytes. The body comes from the package, so every size
// is checked against the bytes that are really there before GDI reads them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace zorv {

inline constexpr std::uint32_t kBitmapHeaderSize = 40;

// The decoded header fields that the bitmap is built from.
struct PackageBitmap {
  std::int32_t width = 0;
  std::int32_t height = 0;  // negative for rows stored top to bottom
  std::uint16_t bitCount = 0;
  std::uint32_t colorsUsed = 0;
  std::span<const std::uint8_t> colorTable;  // 4 bytes per colour: blue, green, red, 0
  std::span<const std::uint8_t> pixels;      // exactly the rows, no more
};

// The layout of a usable body: a 40-byte header, one plane, no compression, 8, 16, 24 or 32
// bits per pixel, at most 256 colours at 8 bits and no colour table at the other depths, a
// width above 0, a height other than 0, and the colour table and every row inside the body.
// None for anything else: the picture then stays empty.
std::optional<PackageBitmap> checkPackageBitmap(std::span<const std::uint8_t> body);

}  // namespace zorv
