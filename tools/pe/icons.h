// Icons: the .ico file a manifest names, and the two kinds of resource an executable keeps an
// icon in, one RT_ICON per image and an RT_GROUP_ICON directory that names them by id.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <vector>

namespace zorv {

inline constexpr std::uint16_t kResourceTypeIcon = 3;        // RT_ICON
inline constexpr std::uint16_t kResourceTypeIconGroup = 14;  // RT_GROUP_ICON

// ICONDIR, at the start of an .ico file and of a group: reserved (0), type (1: icon), count.
inline constexpr std::size_t kIconDirSize = 6;
inline constexpr std::uint16_t kIconDirTypeIcon = 1;
// ICONDIRENTRY of a file: width, height, colour count, reserved (a byte each), planes, bit
// count (u16 each), bytes in the image, the image's offset in the file (u32 each).
inline constexpr std::size_t kIconFileEntrySize = 16;
// GRPICONDIRENTRY of a group: the same up to the byte count, then the RT_ICON id (u16).
inline constexpr std::size_t kIconGroupEntrySize = 14;
static_assert(kIconGroupEntrySize == kIconFileEntrySize - 2);

// One image of an icon: what the directory entries say of it, and its bytes (a DIB starting
// with a 40-byte BITMAPINFOHEADER, or a PNG file).
struct IconImage {
  std::uint8_t width = 0;  // 0 stands for 256
  std::uint8_t height = 0;
  std::uint8_t colorCount = 0;
  std::uint8_t reserved = 0;
  std::uint16_t planes = 0;
  std::uint16_t bitCount = 0;
  std::vector<std::uint8_t> bytes;
};

// What an icon may hold. Each image becomes a resource of setup.exe and again of the
// uninstaller it carries, so an icon's size is paid twice in every download. A full icon has
// one image for each of a dozen sizes and depths; its largest, 256 x 256 in 32 bits as a DIB
// with its mask, takes 270,376 bytes, so 4 MiB holds fifteen of those while keeping what an
// icon adds to a setup below 8 MiB.
inline constexpr std::size_t kMaxIconImages = 64;
inline constexpr std::uint64_t kMaxIconBytes = std::uint64_t(4) << 20;

// Every image of an .ico file. Untrusted bytes: the directory must be an icon's and hold from
// one to kMaxIconImages entries; every image must lie inside the file after the directory, in
// bytes no other image names, and look like a DIB or a PNG; together they may hold at most
// kMaxIconBytes. The reason otherwise.
std::expected<std::vector<IconImage>, std::string> parseIconFile(
    std::span<const std::uint8_t> file);

// An entry of an RT_GROUP_ICON: the image's description and the RT_ICON id that holds it.
struct IconGroupEntry {
  std::uint8_t width = 0;
  std::uint8_t height = 0;
  std::uint32_t bytes = 0;  // the size the group declares for the image
  std::uint16_t id = 0;
};

// The body of an RT_GROUP_ICON naming `images[i]` as RT_ICON `ids[i]`; the spans are as long.
std::vector<std::uint8_t> iconGroupBytes(std::span<const IconImage> images,
                                         std::span<const std::uint16_t> ids);

// The entries of an RT_GROUP_ICON body, which must hold exactly its directory and entries and
// at least one image. The reason otherwise.
std::expected<std::vector<IconGroupEntry>, std::string> parseIconGroup(
    std::span<const std::uint8_t> body);

}  // namespace zorv
