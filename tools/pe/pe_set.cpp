// Writing a stub with a new resource: the resource section is rebuilt from the stub's own
// resources plus the new one, and the headers are brought in line with it.
#include "tools/pe/pe_resources.h"

#include <algorithm>
#include <cstring>

#include "tools/pe/pe_checksum.h"
#include "tools/pe/pe_image.h"
#include "tools/pe/resource_section.h"
#include "tools/pe/resource_tree.h"

namespace zorv {

namespace {

using pe::alignUp;
using pe::Image;
using pe::Section;

constexpr std::uint16_t kLanguageNeutral = 0;
constexpr char kResourceSectionName[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};

bool isPowerOfTwo(std::uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

// What we rewrite must be an image the Windows loader would take as it stands: the layout
// rules below are the ones the rebuilt file relies on.
std::expected<void, std::string> checkStub(std::span<const std::uint8_t> stub, const Image& img) {
  if (img.magic != pe::kMagicPe32 || img.machine != pe::kMachineI386)
    return std::unexpected("stub is not a 32-bit i386 (PE32) image");
  if (!(img.characteristics & pe::kFileExecutableImage))
    return std::unexpected("stub is not marked as an executable image");
  if (!isPowerOfTwo(img.fileAlignment) || img.fileAlignment < 512 || img.fileAlignment > 65536 ||
      !isPowerOfTwo(img.sectionAlignment) || img.sectionAlignment < img.fileAlignment)
    return std::unexpected("stub has unusual file or section alignment");
  if (img.sizeOfHeaders > stub.size()) return std::unexpected("stub headers run past the end");
  // Every header we rewrite lies before the end of the section table; the rebuilt file keeps
  // only the stub's bytes before its sections' data, so the table must end inside
  // SizeOfHeaders (which every section's data follows, as checked below).
  const std::uint64_t tableEnd =
      std::uint64_t(img.sectionTableOffset) + img.sections.size() * pe::kSectionHeaderSize;
  if (tableEnd > img.sizeOfHeaders)
    return std::unexpected(
        "stub's headers and section table do not lie inside SizeOfHeaders, "
        "before its sections' data");
  if (img.directoryCount <= pe::kDirectoryResource)
    return std::unexpected("stub's optional header has no resource directory slot");
  for (const Section& s : img.sections) {
    if (s.rawSize != 0 &&
        (s.rawPointer < img.sizeOfHeaders || std::uint64_t(s.rawPointer) + s.rawSize > stub.size()))
      return std::unexpected("a section's file data lies outside the file");
    if (std::uint64_t(s.virtualAddress) + alignUp(s.virtualSpan(), img.sectionAlignment) >
        0xFFFFFFFFull)
      return std::unexpected("a section runs past the 32-bit address space");
  }
  return {};
}

// The index of the section holding the resource directory, if any.
std::optional<std::size_t> resourceSectionIndex(const Image& img) {
  const pe::DataDirectory d = img.directory(pe::kDirectoryResource);
  if (d.rva == 0 || d.size == 0) return std::nullopt;
  for (std::size_t i = 0; i < img.sections.size(); ++i) {
    const Section& s = img.sections[i];
    if (d.rva >= s.virtualAddress && d.rva - s.virtualAddress < s.virtualSpan()) return i;
  }
  return std::nullopt;
}

// The old section can be rebuilt where it is only when nothing follows it, in the table, in
// the address space or in the file.
bool canRebuildInPlace(const Image& img, std::size_t index) {
  if (index + 1 != img.sections.size()) return false;
  const Section& r = img.sections[index];
  if (r.rawSize == 0) return false;
  for (std::size_t i = 0; i < index; ++i) {
    const Section& s = img.sections[i];
    if (s.virtualAddress >= r.virtualAddress) return false;
    if (s.rawSize != 0 && std::uint64_t(s.rawPointer) + s.rawSize > r.rawPointer) return false;
  }
  return true;
}

// A new section header goes after the last one, in the padding of the headers, which must be
// free: before the first section's data and inside SizeOfHeaders, and all zeros.
bool roomForSectionHeader(std::span<const std::uint8_t> stub, const Image& img) {
  const std::uint64_t at = img.sectionTableOffset + img.sections.size() * pe::kSectionHeaderSize;
  std::uint64_t limit = img.sizeOfHeaders;
  for (const Section& s : img.sections) {
    if (s.rawSize != 0) limit = std::min<std::uint64_t>(limit, s.rawPointer);
  }
  if (at + pe::kSectionHeaderSize > limit) return false;
  auto slot = stub.subspan(static_cast<std::size_t>(at), pe::kSectionHeaderSize);
  return std::all_of(slot.begin(), slot.end(), [](std::uint8_t b) { return b == 0; });
}

// The stub's resources with (type, id) replaced, added or removed.
void applyEdit(std::vector<pe::ResourceItem>& items, const pe::ResourceKey& type,
               const PeResourceEdit& edit) {
  const pe::ResourceKey name{false, edit.id, {}};
  std::uint16_t language = edit.language;
  auto matches = [&](const pe::ResourceItem& item) {
    return pe::sameKey(item.type, type) && pe::sameKey(item.name, name);
  };
  auto first = std::find_if(items.begin(), items.end(), matches);
  pe::ResourceKey storedType = type;
  if (first != items.end()) {
    language = first->language;
    storedType = first->type;  // keep the stub's spelling of the name
  }
  std::erase_if(items, matches);
  if (!edit.remove)
    items.push_back({storedType, name, language, 0, edit.data, edit.deferred, edit.deferredSize});
}

void storeAt(std::vector<std::uint8_t>& out, std::size_t offset, std::uint32_t v) {
  storeLE32(&out[offset], v);
}

// The section's data starts on a page of the file: a loader can then map it as it stands
// instead of copying it (Wine copies any section whose file offset is not page aligned,
// which for a setup carrying a large package is a copy of the whole package at start-up).
constexpr std::uint64_t kLoaderPage = 4096;

// Where the rebuilt section goes: over the old one when it is last, else after everything.
struct Placement {
  std::optional<std::size_t> replaced;  // the old section rebuilt in place
  std::uint64_t keptBytes = 0;          // the stub's bytes that are copied
  std::uint64_t rawStart = 0;           // file offset of the new section
  std::uint32_t rva = 0;
};

std::expected<Placement, std::string> choosePlacement(std::span<const std::uint8_t> stub,
                                                      const Image& img) {
  Placement p;
  const auto oldIndex = resourceSectionIndex(img);
  if (oldIndex && canRebuildInPlace(img, *oldIndex)) {
    const Section& r = img.sections[*oldIndex];
    p.replaced = oldIndex;
    p.keptBytes = r.rawPointer;
    p.rawStart = alignUp(r.rawPointer, std::max<std::uint64_t>(img.fileAlignment, kLoaderPage));
    p.rva = r.virtualAddress;
    return p;
  }
  if (!roomForSectionHeader(stub, img))
    return std::unexpected("stub's headers have no room for another section");
  std::uint64_t rawEnd = img.sizeOfHeaders;
  std::uint64_t virtualEnd = alignUp(img.sizeOfHeaders, img.sectionAlignment);
  for (const Section& s : img.sections) {
    if (s.rawSize != 0)
      rawEnd = std::max<std::uint64_t>(rawEnd, std::uint64_t(s.rawPointer) + s.rawSize);
    virtualEnd = std::max<std::uint64_t>(
        virtualEnd, s.virtualAddress + alignUp(s.virtualSpan(), img.sectionAlignment));
  }
  if (virtualEnd > 0xFFFFFFFFull) return std::unexpected("no address space left for a new section");
  p.keptBytes = rawEnd;
  p.rawStart = alignUp(rawEnd, std::max<std::uint64_t>(img.fileAlignment, kLoaderPage));
  p.rva = static_cast<std::uint32_t>(virtualEnd);
  return p;
}

// Writes the section's header (a new one after the table, or the old one's sizes) and brings
// the file and optional headers in line; the checksum field is left zero, for the sum over the
// finished file. Returns the checksum field's offset.
std::size_t updateHeaders(std::vector<std::uint8_t>& out, const Image& img, const Placement& p,
                          std::uint32_t sectionSize, std::uint32_t rawSize) {
  const std::size_t fileHeader = img.fileHeaderOffset;
  const std::size_t opt = img.optionalHeaderOffset;
  std::uint64_t initializedData = img.initializedDataSize;
  std::size_t header = 0;
  if (p.replaced) {
    const Section& r = img.sections[*p.replaced];
    header = r.headerOffset;
    if (r.characteristics & pe::kSectionInitializedData)
      initializedData = initializedData >= r.rawSize ? initializedData - r.rawSize : 0;
  } else {
    header = img.sectionTableOffset + img.sections.size() * pe::kSectionHeaderSize;
    std::memcpy(&out[header + pe::kSectionNameOffset], kResourceSectionName, 8);
    storeAt(out, header + pe::kSectionVirtualAddressOffset, p.rva);
    storeAt(out, header + pe::kSectionCharacteristicsOffset,
            pe::kSectionInitializedData | pe::kSectionMemRead);
    storeLE16(&out[fileHeader + pe::kFileSectionCountOffset],
              static_cast<std::uint16_t>(img.sections.size() + 1));
  }
  storeAt(out, header + pe::kSectionRawPointerOffset, std::uint32_t(p.rawStart));
  storeAt(out, header + pe::kSectionVirtualSizeOffset, sectionSize);
  storeAt(out, header + pe::kSectionRawSizeOffset, rawSize);
  initializedData = std::min<std::uint64_t>(initializedData + rawSize, 0xFFFFFFFF);
  storeAt(out, opt + pe::kOptInitializedDataOffset, std::uint32_t(initializedData));

  // COFF symbols, when a linker left them, lived after the sections and are gone.
  storeAt(out, fileHeader + pe::kFileSymbolTableOffset, 0);
  storeAt(out, fileHeader + pe::kFileSymbolCountOffset, 0);

  std::uint64_t sizeOfImage = alignUp(std::uint64_t(p.rva) + sectionSize, img.sectionAlignment);
  for (std::size_t i = 0; i < img.sections.size(); ++i) {
    if (p.replaced == i) continue;
    const Section& s = img.sections[i];
    sizeOfImage = std::max<std::uint64_t>(
        sizeOfImage, s.virtualAddress + alignUp(s.virtualSpan(), img.sectionAlignment));
  }
  storeAt(out, opt + pe::kOptSizeOfImageOffset, std::uint32_t(sizeOfImage));

  const std::size_t resource = img.directoriesOffset + pe::kDirectoryResource * pe::kDirectorySize;
  storeAt(out, resource, p.rva);
  storeAt(out, resource + 4, sectionSize);
  // The signature went with the overlay; the directory must not point at it.
  if (img.directoryCount > pe::kDirectorySecurity) {
    const std::size_t security =
        img.directoriesOffset + pe::kDirectorySecurity * pe::kDirectorySize;
    storeAt(out, security, 0);
    storeAt(out, security + 4, 0);
  }
  const std::size_t checksum = opt + pe::kOptChecksumOffset;
  storeAt(out, checksum, 0);
  return checksum;
}

}  // namespace

std::expected<std::vector<std::uint8_t>, std::string> setPeResource(
    std::span<const std::uint8_t> stub, std::string_view type, std::uint16_t id,
    std::span<const std::uint8_t> data) {
  const PeResourceEdit edit{std::string(type), id, data, kLanguageNeutral, false};
  return editPeResources(stub, {&edit, 1});
}

std::expected<SplitPeImage, std::string> editPeResourcesSplit(
    std::span<const std::uint8_t> stub, std::span<const PeResourceEdit> edits) {
  auto img = pe::parseImage(stub);
  if (!img) return std::unexpected(std::move(img.error()));
  if (auto fit = checkStub(stub, *img); !fit) return std::unexpected(std::move(fit.error()));
  // The keys view these, one per edit, for as long as the section is being built.
  std::vector<std::vector<std::uint8_t>> typeStorage(edits.size());
  std::vector<pe::ResourceKey> typeKeys;
  for (std::size_t i = 0; i < edits.size(); ++i) {
    auto typeKey = pe::keyFromText(edits[i].type, typeStorage[i]);
    if (!typeKey) return std::unexpected("resource type must be an ASCII name or #number");
    if (edits[i].id == 0) return std::unexpected("resource id 0 cannot be looked up");
    typeKeys.push_back(*typeKey);
  }
  auto items = pe::readResourceItems(stub, *img);
  if (!items) return std::unexpected("stub's resources are damaged: " + items.error());
  for (std::size_t i = 0; i < edits.size(); ++i) applyEdit(*items, typeKeys[i], edits[i]);
  auto placement = choosePlacement(stub, *img);
  if (!placement) return std::unexpected(std::move(placement.error()));
  auto section = pe::buildSplitResourceSection(std::move(*items), placement->rva);
  if (!section) return std::unexpected(std::move(section.error()));
  const std::uint64_t rawSize = alignUp(section->size(), img->fileAlignment);
  const std::uint64_t imageEnd =
      alignUp(std::uint64_t(placement->rva) + section->size(), img->sectionAlignment);
  if (placement->rawStart + rawSize > 0xFFFFFFFFull || imageEnd > 0xFFFFFFFFull)
    return std::unexpected("image would exceed 4 GiB");

  // Everything before the new section is kept; anything after the last section (an overlay,
  // a signature) is dropped.
  SplitPeImage split;
  split.holeAt = placement->rawStart + section->holeAt;
  split.holeSize = section->holeSize;
  std::vector<std::uint8_t>& out = split.bytes;
  out.assign(static_cast<std::size_t>(placement->rawStart + rawSize - section->holeSize), 0);
  std::copy_n(stub.begin(), static_cast<std::size_t>(placement->keptBytes), out.begin());
  std::copy(section->bytes.begin(), section->bytes.end(),
            out.begin() + std::ptrdiff_t(placement->rawStart));
  split.checksumOffset =
      updateHeaders(out, *img, *placement, std::uint32_t(section->size()), std::uint32_t(rawSize));
  return split;
}

std::expected<std::vector<std::uint8_t>, std::string> editPeResources(
    std::span<const std::uint8_t> stub, std::span<const PeResourceEdit> edits) {
  if (std::any_of(edits.begin(), edits.end(), [](const PeResourceEdit& e) { return e.deferred; }))
    return std::unexpected("a resource's bytes are missing");
  auto split = editPeResourcesSplit(stub, edits);
  if (!split) return std::unexpected(std::move(split.error()));
  std::vector<std::uint8_t>& out = split->bytes;
  storeAt(out, split->checksumOffset, pe::imageChecksum(out, split->checksumOffset));
  return std::move(out);
}

}  // namespace zorv
