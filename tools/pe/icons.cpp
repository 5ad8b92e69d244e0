#include "tools/pe/icons.h"

#include <algorithm>

#include "package/byte_cursor.h"
#include "tools/pe/pe_image.h"

namespace zorv {

namespace {

constexpr std::size_t kBitmapInfoHeaderSize = 40;
constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool fail(std::string* why, std::string reason) {
  if (why) *why = std::move(reason);
  return false;
}

// An image is a DIB whose header is a BITMAPINFOHEADER (its first field, the header size, is
// 40), or a whole PNG file.
bool looksLikeImage(std::span<const std::uint8_t> image) {
  if (image.size() >= sizeof kPngSignature &&
      std::equal(std::begin(kPngSignature), std::end(kPngSignature), image.begin()))
    return true;
  ByteCursor c(image);
  return c.u32() == kBitmapInfoHeaderSize && c.remaining() >= kBitmapInfoHeaderSize - 4;
}

// ICONDIR: reserved, type, count; false unless it is an icon's with at least one image.
bool readIconDir(ByteCursor& c, std::uint16_t* count, std::string* why) {
  const std::uint16_t reserved = pe::readU16(c);
  const std::uint16_t type = pe::readU16(c);
  *count = pe::readU16(c);
  if (!c.ok()) return fail(why, "it is shorter than an icon directory (6 bytes)");
  if (reserved != 0 || type != kIconDirTypeIcon)
    return fail(why, type == 2 ? "it is a cursor, not an icon"
                               : "it does not start with an icon directory (0, 1, count)");
  if (*count == 0) return fail(why, "it holds no image");
  return true;
}

}  // namespace

// ICONDIR (6 bytes), then `count` ICONDIRENTRYs of 16 bytes: width, height, colour count,
// reserved, planes, bit count, bytes in the image, the image's file offset. The images lie
// anywhere after, in any order.
std::optional<std::vector<IconImage>> parseIconFile(std::span<const std::uint8_t> file,
                                                    std::string* why) {
  ByteCursor c(file);
  std::uint16_t count = 0;
  if (!readIconDir(c, &count, why)) return std::nullopt;
  if (c.remaining() / kIconFileEntrySize < count) {
    fail(why, "its directory of " + std::to_string(count) +
                  " images runs past the end of the file");
    return std::nullopt;
  }
  std::vector<IconImage> images(count);
  for (std::size_t i = 0; i < count; ++i) {
    IconImage& image = images[i];
    image.width = c.u8();
    image.height = c.u8();
    image.colorCount = c.u8();
    image.reserved = c.u8();
    image.planes = pe::readU16(c);
    image.bitCount = pe::readU16(c);
    const std::uint64_t size = c.u32();
    const std::uint64_t offset = c.u32();
    const std::string which = "image " + std::to_string(i + 1) + " of " + std::to_string(count);
    if (size == 0) {
      fail(why, which + " is empty");
      return std::nullopt;
    }
    if (offset > file.size() || size > file.size() - offset) {
      fail(why, which + " (" + std::to_string(size) + " bytes at offset " +
                    std::to_string(offset) + ") lies outside the file of " +
                    std::to_string(file.size()) + " bytes");
      return std::nullopt;
    }
    const auto bytes = file.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(size));
    if (!looksLikeImage(bytes)) {
      fail(why, which + " is neither a bitmap (a 40-byte BITMAPINFOHEADER) nor a PNG");
      return std::nullopt;
    }
    image.bytes.assign(bytes.begin(), bytes.end());
  }
  return images;
}

std::vector<std::uint8_t> iconGroupBytes(std::span<const IconImage> images,
                                         std::span<const std::uint16_t> ids) {
  std::vector<std::uint8_t> b;
  auto put16 = [&b](std::uint16_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
  };
  put16(0);
  put16(kIconDirTypeIcon);
  put16(static_cast<std::uint16_t>(images.size()));
  for (std::size_t i = 0; i < images.size(); ++i) {
    const IconImage& image = images[i];
    b.insert(b.end(), {image.width, image.height, image.colorCount, image.reserved});
    put16(image.planes);
    put16(image.bitCount);
    const auto size = static_cast<std::uint32_t>(image.bytes.size());
    put16(std::uint16_t(size));
    put16(std::uint16_t(size >> 16));
    put16(ids[i]);
  }
  return b;
}

// ICONDIR (6 bytes), then `count` GRPICONDIRENTRYs of 14 bytes: width, height, colour count,
// reserved, planes, bit count, bytes in the image, RT_ICON id; nothing after them.
std::optional<std::vector<IconGroupEntry>> parseIconGroup(std::span<const std::uint8_t> body,
                                                          std::string* why) {
  ByteCursor c(body);
  std::uint16_t count = 0;
  if (!readIconDir(c, &count, why)) return std::nullopt;
  if (c.remaining() != std::size_t(count) * kIconGroupEntrySize) {
    fail(why, "the group holds " + std::to_string(c.remaining()) + " bytes of entries for " +
                  std::to_string(count) + " images");
    return std::nullopt;
  }
  std::vector<IconGroupEntry> entries(count);
  for (IconGroupEntry& e : entries) {
    e.width = c.u8();
    e.height = c.u8();
    c.skip(6);  // colour count, reserved, planes, bit count
    e.bytes = c.u32();
    e.id = pe::readU16(c);
  }
  if (!c.ok()) return std::nullopt;  // cannot happen: the size was checked above
  return entries;
}

}  // namespace zorv
