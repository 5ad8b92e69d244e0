#include "tools/pe/pe_image.h"

#include <algorithm>

namespace zorv::pe {

// DOS header: "MZ" and, at 0x3C, e_lfanew, the offset of "PE\0\0". The COFF file header
// follows the signature, then the optional header of SizeOfOptionalHeader bytes, then
// NumberOfSections 40-byte section headers.
std::expected<Image, std::string> parseImage(std::span<const std::uint8_t> file) {
  const ByteCursor whole(file);
  ByteCursor dos = whole;
  if (file.size() < kDosHeaderSize || dos.u16() != kDosMagic) {
    return std::unexpected("no MZ header");
  }
  const std::uint32_t peOffset = whole.at(kDosLfanewOffset).u32();

  ByteCursor pe = whole.at(peOffset);
  const std::uint32_t signature = pe.u32();
  if (!pe.ok() || signature != kPeSignature) {
    return std::unexpected("no PE signature where the MZ header points");
  }
  Image image;
  image.fileHeaderOffset = std::size_t(peOffset) + kSignatureSize;
  image.machine = pe.u16();
  const std::uint16_t sectionCount = pe.u16();
  pe.skip(kFileOptionalSizeOffset - (kFileSectionCountOffset + 2));
  image.optionalHeaderSize = pe.u16();
  image.characteristics = pe.u16();
  if (!pe.ok()) {
    return std::unexpected("file header runs past the end");
  }
  image.optionalHeaderOffset = image.fileHeaderOffset + kFileHeaderSize;

  auto optional = whole.at(image.optionalHeaderOffset).bytes(image.optionalHeaderSize);
  if (optional.size() != image.optionalHeaderSize || image.optionalHeaderSize < 2) {
    return std::unexpected("optional header runs past the end");
  }
  const ByteCursor optionalHeader(optional);
  ByteCursor opt = optionalHeader;
  image.magic = opt.u16();
  std::size_t countOffset = 0;
  std::size_t directoriesAt = 0;  // inside the optional header
  if (image.magic == kMagicPe32) {
    countOffset = kOpt32DirectoryCountOffset;
    directoriesAt = kOpt32DirectoriesOffset;
  } else if (image.magic == kMagicPe32Plus) {
    countOffset = kOpt64DirectoryCountOffset;
    directoriesAt = kOpt64DirectoriesOffset;
  } else {
    return std::unexpected("unknown optional header magic");
  }
  if (optional.size() < directoriesAt) {
    return std::unexpected("optional header too small for its fields");
  }
  opt = optionalHeader.at(kOptInitializedDataOffset);
  image.initializedDataSize = opt.u32();
  opt = optionalHeader.at(kOptSectionAlignmentOffset);
  image.sectionAlignment = opt.u32();
  image.fileAlignment = opt.u32();
  opt = optionalHeader.at(kOptSizeOfImageOffset);
  image.sizeOfImage = opt.u32();
  image.sizeOfHeaders = opt.u32();
  opt = optionalHeader.at(countOffset);
  const std::uint32_t declared = opt.u32();
  // The loader trusts NumberOfRvaAndSizes; we also stop at the end of the optional header so
  // that a slot is never read from the section table.
  const std::size_t fitting = (optional.size() - directoriesAt) / kDirectorySize;
  image.directoryCount =
      static_cast<std::uint32_t>(std::min<std::size_t>({declared, kMaxDirectories, fitting}));
  opt = optionalHeader.at(directoriesAt);
  for (std::uint32_t i = 0; i < image.directoryCount; ++i) {
    DataDirectory d;
    d.rva = opt.u32();
    d.size = opt.u32();
    image.directories.push_back(d);
  }
  image.directoriesOffset = image.optionalHeaderOffset + directoriesAt;

  image.sectionTableOffset = image.optionalHeaderOffset + image.optionalHeaderSize;
  // Real images have a few dozen sections at most; the bound keeps every RVA lookup cheap.
  if (sectionCount > kMaxSections) {
    return std::unexpected("too many sections");
  }
  const std::size_t tableSize = std::size_t(sectionCount) * kSectionHeaderSize;
  auto table = whole.at(image.sectionTableOffset).bytes(tableSize);
  if (table.size() != tableSize) {
    return std::unexpected("section table runs past the end");
  }
  image.sections.reserve(sectionCount);
  for (std::uint16_t i = 0; i < sectionCount; ++i) {
    ByteCursor s(table.subspan(std::size_t(i) * kSectionHeaderSize, kSectionHeaderSize));
    Section section;
    section.headerOffset = image.sectionTableOffset + std::size_t(i) * kSectionHeaderSize;
    s.skip(kSectionVirtualSizeOffset);
    section.virtualSize = s.u32();
    section.virtualAddress = s.u32();
    section.rawSize = s.u32();
    section.rawPointer = s.u32();
    s.skip(kSectionCharacteristicsOffset - kSectionRawPointerOffset - 4);
    section.characteristics = s.u32();
    image.sections.push_back(section);
  }
  return image;
}

std::optional<std::span<const std::uint8_t>> mapRva(std::span<const std::uint8_t> file,
                                                    const Image& image, std::uint32_t rva,
                                                    std::uint32_t size) {
  for (const Section& s : image.sections) {
    if (rva < s.virtualAddress) continue;
    const std::uint32_t delta = rva - s.virtualAddress;
    const std::uint32_t backed = s.fileBackedSize();
    if (delta > backed || size > backed - delta) continue;
    const std::uint64_t offset = std::uint64_t(s.rawPointer) + delta;
    if (offset > file.size() || size > file.size() - offset) return std::nullopt;
    return file.subspan(static_cast<std::size_t>(offset), size);
  }
  return std::nullopt;
}

std::optional<std::span<const std::uint8_t>> mapRvaToSectionEnd(std::span<const std::uint8_t> file,
                                                                const Image& image,
                                                                std::uint32_t rva) {
  for (const Section& s : image.sections) {
    if (rva < s.virtualAddress) continue;
    const std::uint32_t delta = rva - s.virtualAddress;
    const std::uint32_t backed = s.fileBackedSize();
    if (delta >= backed) continue;
    return mapRva(file, image, rva, backed - delta);
  }
  return std::nullopt;
}

}  // namespace zorv::pe
