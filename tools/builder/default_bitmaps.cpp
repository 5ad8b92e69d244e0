#include "tools/builder/default_bitmaps.h"

#include "package/byte_cursor.h"
#include "package/byte_writer.h"
#include "tools/builder/bmp.h"

namespace zorv {

namespace {

constexpr std::uint32_t kDibHeaderSize = 40;
constexpr std::uint32_t kBiRgb = 0;
// The .ico directory's largest size; nothing larger fits a panel anyway.
constexpr std::int32_t kMaxIconSide = 256;

// Where each piece of an icon image's DIB lies, every one checked to be inside its bytes.
struct IconDib {
  std::int32_t width = 0, height = 0;
  std::uint16_t bitCount = 0;
  std::size_t paletteAt = 0;
  std::uint32_t colours = 0;  // colour table entries, for 1, 4 and 8 bits
  std::size_t rowsAt = 0;
  std::uint32_t stride = 0;
  std::size_t maskAt = 0;  // 0: the image has no AND mask, and is opaque but for its alpha
  std::uint32_t maskStride = 0;
};

// An icon image's DIB: a BITMAPINFOHEADER whose height counts the colour rows and the mask rows
// (twice the image's height), the colour table of 1, 4 and 8 bits (biClrUsed entries of blue,
// green, red, reserved, or 2^bits when 0), the colour rows bottom-up, then the AND mask rows,
// 1 bit a pixel, bottom-up, a set bit meaning transparent. The mask may be missing when the
// bytes end after the colour rows. None for a PNG, another depth, compression, or rows cut
// short.
std::optional<IconDib> readIconDib(std::span<const std::uint8_t> bytes) {
  ByteCursor c(bytes);
  const std::uint32_t headerSize = c.u32();
  IconDib d;
  d.width = c.i32();
  const std::int32_t bothHeights = c.i32();
  c.skip(2);  // biPlanes, which Windows ignores in icons
  d.bitCount = c.u16();
  const std::uint32_t compression = c.u32();
  c.skip(12);  // biSizeImage, biXPelsPerMeter, biYPelsPerMeter
  const std::uint32_t clrUsed = c.u32();
  if (!c.ok() || headerSize != kDibHeaderSize || compression != kBiRgb) return std::nullopt;
  const std::uint16_t bits = d.bitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return std::nullopt;
  d.height = bothHeights / 2;
  if (d.width <= 0 || d.width > kMaxIconSide || d.height <= 0 || d.height > kMaxIconSide)
    return std::nullopt;
  if (bits <= 8) {
    d.colours = clrUsed == 0 ? 1u << bits : clrUsed;
    if (d.colours > 1u << bits) return std::nullopt;
  }
  d.paletteAt = kDibHeaderSize;
  d.rowsAt = d.paletteAt + std::size_t(d.colours) * 4;
  d.stride = bitmapStride(d.width, bits);
  const std::size_t rowsEnd = d.rowsAt + std::size_t(d.stride) * std::size_t(d.height);
  if (rowsEnd > bytes.size()) return std::nullopt;
  d.maskStride = bitmapStride(d.width, 1);
  if (std::size_t(d.maskStride) * std::size_t(d.height) <= bytes.size() - rowsEnd)
    d.maskAt = rowsEnd;
  return d;
}

struct Bgra {
  std::uint8_t blue = 0, green = 0, red = 0, alpha = 0;
};

// Pixel (x, y), y = 0 at the top, with alpha 255 where it is opaque and 0 where it shows the
// panel; `useAlpha` for a 32-bit image whose alpha is not all zero (older ones leave it so
// and have only the mask). A colour index past the table shows the panel.
Bgra iconPixel(std::span<const std::uint8_t> bytes, const IconDib& d, bool useAlpha,
               std::int32_t x, std::int32_t y) {
  const std::size_t row = std::size_t(d.height - 1 - y);
  const std::uint8_t* p = &bytes[d.rowsAt + row * d.stride];
  Bgra px;
  if (d.bitCount >= 24) {
    const std::uint8_t* q = p + std::size_t(x) * (d.bitCount / 8);
    px = {q[0], q[1], q[2], useAlpha ? q[3] : std::uint8_t(255)};
  } else {
    const std::uint32_t perByte = 8u / d.bitCount;
    const std::uint32_t shift = 8 - d.bitCount * (1 + std::uint32_t(x) % perByte);
    const std::uint32_t index = (p[std::uint32_t(x) / perByte] >> shift) & ((1u << d.bitCount) - 1);
    if (index >= d.colours) return {};
    const std::uint8_t* q = &bytes[d.paletteAt + 4 * index];
    px = {q[0], q[1], q[2], 255};
  }
  if (!useAlpha && d.maskAt != 0) {
    const std::uint8_t m = bytes[d.maskAt + row * d.maskStride + std::uint32_t(x) / 8];
    if (m & (0x80 >> (x % 8))) px.alpha = 0;
  }
  return px;
}

bool hasAlpha(std::span<const std::uint8_t> bytes, const IconDib& d) {
  if (d.bitCount != 32) return false;
  for (std::size_t i = d.rowsAt + 3; i < d.rowsAt + std::size_t(d.stride) * d.height; i += 4)
    if (bytes[i] != 0) return true;
  return false;
}

std::uint8_t blend(std::uint8_t over, std::uint8_t under, std::uint8_t alpha) {
  return std::uint8_t((over * alpha + under * (255 - alpha) + 127) / 255);
}

}  // namespace

std::optional<std::size_t> chooseIconImage(std::span<const IconImage> icon, std::int32_t width,
                                           std::int32_t height) {
  std::optional<std::size_t> best;
  std::int64_t bestArea = 0;
  std::uint16_t bestBits = 0;
  for (std::size_t i = 0; i < icon.size(); ++i) {
    const auto d = readIconDib(icon[i].bytes);
    if (!d || d->width > width - 2 * kIconMargin || d->height > height - 2 * kIconMargin)
      continue;
    const std::int64_t area = std::int64_t(d->width) * d->height;
    if (!best || area > bestArea || (area == bestArea && d->bitCount > bestBits)) {
      best = i;
      bestArea = area;
      bestBits = d->bitCount;
    }
  }
  return best;
}

std::vector<std::uint8_t> defaultBitmapBody(std::int32_t width, std::int32_t height,
                                            std::span<const IconImage> icon) {
  const std::uint32_t stride = bitmapStride(width, 24);
  std::vector<std::uint8_t> body;
  ByteWriter w(body);
  writeBitmapBodyHeader(w, width, std::uint32_t(height), 24, 0);
  const std::size_t pixelsAt = body.size();
  body.resize(pixelsAt + std::size_t(stride) * height, 0);  // the rows' padding stays zero
  auto at = [&](std::int32_t x, std::int32_t y) {
    return &body[pixelsAt + std::size_t(y) * stride + std::size_t(x) * 3];
  };
  for (std::int32_t y = 0; y < height; ++y)
    for (std::int32_t x = 0; x < width; ++x) {
      std::uint8_t* q = at(x, y);
      q[0] = kPanelColour.blue, q[1] = kPanelColour.green, q[2] = kPanelColour.red;
    }

  const auto chosen = chooseIconImage(icon, width, height);
  if (!chosen) return body;
  const std::span<const std::uint8_t> bytes = icon[*chosen].bytes;
  const IconDib d = *readIconDib(bytes);
  const bool useAlpha = hasAlpha(bytes, d);
  const std::int32_t left = (width - d.width) / 2, top = (height - d.height) / 2;
  for (std::int32_t y = 0; y < d.height; ++y)
    for (std::int32_t x = 0; x < d.width; ++x) {
      const Bgra px = iconPixel(bytes, d, useAlpha, x, y);
      std::uint8_t* q = at(left + x, top + y);
      q[0] = blend(px.blue, q[0], px.alpha);
      q[1] = blend(px.green, q[1], px.alpha);
      q[2] = blend(px.red, q[2], px.alpha);
    }
  return body;
}

}  // namespace zorv
