// Small synthetic PE32 i386 images for the resource tests, laid out at fixed offsets so that
// tests can damage chosen fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zorv::pe_test {

// Layout: the PE header right after the 64-byte DOS header, a 224-byte optional header,
// headers padded to 0x200, sections at 0x1000, 0x2000, 0x3000... in table order.
inline constexpr std::size_t kPeOffset = 0x40;
inline constexpr std::size_t kFileHeader = kPeOffset + 4;
inline constexpr std::size_t kOptionalHeader = kFileHeader + 20;
inline constexpr std::size_t kDirectories = kOptionalHeader + 96;
inline constexpr std::size_t kResourceDirectory = kDirectories + 2 * 8;
inline constexpr std::size_t kSecurityDirectory = kDirectories + 4 * 8;
inline constexpr std::size_t kSectionTable = kOptionalHeader + 224;
inline constexpr std::uint32_t kFileAlignment = 0x200;
inline constexpr std::uint32_t kSectionAlignment = 0x1000;
inline constexpr std::uint32_t kTextRva = 0x1000;
inline constexpr std::uint32_t kResourceRva = 0x2000;  // .rsrc follows .text
inline constexpr std::size_t kResourceRaw = 0x400;     // its file offset

struct TestResource {
  std::string type;  // a name, or "#n"
  std::string name;  // likewise
  std::uint16_t language = 0;
  std::uint32_t codePage = 0;
  std::vector<std::uint8_t> data;
};

struct TestImage {
  std::vector<TestResource> resources;
  // Hand-made resource section bytes, used instead of `resources` (section RVA kResourceRva).
  std::optional<std::vector<std::uint8_t>> rawResources;
  bool withResourceSection = true;
  bool relocAfterResources = false;   // a .reloc section after .rsrc
  std::vector<std::uint8_t> overlay;  // bytes after the last section
  bool certificateInOverlay = false;  // the security directory points at the overlay
  std::uint16_t machine = 0x014C;
  std::uint32_t sizeOfHeaders = 0x200;
};

std::vector<std::uint8_t> buildImage(const TestImage& desc);

// A stub like the setup stub: a dialog, an icon, an icon group, a manifest, version info and
// a named type, in several languages and code pages.
TestImage typicalStub();

// The image with its PE signature, file and optional headers and section table copied past
// the end of the file, behind the last section's data, and e_lfanew pointing there;
// SizeOfHeaders is left as it was. Readers follow e_lfanew anywhere, but a writer that keeps
// only the bytes before the sections' data would lose the headers it must rewrite.
std::vector<std::uint8_t> withHeadersAfterSections(std::vector<std::uint8_t> image);

// A hostile stub of that shape whose resource section is its last and shrinks when "SETUP"
// 101 is replaced by a few bytes: it holds a 4 KiB "SETUP" 101.
std::vector<std::uint8_t> headersAfterSectionsStub();

std::uint32_t get32(const std::vector<std::uint8_t>& b, std::size_t at);
std::uint16_t get16(const std::vector<std::uint8_t>& b, std::size_t at);
void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v);
void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v);

std::vector<std::uint8_t> patternBytes(std::size_t n, std::uint32_t seed);

}  // namespace zorv::pe_test
