#include "tools/builder/bmp.h"

#include <algorithm>

#include "package/byte_cursor.h"
#include "package/byte_writer.h"

namespace zorv {

namespace {

// BITMAPFILEHEADER: "BM", file size, two reserved words, offset of the pixels.
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kFilePixelOffsetOffset = 10;
// BITMAPINFOHEADER and its later, longer forms (V2 52, V3 56, V4 108, V5 124 bytes): the
// fields this code reads sit at the same places in all of them.
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
// Colour masks follow the 40 bytes, inside the longer headers or just after the short one.
constexpr std::uint32_t kMaskRed = 0x00FF0000, kMaskGreen = 0x0000FF00, kMaskBlue = 0x000000FF;
// No page bitmap comes near this; it keeps the size arithmetic far from overflow.
constexpr std::int32_t kMaxSide = 16384;

struct InfoHeader {
  std::uint32_t size = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint16_t planes = 0;
  std::uint16_t bitCount = 0;
  std::uint32_t compression = 0;
  std::uint32_t sizeImage = 0;
  std::int32_t xPelsPerMeter = 0;
  std::int32_t yPelsPerMeter = 0;
  std::uint32_t clrUsed = 0;
  std::uint32_t clrImportant = 0;
};

InfoHeader readInfoHeader(ByteCursor& c) {
  InfoHeader h;
  h.size = c.u32();
  h.width = c.i32();
  h.height = c.i32();
  h.planes = c.u16();
  h.bitCount = c.u16();
  h.compression = c.u32();
  h.sizeImage = c.u32();
  h.xPelsPerMeter = c.i32();
  h.yPelsPerMeter = c.i32();
  h.clrUsed = c.u32();
  h.clrImportant = c.u32();
  return h;
}

// The shared checks of the size fields; "" when they describe an image this code can carry.
std::string shapeProblem(const InfoHeader& h) {
  if (h.planes != 1) return "its plane count is " + std::to_string(h.planes) + ", not 1";
  if (h.width <= 0 || h.width > kMaxSide || h.height == 0 || h.height < -kMaxSide ||
      h.height > kMaxSide)
    return "its size " + std::to_string(h.width) + " x " + std::to_string(h.height) +
           " is not a usable image size";
  return "";
}

// Colour table entries of an 8-bit image: biClrUsed, or 256 when it is 0.
std::uint32_t paletteEntries(const InfoHeader& h) {
  if (h.bitCount != 8) return 0;
  return h.clrUsed == 0 ? 256 : h.clrUsed;
}

}  // namespace

std::uint32_t bitmapStride(std::int32_t width, std::uint16_t bitCount) {
  return (static_cast<std::uint32_t>(width) * bitCount + 31) / 32 * 4;
}

void writeBitmapBodyHeader(ByteWriter& w, std::int32_t width, std::uint32_t rows,
                           std::uint16_t bitCount, std::uint32_t clrUsed) {
  w.u32(kInfoHeaderSize);
  w.u32(static_cast<std::uint32_t>(width));
  w.u32(static_cast<std::uint32_t>(-static_cast<std::int32_t>(rows)));  // top-down
  w.u16(1);
  w.u16(bitCount);
  w.u32(kBiRgb);
  w.u32(bitmapStride(width, bitCount) * rows);
  w.u32(0);  // resolution: the page ignores it, and zeros keep builds reproducible
  w.u32(0);
  w.u32(clrUsed);
  w.u32(0);
}

std::expected<std::vector<std::uint8_t>, std::string> bmpToBitmapBody(
    std::span<const std::uint8_t> file, BitmapShape* shape) {
  auto failWith = [](std::string reason) { return std::unexpected(std::move(reason)); };
  if (file.size() < kFileHeaderSize + kInfoHeaderSize || file[0] != 'B' || file[1] != 'M')
    return failWith("not a BMP file");
  ByteCursor fileHeader(file.subspan(kFilePixelOffsetOffset, 4));
  const std::uint32_t pixelOffset = fileHeader.u32();
  ByteCursor c(file.subspan(kFileHeaderSize));
  const InfoHeader h = readInfoHeader(c);
  if (h.size == 12) return failWith("an OS/2 bitmap; save it as a Windows BMP");
  if (h.size < kInfoHeaderSize || h.size > file.size() - kFileHeaderSize)
    return failWith("its header size " + std::to_string(h.size) + " is not one of a BMP file");
  std::string problem = shapeProblem(h);
  if (!problem.empty()) return failWith(problem);

  if (h.bitCount != 8 && h.bitCount != 24 && h.bitCount != 32)
    return failWith("a " + std::to_string(h.bitCount) +
                    "-bit image; the setup's pages take 8-bit (with a palette), 24-bit or 32-bit");
  const bool bitfields = h.bitCount == 32 && h.compression == kBiBitfields;
  if (h.compression != kBiRgb && !bitfields)
    return failWith("a compressed image (compression " + std::to_string(h.compression) +
                    "); save it uncompressed");
  if (bitfields) {
    ByteCursor masks(file.subspan(kFileHeaderSize + kInfoHeaderSize));
    const std::uint32_t red = masks.u32(), green = masks.u32(), blue = masks.u32();
    if (!masks.ok() || red != kMaskRed || green != kMaskGreen || blue != kMaskBlue)
      return failWith(
          "a 32-bit image with colour masks other than 8 bits each of red, green, "
          "blue");
  }
  if (h.bitCount == 8 && h.clrUsed > 256)
    return failWith("an 8-bit image that claims " + std::to_string(h.clrUsed) + " colours");

  const std::uint32_t colours = paletteEntries(h);
  const std::size_t paletteAt = kFileHeaderSize + h.size;
  if (colours * 4 > file.size() - paletteAt) return failWith("its colour table is cut short");

  const std::uint32_t stride = bitmapStride(h.width, h.bitCount);
  const std::uint32_t rows = static_cast<std::uint32_t>(h.height < 0 ? -h.height : h.height);
  const std::size_t pixelBytes = std::size_t(stride) * rows;
  if (pixelOffset > file.size() || pixelBytes > file.size() - pixelOffset)
    return failWith("its pixel rows are cut short");

  std::vector<std::uint8_t> body;
  body.reserve(kInfoHeaderSize + colours * 4 + pixelBytes);
  ByteWriter w(body);
  writeBitmapBodyHeader(w, h.width, rows, h.bitCount, h.bitCount == 8 ? h.clrUsed : 0);
  for (std::uint32_t i = 0; i < colours; ++i) {
    w.bytes(file.subspan(paletteAt + 4 * i, 3));  // blue, green, red
    w.u8(0);                                      // reserved
  }
  const std::uint8_t* pixels = &file[pixelOffset];
  for (std::uint32_t r = 0; r < rows; ++r) {
    // A positive height stores the bottom row first.
    const std::uint32_t from = h.height > 0 ? rows - 1 - r : r;
    const std::uint8_t* row = pixels + std::size_t(stride) * from;
    if (h.bitCount == 8) {
      const auto* beyond =
          std::find_if(row, row + h.width, [&](std::uint8_t p) { return p >= colours; });
      if (beyond != row + h.width)
        return failWith("pixel " + std::to_string(beyond - row) + " of row " + std::to_string(r) +
                        " uses colour " + std::to_string(*beyond) + " of a " +
                        std::to_string(colours) + "-colour table");
    }
    w.bytes({row, stride});
  }
  if (shape) *shape = {h.width, static_cast<std::int32_t>(rows), h.bitCount, colours};
  return body;
}

std::string bitmapBodyProblem(std::span<const std::uint8_t> body, BitmapShape* shape) {
  ByteCursor c(body);
  const InfoHeader h = readInfoHeader(c);
  if (!c.ok()) return "shorter than a bitmap header";
  // The setup takes the header as 40 bytes and looks for the colours right after it.
  if (h.size != kInfoHeaderSize)
    return "its header says " + std::to_string(h.size) + " bytes, but the setup reads 40";
  std::string problem = shapeProblem(h);
  if (!problem.empty()) return problem;
  if (h.compression != kBiRgb) return "a compressed image, which the setup cannot draw";
  if (h.bitCount != 8 && h.bitCount != 16 && h.bitCount != 24 && h.bitCount != 32)
    return "a " + std::to_string(h.bitCount) +
           "-bit image; the setup reads a colour table only for 8 bits";
  if (h.bitCount == 8 && h.clrUsed > 256)
    return "an 8-bit image that claims " + std::to_string(h.clrUsed) + " colours";
  const std::uint32_t colours = paletteEntries(h);
  const std::uint32_t rows = static_cast<std::uint32_t>(h.height < 0 ? -h.height : h.height);
  const std::size_t need =
      kInfoHeaderSize + colours * 4 + std::size_t(bitmapStride(h.width, h.bitCount)) * rows;
  if (body.size() < need)
    return "the body holds " + std::to_string(body.size()) + " bytes; the image needs " +
           std::to_string(need);
  if (shape) *shape = {h.width, static_cast<std::int32_t>(rows), h.bitCount, colours};
  return "";
}

}  // namespace zorv
