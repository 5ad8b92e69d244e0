// The resource directory of a PE image: a tree of three levels (type, name, language) of
// directory tables, UTF-16 name strings and data entries, all addressed by offsets from the
// start of the directory, with the data itself addressed by RVA.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/pe/pe_image.h"

namespace zorv::pe {

// Directory table: Characteristics, TimeDateStamp (u32 each), MajorVersion, MinorVersion,
// NumberOfNamedEntries, NumberOfIdEntries (u16 each), then the 8-byte entries.
inline constexpr std::size_t kResDirectorySize = 16;
inline constexpr std::size_t kResDirNamedCountOffset = 12;
inline constexpr std::size_t kResDirIdCountOffset = 14;
// Entry: a name field (high bit: offset of a name string, else an integer id) and a data
// field (high bit: offset of a subdirectory, else offset of a data entry).
inline constexpr std::size_t kResEntrySize = 8;
inline constexpr std::uint32_t kResHighBit = 0x80000000;
// Name string: a u16 count of UTF-16 units, then the units, not terminated.
inline constexpr std::size_t kResStringLengthSize = 2;
// Data entry: OffsetToData (an RVA), Size, CodePage, Reserved.
inline constexpr std::size_t kResDataEntrySize = 16;

// A type or name: an integer id, or a name of UTF-16LE units. The name is a view, into the
// image or a caller's buffer, never a copy: a damaged image may point thousands of entries at
// one long string, and copying it for each would turn a small file into gigabytes.
struct ResourceKey {
  bool named = false;
  std::uint16_t id = 0;
  std::span<const std::uint8_t> name;  // 2 bytes a unit

  std::size_t length() const { return name.size() / 2; }
  char16_t unit(std::size_t i) const { return char16_t(name[2 * i] | name[2 * i + 1] << 8); }
};

// Names first, in ordinal order of their UTF-16 units, then ids in ascending order: the order
// in which the loader binary-searches a table.
int compareKeys(const ResourceKey& a, const ResourceKey& b);
// Names are compared without regard to ASCII case, as the loader upper-cases what it is asked.
bool sameKey(const ResourceKey& a, const ResourceKey& b);
// "#n" is the integer n (1 to 65535), like MAKEINTRESOURCE; any other text is a name, which
// must be ASCII and is stored upper-cased in `storage`, which the key views. Empty, non-ASCII
// or a bad "#n" yield nothing.
std::optional<ResourceKey> keyFromText(std::string_view text, std::vector<std::uint8_t>& storage);

struct ResourceDirectoryEntry {
  ResourceKey key;
  bool isDirectory = false;
  std::uint32_t offset = 0;  // of the subdirectory or the data entry
};

struct ResourceDataEntry {
  std::uint32_t rva = 0;
  std::uint32_t size = 0;
  std::uint32_t codePage = 0;
};

// One leaf of the tree with its data as stored in the image.
struct ResourceItem {
  ResourceKey type;
  ResourceKey name;
  std::uint16_t language = 0;
  std::uint32_t codePage = 0;
  std::span<const std::uint8_t> data;
  // A resource whose `deferredSize` bytes the caller writes into the section's hole later.
  bool deferred = false;
  std::uint32_t deferredSize = 0;

  std::uint64_t size() const { return deferred ? deferredSize : data.size(); }
};

// The bytes from the resource directory to the end of its section, which are never none; an
// empty span when the image has no resource directory.
std::expected<std::span<const std::uint8_t>, std::string> resourceDirectoryBytes(
    std::span<const std::uint8_t> file, const Image& image);

// The entries of the directory table at `offset`; the reason when it runs past `dir`.
std::expected<std::vector<ResourceDirectoryEntry>, std::string> readResourceDirectory(
    std::span<const std::uint8_t> dir, std::uint32_t offset);

std::expected<ResourceDataEntry, std::string> readResourceDataEntry(
    std::span<const std::uint8_t> dir, std::uint32_t offset);

// Every leaf of the tree, checked strictly: the first two levels must hold directories, the
// third data entries whose bytes lie in the file, and no directory may be reached twice (so a
// cyclic or shared tree is refused and the work stays linear in the directory's size). An
// image without resources gives an empty list.
std::expected<std::vector<ResourceItem>, std::string> readResourceItems(
    std::span<const std::uint8_t> file, const Image& image);

}  // namespace zorv::pe
