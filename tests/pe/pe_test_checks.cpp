#include "tests/pe/pe_test_checks.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tools/pe/pe_image.h"
#include "tools/pe/pe_resources.h"
#include "tools/pe/resource_tree.h"

namespace zorv::pe_test {

namespace {

using pe::alignUp;

std::string keyText(const pe::ResourceKey& k) {
  if (!k.named) return "#" + std::to_string(k.id);
  std::string s;
  for (std::size_t i = 0; i < k.length(); ++i) s += char(k.unit(i));
  return s;
}

// One table: named entries first, each count as declared, keys strictly ascending.
void expectSortedTable(std::span<const std::uint8_t> dir, std::uint32_t offset, int level) {
  auto entries = pe::readResourceDirectory(dir, offset);
  ASSERT_TRUE(entries.has_value());
  const std::uint16_t named = std::uint16_t(dir[offset + 12] | dir[offset + 13] << 8);
  for (std::size_t i = 0; i < entries->size(); ++i) {
    EXPECT_EQ((*entries)[i].key.named, i < named) << "entry " << i << " at level " << level;
    if (i > 0) {
      EXPECT_LT(pe::compareKeys((*entries)[i - 1].key, (*entries)[i].key), 0);
    }
    if (level < 2) expectSortedTable(dir, (*entries)[i].offset, level + 1);
  }
}

}  // namespace

std::vector<ResourceRow> snapshot(std::span<const std::uint8_t> image) {
  std::vector<ResourceRow> rows;
  auto img = pe::parseImage(image);
  EXPECT_TRUE(img.has_value());
  if (!img) return rows;
  auto items = pe::readResourceItems(image, *img);
  EXPECT_TRUE(items.has_value()) << items.error();
  if (!items) return rows;
  for (const auto& item : *items) {
    rows.emplace_back(keyText(item.type), keyText(item.name), item.language, item.codePage,
                      std::vector<std::uint8_t>(item.data.begin(), item.data.end()));
  }
  return rows;
}

void expectConsistentImage(const std::vector<std::uint8_t>& image) {
  auto img = pe::parseImage(image);
  ASSERT_TRUE(img.has_value()) << img.error();
  const std::size_t checksumAt = img->optionalHeaderOffset + pe::kOptChecksumOffset;
  const std::uint32_t stored = std::uint32_t(image[checksumAt]) | image[checksumAt + 1] << 8 |
                               image[checksumAt + 2] << 16 |
                               std::uint32_t(image[checksumAt + 3]) << 24;
  EXPECT_EQ(stored, computePeChecksum(image).value_or(0)) << "checksum";

  ASSERT_FALSE(img->sections.empty());
  std::uint64_t rawEnd = img->sizeOfHeaders;
  std::uint64_t virtualEnd = 0;
  for (const pe::Section& s : img->sections) {
    EXPECT_EQ(s.rawPointer % img->fileAlignment, 0u);
    EXPECT_EQ(s.rawSize % img->fileAlignment, 0u);
    EXPECT_EQ(s.virtualAddress % img->sectionAlignment, 0u);
    EXPECT_GE(s.virtualAddress, virtualEnd) << "sections overlap in memory";
    virtualEnd = s.virtualAddress + alignUp(s.virtualSpan(), img->sectionAlignment);
    if (s.rawSize)
      rawEnd = std::max<std::uint64_t>(rawEnd, std::uint64_t(s.rawPointer) + s.rawSize);
  }
  EXPECT_EQ(rawEnd, image.size()) << "bytes after the last section";
  EXPECT_EQ(img->sizeOfImage, virtualEnd);
  EXPECT_EQ(img->directory(pe::kDirectorySecurity).rva, 0u);
  EXPECT_EQ(img->directory(pe::kDirectorySecurity).size, 0u);
  EXPECT_EQ(loadLE32(&image[img->fileHeaderOffset + pe::kFileSymbolTableOffset]), 0u);

  const pe::DataDirectory res = img->directory(pe::kDirectoryResource);
  const pe::Section& last = img->sections.back();
  EXPECT_EQ(res.rva, last.virtualAddress) << "resources are not the last section";
  EXPECT_EQ(res.size, last.virtualSize);
  auto dir = pe::resourceDirectoryBytes(image, *img);
  ASSERT_TRUE(dir.has_value()) << dir.error();
  ASSERT_FALSE(dir->empty()) << "no resource directory";
  expectSortedTable(*dir, 0, 0);
}

}  // namespace zorv::pe_test
