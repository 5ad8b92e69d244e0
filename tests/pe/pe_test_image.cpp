#include "tests/pe/pe_test_image.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "tools/pe/pe_checksum.h"
#include "tools/pe/pe_image.h"
#include "tools/pe/resource_section.h"

namespace zorv::pe_test {

namespace {

using pe::alignUp;

std::vector<std::uint8_t> resourceSection(const TestImage& desc) {
  if (desc.rawResources) return *desc.rawResources;
  // Keys view these buffers, which must outlive the build.
  std::vector<std::vector<std::uint8_t>> storage(2 * desc.resources.size());
  std::vector<pe::ResourceItem> items;
  for (std::size_t i = 0; i < desc.resources.size(); ++i) {
    const TestResource& r = desc.resources[i];
    auto type = pe::keyFromText(r.type, storage[2 * i]);
    auto name = pe::keyFromText(r.name, storage[2 * i + 1]);
    if (!type || !name) throw std::invalid_argument("bad test resource key");
    items.push_back({*type, *name, r.language, r.codePage, r.data});
  }
  auto bytes = pe::buildResourceSection(items, kResourceRva);
  if (!bytes) throw std::runtime_error(bytes.error());
  return *bytes;
}

struct SectionSpec {
  const char* name;
  std::vector<std::uint8_t> raw;
  std::uint32_t characteristics;
};

}  // namespace

std::uint32_t get32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint32_t(b.at(at)) | std::uint32_t(b.at(at + 1)) << 8 |
         std::uint32_t(b.at(at + 2)) << 16 | std::uint32_t(b.at(at + 3)) << 24;
}
std::uint16_t get16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b.at(at) | b.at(at + 1) << 8);
}
void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + i) = std::uint8_t(v >> (8 * i));
}
void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
  b.at(at) = std::uint8_t(v);
  b.at(at + 1) = std::uint8_t(v >> 8);
}

std::vector<std::uint8_t> patternBytes(std::size_t n, std::uint32_t seed) {
  std::vector<std::uint8_t> out(n);
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& b : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = std::uint8_t(x);
  }
  return out;
}

std::vector<std::uint8_t> buildImage(const TestImage& desc) {
  std::vector<SectionSpec> sections;
  sections.push_back({".text", patternBytes(0x180, 1), 0x60000020});  // code, execute, read
  if (desc.withResourceSection) sections.push_back({".rsrc", resourceSection(desc), 0x40000040});
  if (desc.relocAfterResources) sections.push_back({".reloc", patternBytes(0x40, 2), 0x42000040});

  std::vector<std::uint8_t> b(desc.sizeOfHeaders, 0);
  b[0] = 'M';
  b[1] = 'Z';
  put32(b, 0x3C, kPeOffset);
  std::memcpy(&b[kPeOffset], "PE\0\0", 4);
  put16(b, kFileHeader + 0, desc.machine);
  put16(b, kFileHeader + 2, static_cast<std::uint16_t>(sections.size()));
  put16(b, kFileHeader + 16, 224);
  put16(b, kFileHeader + 18, 0x0102);  // executable, 32-bit
  put16(b, kOptionalHeader + 0, 0x010B);
  put32(b, kOptionalHeader + 16, kTextRva);  // entry point
  put32(b, kOptionalHeader + 28, 0x400000);  // image base
  put32(b, kOptionalHeader + 32, kSectionAlignment);
  put32(b, kOptionalHeader + 36, kFileAlignment);
  put16(b, kOptionalHeader + 40, 4);  // OS version 4.0
  put16(b, kOptionalHeader + 48, 4);  // subsystem version 4.0
  put32(b, kOptionalHeader + 60, desc.sizeOfHeaders);
  put16(b, kOptionalHeader + 68, 2);  // GUI
  put32(b, kOptionalHeader + 92, 16);

  std::uint32_t rva = kTextRva;
  std::uint32_t initialized = 0;
  for (std::size_t i = 0; i < sections.size(); ++i) {
    const SectionSpec& s = sections[i];
    const std::size_t header = kSectionTable + i * 40;
    const std::size_t raw = b.size();
    const std::size_t rawSize = alignUp(s.raw.size(), kFileAlignment);
    std::memcpy(&b[header], s.name, std::strlen(s.name));
    put32(b, header + 8, static_cast<std::uint32_t>(s.raw.size()));
    put32(b, header + 12, rva);
    put32(b, header + 16, static_cast<std::uint32_t>(rawSize));
    put32(b, header + 20, static_cast<std::uint32_t>(raw));
    put32(b, header + 36, s.characteristics);
    b.resize(raw + rawSize, 0);
    std::copy(s.raw.begin(), s.raw.end(), b.begin() + std::ptrdiff_t(raw));
    if (std::strcmp(s.name, ".rsrc") == 0) {
      put32(b, kResourceDirectory, rva);
      put32(b, kResourceDirectory + 4, static_cast<std::uint32_t>(s.raw.size()));
    }
    if (s.characteristics & 0x40) initialized += static_cast<std::uint32_t>(rawSize);
    rva += static_cast<std::uint32_t>(alignUp(s.raw.size(), kSectionAlignment));
  }
  put32(b, kOptionalHeader + 8, initialized);
  put32(b, kOptionalHeader + 56, rva);  // SizeOfImage
  if (desc.certificateInOverlay) {
    put32(b, kSecurityDirectory, static_cast<std::uint32_t>(b.size()));
    put32(b, kSecurityDirectory + 4, static_cast<std::uint32_t>(desc.overlay.size()));
  }
  b.insert(b.end(), desc.overlay.begin(), desc.overlay.end());
  put32(b, kOptionalHeader + 64, pe::imageChecksum(b, kOptionalHeader + 64));
  return b;
}

std::vector<std::uint8_t> withHeadersAfterSections(std::vector<std::uint8_t> b) {
  const std::size_t from = get32(b, 0x3C);
  const std::size_t length =
      4 + 20 + get16(b, from + 4 + 16) + std::size_t(get16(b, from + 4 + 2)) * 40;
  const std::size_t to = alignUp(b.size(), 8);
  b.resize(to + length, 0);
  std::copy_n(b.begin() + std::ptrdiff_t(from), length, b.begin() + std::ptrdiff_t(to));
  put32(b, 0x3C, static_cast<std::uint32_t>(to));
  const std::size_t checksum = to + 4 + 20 + 64;
  put32(b, checksum, pe::imageChecksum(b, checksum));
  return b;
}

std::vector<std::uint8_t> headersAfterSectionsStub() {
  TestImage t = typicalStub();
  t.resources.push_back({"SETUP", "#101", 0, 0, patternBytes(4096, 30)});
  return withHeadersAfterSections(buildImage(t));
}

TestImage typicalStub() {
  TestImage t;
  t.resources = {
      {"#5", "#101", 1033, 0, patternBytes(90, 10)},         // dialog
      {"#5", "#101", 1049, 1251, patternBytes(96, 11)},      // the same dialog in Russian
      {"#3", "#1", 1033, 0, patternBytes(1128, 12)},         // icon image
      {"#14", "#101", 1033, 0, patternBytes(20, 13)},        // icon group
      {"#14", "MAINICON", 1033, 0, patternBytes(20, 17)},    // a named icon group
      {"#24", "#1", 0, 0, patternBytes(140, 14)},            // manifest
      {"#16", "#1", 1049, 1251, patternBytes(700, 15)},      // version info
      {"BITMAPS", "#7", 1033, 1252, patternBytes(333, 16)},  // a named type
  };
  return t;
}

}  // namespace zorv::pe_test
