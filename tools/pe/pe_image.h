// The headers of a PE image that resource code needs: DOS header, file header, optional header
// (PE32 or PE32+), data directories and section table, decoded field by field from untrusted
// bytes, and the mapping of relative virtual addresses to the bytes stored in the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "package/byte_cursor.h"
#include "package/byte_writer.h"

namespace zorv::pe {

// DOS header: "MZ" first.
inline constexpr std::size_t kDosHeaderSize = 64;
inline constexpr std::uint16_t kDosMagic = 0x5A4D;
inline constexpr std::size_t kDosLfanewOffset = 0x3C;

// "PE\0\0", then the COFF file header.
inline constexpr std::size_t kSignatureSize = 4;
inline constexpr std::uint32_t kPeSignature = 0x00004550;
inline constexpr std::size_t kFileHeaderSize = 20;
inline constexpr std::size_t kFileMachineOffset = 0;
inline constexpr std::size_t kFileSectionCountOffset = 2;
inline constexpr std::size_t kFileSymbolTableOffset = 8;
inline constexpr std::size_t kFileSymbolCountOffset = 12;
inline constexpr std::size_t kFileOptionalSizeOffset = 16;
inline constexpr std::size_t kFileCharacteristicsOffset = 18;
inline constexpr std::uint16_t kMachineI386 = 0x014C;
inline constexpr std::uint16_t kFileExecutableImage = 0x0002;

// Optional header; these fields sit at the same offsets in PE32 and PE32+.
inline constexpr std::uint16_t kMagicPe32 = 0x010B;
inline constexpr std::uint16_t kMagicPe32Plus = 0x020B;
inline constexpr std::size_t kOptMagicOffset = 0;
inline constexpr std::size_t kOptInitializedDataOffset = 8;
inline constexpr std::size_t kOptSectionAlignmentOffset = 32;
inline constexpr std::size_t kOptFileAlignmentOffset = 36;
inline constexpr std::size_t kOptSizeOfImageOffset = 56;
inline constexpr std::size_t kOptSizeOfHeadersOffset = 60;
inline constexpr std::size_t kOptChecksumOffset = 64;
// These differ: PE32+ has a 64-bit image base and stack and heap sizes.
inline constexpr std::size_t kOpt32DirectoryCountOffset = 92;
inline constexpr std::size_t kOpt32DirectoriesOffset = 96;
inline constexpr std::size_t kOpt64DirectoryCountOffset = 108;
inline constexpr std::size_t kOpt64DirectoriesOffset = 112;
inline constexpr std::size_t kDirectorySize = 8;
inline constexpr std::uint32_t kMaxDirectories = 16;
inline constexpr unsigned kDirectoryResource = 2;
inline constexpr unsigned kDirectorySecurity = 4;  // a file offset, not an RVA

// Section header.
inline constexpr std::size_t kSectionHeaderSize = 40;
inline constexpr std::uint16_t kMaxSections = 1024;
inline constexpr std::size_t kSectionNameOffset = 0;
inline constexpr std::size_t kSectionVirtualSizeOffset = 8;
inline constexpr std::size_t kSectionVirtualAddressOffset = 12;
inline constexpr std::size_t kSectionRawSizeOffset = 16;
inline constexpr std::size_t kSectionRawPointerOffset = 20;
inline constexpr std::size_t kSectionCharacteristicsOffset = 36;
inline constexpr std::uint32_t kSectionInitializedData = 0x00000040;
inline constexpr std::uint32_t kSectionMemRead = 0x40000000;

struct Section {
  std::size_t headerOffset = 0;  // file offset of the 40-byte header
  std::uint32_t virtualSize = 0;
  std::uint32_t virtualAddress = 0;
  std::uint32_t rawSize = 0;
  std::uint32_t rawPointer = 0;
  std::uint32_t characteristics = 0;

  // The part of the section that the loader fills from the file.
  std::uint32_t fileBackedSize() const {
    return virtualSize == 0 || rawSize < virtualSize ? rawSize : virtualSize;
  }
  // The part of the address space it occupies before alignment.
  std::uint32_t virtualSpan() const { return virtualSize == 0 ? rawSize : virtualSize; }
};

struct DataDirectory {
  std::uint32_t rva = 0;
  std::uint32_t size = 0;
};

// The decoded headers; every offset is a file offset.
struct Image {
  std::size_t fileHeaderOffset = 0;
  std::size_t optionalHeaderOffset = 0;
  std::size_t sectionTableOffset = 0;
  std::uint16_t machine = 0;
  std::uint16_t characteristics = 0;
  std::uint16_t magic = 0;
  std::uint16_t optionalHeaderSize = 0;
  std::uint32_t sectionAlignment = 0;
  std::uint32_t fileAlignment = 0;
  std::uint32_t sizeOfImage = 0;
  std::uint32_t sizeOfHeaders = 0;
  std::uint32_t initializedDataSize = 0;
  std::size_t directoriesOffset = 0;
  std::uint32_t directoryCount = 0;        // the slots both declared and inside the optional header
  std::vector<DataDirectory> directories;  // directoryCount entries
  std::vector<Section> sections;

  DataDirectory directory(unsigned index) const {
    return index < directories.size() ? directories[index] : DataDirectory{};
  }
};

// Decodes the headers. Only their own bounds are checked here; section contents are checked
// where they are read. The reason, when the bytes are no PE image.
std::expected<Image, std::string> parseImage(std::span<const std::uint8_t> file);

// The `size` bytes at `rva`, when they lie in the file-backed part of one section and inside
// the file.
std::optional<std::span<const std::uint8_t>> mapRva(std::span<const std::uint8_t> file,
                                                    const Image& image, std::uint32_t rva,
                                                    std::uint32_t size);

// The bytes from `rva` to the end of the file-backed part of the section that holds it.
std::optional<std::span<const std::uint8_t>> mapRvaToSectionEnd(std::span<const std::uint8_t> file,
                                                                const Image& image,
                                                                std::uint32_t rva);

// `v` rounded up to a multiple of `a` (not 0): the file and section alignments of the layout.
inline std::uint64_t alignUp(std::uint64_t v, std::uint64_t a) { return (v + a - 1) / a * a; }

}  // namespace zorv::pe
