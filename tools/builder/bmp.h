// Page bitmaps: BMP files of the build machine become the bodies of "BmpT" entries, which the
// setup hands to CreateDIBitmap as they stand. A body is a 40-byte BITMAPINFOHEADER with a
// negative height (rows top-down), the colour table of an 8-bit image (none for 24 and 32
// bits), and the pixel rows, each padded to a multiple of 4 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zorv {

class ByteWriter;

struct BitmapShape {
  std::int32_t width = 0;
  std::int32_t height = 0;  // rows, always positive here
  std::uint16_t bitCount = 0;
  std::uint32_t colours = 0;  // colour table entries; 0 for 24 and 32 bits
};

// The size each page bitmap is drawn at: the page's picture controls take the bitmap's size.
struct PageBitmapSize {
  const char* name;
  std::int32_t width, height;
};
inline constexpr std::array<PageBitmapSize, 5> kPageBitmapSizes = {{{"title", 240, 40},
                                                                    {"pic", 220, 80},
                                                                    {"zorv", 200, 40},
                                                                    {"pic1", 445, 130},
                                                                    {"pic2", 445, 130}}};

// The "BmpT" body of a BMP file: uncompressed 8-bit with a palette (biClrUsed 0 meaning 256
// entries, kept as it is), 24-bit, or 32-bit (plain, or bit fields in the usual BGR order),
// with rows stored either way up. The reason for anything else.
std::expected<std::vector<std::uint8_t>, std::string> bmpToBitmapBody(
    std::span<const std::uint8_t> file, BitmapShape* shape = nullptr);

// "" when the setup can draw the body as it stands; otherwise why not. Fills *shape.
std::string bitmapBodyProblem(std::span<const std::uint8_t> body, BitmapShape* shape = nullptr);

// The 40-byte header that starts every body the builder writes: rows top-down, uncompressed,
// the resolution left at zero; `clrUsed` as biClrUsed (0 unless 8 bits).
void writeBitmapBodyHeader(ByteWriter& w, std::int32_t width, std::uint32_t rows,
                           std::uint16_t bitCount, std::uint32_t clrUsed);

// Row length in bytes: whole 32-bit words.
std::uint32_t bitmapStride(std::int32_t width, std::uint16_t bitCount);

}  // namespace zorv
