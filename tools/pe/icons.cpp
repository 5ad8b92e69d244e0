#include "tools/pe/icons.h"

#include <algorithm>
#include <utility>

#include "package/byte_cursor.h"
#include "package/byte_writer.h"
#include "tools/pe/pe_image.h"

namespace zorv {

namespace {

constexpr std::size_t kBitmapInfoHeaderSize = 40;
constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

using pe::fail;

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
  const std::uint16_t reserved = c.u16();
  const std::uint16_t type = c.u16();
  *count = c.u16();
  if (!c.ok()) return fail(why, "it is shorter than an icon directory (6 bytes)");
  if (reserved != 0 || type != kIconDirTypeIcon)
    return fail(why, type == 2 ? "it is a cursor, not an icon"
                               : "it does not start with an icon directory (0, 1, count)");
  if (*count == 0) return fail(why, "it holds no image");
  return true;
}

// Where an entry says its image lies, and which entry it is (0-based).
struct ImageRange {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  std::size_t index = 0;
};

std::string imageName(std::size_t index, std::size_t count) {
  return "image " + std::to_string(index + 1) + " of " + std::to_string(count);
}

std::string rangeText(const ImageRange& r) {
  return "(" + std::to_string(r.size) + " bytes at offset " + std::to_string(r.offset) + ")";
}

// Two ranges that share a byte, the one that starts first (the lower index on a tie) first;
// none when all are disjoint. Each range is non-empty and inside the file, so ends cannot wrap.
std::optional<std::pair<ImageRange, ImageRange>> overlappingRanges(std::vector<ImageRange> ranges) {
  std::sort(ranges.begin(), ranges.end(), [](const ImageRange& a, const ImageRange& b) {
    return a.offset != b.offset ? a.offset < b.offset : a.index < b.index;
  });
  // Sorted by start, with those before it disjoint, a range overlaps one of them exactly
  // when it starts before the end of the one just before it, which ends last.
  for (std::size_t i = 1; i < ranges.size(); ++i)
    if (ranges[i].offset < ranges[i - 1].offset + ranges[i - 1].size)
      return std::pair{ranges[i - 1], ranges[i]};
  return std::nullopt;
}

}  // namespace

// ICONDIR (6 bytes), then `count` ICONDIRENTRYs of 16 bytes: width, height, colour count,
// reserved, planes, bit count, bytes in the image, the image's file offset. The images lie
// anywhere after the directory, in any order, but each in bytes of its own: every image is
// copied into the executable, so entries that name one range again would multiply it.
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
  if (count > kMaxIconImages) {
    fail(why, "it holds " + std::to_string(count) + " images; an icon may hold at most " +
                  std::to_string(kMaxIconImages));
    return std::nullopt;
  }
  const std::uint64_t directoryEnd = kIconDirSize + std::uint64_t(count) * kIconFileEntrySize;
  std::vector<IconImage> images(count);
  std::vector<ImageRange> ranges(count);
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < count; ++i) {
    IconImage& image = images[i];
    image.width = c.u8();
    image.height = c.u8();
    image.colorCount = c.u8();
    image.reserved = c.u8();
    image.planes = c.u16();
    image.bitCount = c.u16();
    const std::uint64_t size = c.u32();
    const std::uint64_t offset = c.u32();
    ranges[i] = {offset, size, i};
    const std::string which = imageName(i, count);
    if (size == 0) {
      fail(why, which + " is empty");
      return std::nullopt;
    }
    if (offset > file.size() || size > file.size() - offset) {
      fail(why, which + " " + rangeText(ranges[i]) + " lies outside the file of " +
                    std::to_string(file.size()) + " bytes");
      return std::nullopt;
    }
    if (offset < directoryEnd) {
      fail(why, which + " " + rangeText(ranges[i]) + " starts inside the directory of " +
                    std::to_string(directoryEnd) + " bytes");
      return std::nullopt;
    }
    total += size;
  }
  // Disjoint ranges inside the file cannot add up to more than it, but a file can be large.
  if (total > kMaxIconBytes) {
    fail(why, "its images hold " + std::to_string(total) + " bytes; an icon may hold at most " +
                  std::to_string(kMaxIconBytes));
    return std::nullopt;
  }
  if (const auto clash = overlappingRanges(ranges)) {
    const auto [first, second] = *clash;
    fail(why, imageName(second.index, count) + " " + rangeText(second) +
                  " shares bytes with image " + std::to_string(first.index + 1) + " " +
                  rangeText(first));
    return std::nullopt;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const auto bytes = file.subspan(static_cast<std::size_t>(ranges[i].offset),
                                    static_cast<std::size_t>(ranges[i].size));
    if (!looksLikeImage(bytes)) {
      fail(why, imageName(i, count) + " is neither a bitmap (a 40-byte BITMAPINFOHEADER) nor a PNG");
      return std::nullopt;
    }
    images[i].bytes.assign(bytes.begin(), bytes.end());
  }
  return images;
}

std::vector<std::uint8_t> iconGroupBytes(std::span<const IconImage> images,
                                         std::span<const std::uint16_t> ids) {
  std::vector<std::uint8_t> b;
  ByteWriter w(b);
  w.u16(0);
  w.u16(kIconDirTypeIcon);
  w.u16(static_cast<std::uint16_t>(images.size()));
  for (std::size_t i = 0; i < images.size(); ++i) {
    const IconImage& image = images[i];
    for (std::uint8_t v : {image.width, image.height, image.colorCount, image.reserved}) w.u8(v);
    w.u16(image.planes);
    w.u16(image.bitCount);
    w.u32(static_cast<std::uint32_t>(image.bytes.size()));
    w.u16(ids[i]);
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
    e.id = c.u16();
  }
  if (!c.ok()) return std::nullopt;  // cannot happen: the size was checked above
  return entries;
}

}  // namespace zorv
