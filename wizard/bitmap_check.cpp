#include "wizard/bitmap_check.h"

#include "package/byte_cursor.h"

namespace zorv {

namespace {

constexpr std::uint32_t kCompressionNone = 0;  // BI_RGB
constexpr std::uint32_t kMaxPaletteColors = 256;

bool supportedDepth(std::uint16_t bits) {
  return bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

}  // namespace

std::optional<PackageBitmap> checkPackageBitmap(std::span<const std::uint8_t> body) {
  ByteCursor c(body);
  PackageBitmap b;
  std::uint32_t headerSize = c.u32();
  b.width = c.i32();
  b.height = c.i32();
  std::uint32_t planesAndBits = c.u32();  // biPlanes (u16), then biBitCount (u16)
  std::uint16_t planes = std::uint16_t(planesAndBits & 0xFFFF);
  b.bitCount = std::uint16_t(planesAndBits >> 16);
  std::uint32_t compression = c.u32();
  c.skip(4 + 4 + 4);  // biSizeImage, biXPelsPerMeter, biYPelsPerMeter: not used
  b.colorsUsed = c.u32();
  c.skip(4);  // biClrImportant
  if (!c.ok() || headerSize != kBitmapHeaderSize || planes != 1 ||
      compression != kCompressionNone || !supportedDepth(b.bitCount) || b.width <= 0 ||
      b.height == 0)
    return std::nullopt;

  // Only 8-bit images carry a colour table. At other depths the package holds none, whatever
  // biClrUsed says, and the count is dropped so that the header handed to the system does not
  // make it look for one.
  std::uint32_t colors = 0;
  if (b.bitCount == 8) {
    if (b.colorsUsed > kMaxPaletteColors) return std::nullopt;
    colors = b.colorsUsed == 0 ? kMaxPaletteColors : b.colorsUsed;
  } else {
    b.colorsUsed = 0;
  }
  b.colorTable = c.bytes(std::size_t(colors) * 4);
  if (!c.ok()) return std::nullopt;

  // 64 bits throughout: a width near 2^31 at 32 bits makes a stride near 2^33. The stride is
  // checked against the body first, so that stride x rows cannot wrap either.
  std::uint64_t stride = (std::uint64_t(b.width) * b.bitCount + 31) / 32 * 4;
  std::uint64_t rows = b.height < 0 ? -std::int64_t(b.height) : std::int64_t(b.height);
  if (stride > c.remaining() || stride * rows > c.remaining()) return std::nullopt;
  b.pixels = c.bytes(std::size_t(stride * rows));
  if (!c.ok()) return std::nullopt;
  return b;
}

}  // namespace zorv
