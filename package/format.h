// The package format: a 52-byte header, the entry bodies, and a directory of 44-byte entries
// kept as one zlib stream. All integers are unsigned 32-bit little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zorv {

// A tag is four ASCII characters in reading order, compared as one little-endian value, so
// that "Copy" (43 6F 70 79) is 0x79706F43.
constexpr std::uint32_t makeTag(const char (&s)[5]) {
  return std::uint32_t(std::uint8_t(s[0])) | std::uint32_t(std::uint8_t(s[1])) << 8 |
         std::uint32_t(std::uint8_t(s[2])) << 16 | std::uint32_t(std::uint8_t(s[3])) << 24;
}

inline constexpr std::uint32_t kTagEmpty = 0;
inline constexpr std::uint32_t kTagAppName = makeTag("AppN");
inline constexpr std::uint32_t kTagSum = makeTag("SumC");
inline constexpr std::uint32_t kTagDefaultDir = makeTag("DirD");
inline constexpr std::uint32_t kTagBitmap = makeTag("BmpT");
inline constexpr std::uint32_t kTagCopy = makeTag("Copy");
inline constexpr std::uint32_t kTagCopyDir = makeTag("CopD");
inline constexpr std::uint32_t kTagGroupLink = makeTag("Grup");
inline constexpr std::uint32_t kTagDesktopLink = makeTag("Desk");
inline constexpr std::uint32_t kTagRoot = makeTag("root");
inline constexpr std::uint32_t kTagValue = makeTag("valr");
inline constexpr std::uint32_t kTagDeleteDir = makeTag("DelD");
inline constexpr std::uint32_t kTagDeleteFile = makeTag("DelF");
inline constexpr std::uint32_t kTagRunProgram = makeTag("RunS");
// Entries of our own, which only our builder writes; a package without them installs exactly
// as before.
// "UnIn": the package carries an uninstaller; the setup registers it with the system.
inline constexpr std::uint32_t kTagUninstaller = makeTag("UnIn");
// "CPag": the code page that the package's texts are written in, for the tools that turn them
// into names of another system; the setup never looks it up, as it runs with the system's own.
// Its body (CodePageRecord) is one LE32, 1252 or 1251; a package without it is read as 1252.
inline constexpr std::uint32_t kTagCodePage = makeTag("CPag");
// "Rels": the package is a release made by our builder, whose setup takes the command line of
// package managers ("/S", "/D=") and ends with exit codes that tell how it went. Its body is
// one LE32, the release features it asks for: kReleaseFeatures, and kReleaseUserScope for an
// application installed for the user alone (no elevation, the user's folders and keys).
inline constexpr std::uint32_t kTagRelease = makeTag("Rels");
inline constexpr std::uint32_t kReleaseFeatures = 1;   // switches and exit codes: every release
inline constexpr std::uint32_t kReleaseUserScope = 2;  // scope = "user" in the manifest
// Line codes that occur only in the uninstall log.
inline constexpr std::uint32_t kTagLogName = makeTag("Name");
inline constexpr std::uint32_t kTagLogWork = makeTag("Work");
inline constexpr std::uint32_t kTagLogDeleteKey = makeTag("DelK");
// Ours, in the logs of release packages only: a folder that the install made, removed once
// empty; what else it holds stays.
inline constexpr std::uint32_t kTagLogDeleteEmpty = makeTag("DelE");
// The marker that packages put before each data block of a file; never examined.
inline constexpr std::uint32_t kTagBlockMarker = 0x50696520;  // bytes 20 65 69 50

// Header, at offset 0 of the package.
inline constexpr std::size_t kHeaderSize = 52;
inline constexpr std::size_t kHeaderMagicOffset = 12;
inline constexpr std::size_t kHeaderNameOffset = 16;
inline constexpr std::size_t kHeaderDataBaseOffset = 32;
inline constexpr std::size_t kHeaderDirectoryOffset = 36;
inline constexpr std::size_t kHeaderReservedOffset = 40;
inline constexpr std::size_t kHeaderEntryCountOffset = 44;
inline constexpr std::size_t kHeaderDirectoryPackedOffset = 48;
static_assert(kHeaderDirectoryPackedOffset + 4 == kHeaderSize);

// Directory entry. Offset 0 means an inline entry: no body, the value is in the entry itself.
inline constexpr std::size_t kEntrySize = 44;
inline constexpr std::size_t kEntryTagOffset = 0;
inline constexpr std::size_t kEntryOffsetOffset = 4;
inline constexpr std::size_t kEntryUnpackedOffset = 8;
inline constexpr std::size_t kEntryPackedOffset = 12;
inline constexpr std::size_t kEntryCacheOffset = 16;
inline constexpr std::size_t kEntryCountOffset = 20;
inline constexpr std::size_t kEntryIndexOffset = 24;
inline constexpr std::size_t kEntryNameOffset = 28;
static_assert(kEntryNameOffset + 16 == kEntrySize);

// Text fields hold at most 15 characters and their NUL.
inline constexpr std::size_t kNameFieldSize = 16;

// PackedRange: offset from the data base, unpacked size, packed size. A TaggedRange puts a tag
// in front of it and is laid out like the first 16 bytes of an entry.
inline constexpr std::size_t kPackedRangeSize = 12;
inline constexpr std::size_t kTaggedRangeSize = 16;

// count x 44 must fit in 32 bits.
inline constexpr std::uint32_t kMaxEntryCount = 0xFFFFFFFFu / kEntrySize;  // 97,612,893

// Files are cut into blocks of this many unpacked bytes.
inline constexpr std::uint32_t kBlockSize = 512000;

inline constexpr std::string_view kMagic = "1cra";

struct PackedRange {
  std::uint32_t offset = 0;
  std::uint32_t unpacked = 0;
  std::uint32_t packed = 0;
  bool isStored() const { return packed == unpacked; }
};

// Four characters of a tag, for messages and listings; "" for an empty slot.
std::string tagText(std::uint32_t tag);

}  // namespace zorv
