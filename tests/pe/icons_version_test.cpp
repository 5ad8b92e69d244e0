// The .ico reader, icon groups and the version resource: round trips, hand-checked offsets,
// and tables of damaged bytes that must be refused with a reason.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/pe/pe_test_image.h"
#include "tools/pe/icons.h"
#include "tools/pe/version_info.h"

namespace zorv {
namespace {

using Bytes = std::vector<std::uint8_t>;
using pe_test::put16;
using pe_test::put32;

// An .ico file with a 16 x 16 DIB image and a 32 x 32 PNG one, the PNG stored first.
// 0: ICONDIR; 6: entry 1 (DIB at 54, 48 bytes); 22: entry 2 (PNG at 38, 16 bytes);
// 38: the PNG; 54: the DIB.
Bytes twoImageIcon() {
  Bytes b(38, 0);
  put16(b, 2, 1);
  put16(b, 4, 2);
  b[6] = 16, b[7] = 16, b[8] = 0;
  put16(b, 10, 1), put16(b, 12, 32), put32(b, 14, 48), put32(b, 18, 54);
  b[22] = 32, b[23] = 32, b[24] = 16;
  put16(b, 26, 1), put16(b, 28, 4), put32(b, 30, 16), put32(b, 34, 38);
  const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 1, 2, 3, 4, 5, 6, 7, 8};
  b.insert(b.end(), png.begin(), png.end());
  Bytes dib = pe_test::patternBytes(48, 3);
  put32(dib, 0, 40);
  b.insert(b.end(), dib.begin(), dib.end());
  return b;
}

TEST(IconFile, ReadsEveryImageWhereverItLies) {
  const Bytes file = twoImageIcon();
  auto images = parseIconFile(file);
  ASSERT_TRUE(images) << images.error();
  ASSERT_EQ(images->size(), 2u);
  EXPECT_EQ((*images)[0].width, 16);
  EXPECT_EQ((*images)[0].bitCount, 32);
  EXPECT_EQ((*images)[0].bytes, Bytes(file.begin() + 54, file.end()));
  EXPECT_EQ((*images)[1].colorCount, 16);
  EXPECT_EQ((*images)[1].bytes, Bytes(file.begin() + 38, file.begin() + 54));

  // The group names each image by id and declares its size; 6 + 2 x 14 bytes.
  const std::uint16_t ids[] = {7, 2};
  const Bytes group = iconGroupBytes(*images, ids);
  ASSERT_EQ(group.size(), 34u);
  EXPECT_EQ(pe_test::get16(group, 4), 2);
  EXPECT_EQ(pe_test::get32(group, 6 + 8), 48u);  // the first image's size
  EXPECT_EQ(pe_test::get16(group, 6 + 12), 7);   // and its id
  auto entries = parseIconGroup(group);
  ASSERT_TRUE(entries) << entries.error();
  ASSERT_EQ(entries->size(), 2u);
  EXPECT_EQ((*entries)[1].id, 2);
  EXPECT_EQ((*entries)[1].bytes, 16u);
  EXPECT_EQ((*entries)[1].width, 32);
}

struct Damage {
  const char* what;
  std::function<void(Bytes&)> apply;
  const char* reason;  // a part of the message
};

TEST(IconFile, RefusesWhatIsNotAnIconWithAllItsImages) {
  const Damage rows[] = {
      {"empty file", [](Bytes& b) { b.clear(); }, "shorter than an icon directory"},
      {"five bytes", [](Bytes& b) { b.resize(5); }, "shorter than an icon directory"},
      {"a cursor", [](Bytes& b) { put16(b, 2, 2); }, "a cursor"},
      {"reserved field set", [](Bytes& b) { put16(b, 0, 1); }, "does not start with"},
      {"no image", [](Bytes& b) { put16(b, 4, 0); }, "holds no image"},
      {"count past the file", [](Bytes& b) { put16(b, 4, 7); }, "runs past the end"},
      {"count of 65535", [](Bytes& b) { put16(b, 4, 0xFFFF); }, "runs past the end"},
      {"empty image", [](Bytes& b) { put32(b, 14, 0); }, "image 1 of 2 is empty"},
      {"one byte past the end", [](Bytes& b) { put32(b, 14, 49); }, "lies outside the file"},
      {"offset past the end", [](Bytes& b) { put32(b, 34, 103); }, "image 2 of 2"},
      // 0xFFFFFFF0 + 0x20 wraps to 0x10 in 32 bits; the sum is taken in 64.
      {"offset and size that wrap", [](Bytes& b) { put32(b, 30, 0x20), put32(b, 34, 0xFFFFFFF0); },
       "lies outside the file"},
      {"size of 4 GB", [](Bytes& b) { put32(b, 14, 0xFFFFFFFF); }, "lies outside the file"},
      {"neither DIB nor PNG", [](Bytes& b) { put32(b, 54, 12); }, "neither a bitmap"},
      {"a DIB header cut short", [](Bytes& b) { put32(b, 14, 20); }, "neither a bitmap"},
      {"a broken PNG signature", [](Bytes& b) { b[39] = 'p'; }, "neither a bitmap"},
      // Each entry's range is copied: ranges that share bytes would multiply them.
      {"two entries naming one image", [](Bytes& b) { put32(b, 30, 48), put32(b, 34, 54); },
       "image 2 of 2 (48 bytes at offset 54) shares bytes with image 1 (48 bytes at offset 54)"},
      {"an image running into the next", [](Bytes& b) { put32(b, 30, 17); },
       "image 1 of 2 (48 bytes at offset 54) shares bytes with image 2 (17 bytes at offset 38)"},
      {"an image inside another", [](Bytes& b) { put32(b, 30, 8), put32(b, 34, 60); },
       "image 2 of 2 (8 bytes at offset 60) shares bytes with image 1"},
      {"an image over another", [](Bytes& b) { put32(b, 30, 64), put32(b, 34, 38); },
       "image 1 of 2 (48 bytes at offset 54) shares bytes with image 2 (64 bytes at offset 38)"},
      {"an image inside the directory", [](Bytes& b) { put32(b, 34, 37); },
       "image 2 of 2 (16 bytes at offset 37) starts inside the directory of 38 bytes"},
  };
  for (const Damage& row : rows) {
    SCOPED_TRACE(row.what);
    Bytes file = twoImageIcon();
    row.apply(file);
    const auto images = parseIconFile(file);
    ASSERT_FALSE(images);
    EXPECT_NE(images.error().find(row.reason), std::string::npos) << images.error();
  }
}

// An .ico file of `count` DIB images of `size` bytes each, laid one after the other, or with
// every entry naming the first one when `shared`.
Bytes iconOf(std::size_t count, std::size_t size, bool shared = false) {
  const std::size_t directory = 6 + 16 * count;
  Bytes b(directory, 0);
  put16(b, 2, 1);
  put16(b, 4, static_cast<std::uint16_t>(count));
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = shared ? directory : directory + i * size;
    put32(b, 6 + 16 * i + 8, static_cast<std::uint32_t>(size));
    put32(b, 6 + 16 * i + 12, static_cast<std::uint32_t>(at));
  }
  for (std::size_t i = 0; i < (shared ? 1 : count); ++i) {
    const std::size_t at = b.size();
    b.resize(at + size);
    put32(b, at, 40);
  }
  return b;
}

TEST(IconFile, KeepsToItsLimitsOfImagesAndBytes) {
  struct Row {
    const char* what;
    std::size_t count;
    std::size_t size;
    bool shared;
    const char* reason;  // a part of the message; none when the icon is read
  };
  const std::size_t cap = kMaxIconBytes;
  const Row rows[] = {
      {"the most images", kMaxIconImages, 40, false, nullptr},
      {"an image too many", kMaxIconImages + 1, 40, false,
       "it holds 65 images; an icon may hold at most 64"},
      {"the most bytes in one image", 1, cap, false, nullptr},
      {"the most bytes in four", 4, cap / 4, false, nullptr},
      {"a byte too many", 1, cap + 1, false, "its images hold 4194305 bytes; an icon may hold"},
      {"two bytes too many in two", 2, cap / 2 + 1, false, "its images hold 4194306 bytes"},
      // The icon that made a setup of 240 MB: every entry names one image of 62,000 bytes.
      {"every entry naming one image", 3875, 62000, true, "it holds 3875 images"},
      {"the most entries naming one image", kMaxIconImages, 62000, true,
       "image 2 of 64 (62000 bytes at offset 1030) shares bytes with image 1"},
      {"the least", 2, 40, true, "image 2 of 2 (40 bytes at offset 38) shares bytes with image 1"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const Bytes file = iconOf(row.count, row.size, row.shared);
    const auto images = parseIconFile(file);
    if (!row.reason) {
      ASSERT_TRUE(images) << images.error();
      ASSERT_EQ(images->size(), row.count);
      EXPECT_EQ(images->back().bytes.size(), row.size);
    } else {
      ASSERT_FALSE(images);
      EXPECT_NE(images.error().find(row.reason), std::string::npos) << images.error();
    }
  }
}

TEST(IconGroup, RefusesEntriesThatDoNotFillTheBody) {
  const std::uint16_t ids[] = {1, 2};
  const Bytes good = iconGroupBytes(*parseIconFile(twoImageIcon()), ids);
  const Damage rows[] = {
      {"a byte more", [](Bytes& b) { b.push_back(0); }, "bytes of entries for 2"},
      {"a byte less", [](Bytes& b) { b.pop_back(); }, "bytes of entries for 2"},
      {"count of 3", [](Bytes& b) { put16(b, 4, 3); }, "for 3 images"},
      {"no image", [](Bytes& b) { b.resize(6), put16(b, 4, 0); }, "holds no image"},
      {"a cursor group", [](Bytes& b) { put16(b, 2, 2); }, "a cursor"},
  };
  for (const Damage& row : rows) {
    SCOPED_TRACE(row.what);
    Bytes body = good;
    row.apply(body);
    const auto entries = parseIconGroup(body);
    ASSERT_FALSE(entries);
    EXPECT_NE(entries.error().find(row.reason), std::string::npos) << entries.error();
  }
}

VersionInfo sampleInfo() {
  VersionInfo v;
  v.fileVersion = {1, 2, 3, 0};
  v.productVersion = {1, 2, 3, 0};
  v.language = 0x0419;
  v.codePage = 1251;
  v.strings = {{"CompanyName", "Zorv \xD0\x94\xD0\xB5\xD0\xBC\xD0\xBE"},  // Cyrillic
               {"FileDescription", "Demo Setup"},
               {"LegalCopyright", "\xC2\xA9 2026"},
               {"Comments", ""},
               {"ProductName", "\xF0\x9F\x93\xA6 Demo"}};  // outside the BMP: a surrogate pair
  return v;
}

TEST(VersionResource, ReadsBackWhatItWrites) {
  const Bytes bytes = versionResourceBytes(sampleInfo());
  auto back = parseVersionResource(bytes);
  ASSERT_TRUE(back) << back.error();
  EXPECT_EQ(back->fileVersion, sampleInfo().fileVersion);
  EXPECT_EQ(back->productVersion, sampleInfo().productVersion);
  EXPECT_EQ(back->language, 0x0419);
  EXPECT_EQ(back->codePage, 1251);
  EXPECT_EQ(back->strings, sampleInfo().strings);
}

TEST(VersionResource, LaysOutTheRootAsWindowsReadsIt) {
  VersionInfo v;
  v.fileVersion = {1, 2, 3, 4};
  v.productVersion = {5, 6, 7, 8};
  v.strings = {{"A", "xy"}};
  const Bytes b = versionResourceBytes(v);
  EXPECT_EQ(pe_test::get16(b, 0), b.size()) << "the root spans the resource";
  EXPECT_EQ(pe_test::get16(b, 2), 52) << "its value is a VS_FIXEDFILEINFO";
  EXPECT_EQ(pe_test::get16(b, 4), 0) << "binary";
  EXPECT_EQ(b[6], 'V');
  EXPECT_EQ(pe_test::get16(b, 6 + 30), 0) << "VS_VERSION_INFO: 15 units and a NUL";
  // The key ends at 38; the value starts at the next multiple of 4.
  EXPECT_EQ(pe_test::get32(b, 40), 0xFEEF04BDu);
  EXPECT_EQ(pe_test::get32(b, 48), 0x00010002u) << "file version, most significant";
  EXPECT_EQ(pe_test::get32(b, 52), 0x00030004u);
  EXPECT_EQ(pe_test::get32(b, 56), 0x00050006u) << "product version";
  EXPECT_EQ(pe_test::get32(b, 72), 0x00040004u) << "VOS_NT_WINDOWS32";
  EXPECT_EQ(pe_test::get32(b, 76), 1u) << "VFT_APP";
  // StringFileInfo follows the 52 bytes at 92, and its table is 040904E4.
  EXPECT_EQ(pe_test::get16(b, 92 + 4), 1) << "text";
  EXPECT_EQ(b[92 + 6], 'S');
  const std::size_t table = 92 + 36;  // 6 + 30 bytes of key, already aligned
  EXPECT_EQ(std::string(b.begin() + table + 6, b.begin() + table + 22),
            std::string("0\0\x34\0\x30\0\x39\0\x30\0\x34\0E\0\x34\0", 16));
}

TEST(VersionResource, RefusesLengthsOutsideTheirParents) {
  // Offsets in sampleInfo's bytes: 0 root, 92 StringFileInfo, 128 its table, 152 the first
  // String ("CompanyName", key 24 bytes, value at 184).
  const Damage rows[] = {
      {"root longer than the resource", [](Bytes& b) { put16(b, 0, std::uint16_t(b.size() + 1)); },
       "does not lie inside its parent"},
      {"root shorter than a header", [](Bytes& b) { put16(b, 0, 5); },
       "does not lie inside its parent"},
      {"resource cut inside the header", [](Bytes& b) { b.resize(4); }, "runs past the end"},
      {"child longer than its parent", [](Bytes& b) { put16(b, 92, 0xF000); },
       "does not lie inside its parent"},
      {"string longer than its table",
       [](Bytes& b) { put16(b, 152, std::uint16_t(pe_test::get16(b, 128) - 24 + 1)); },
       "does not lie inside its parent"},
      {"key without its NUL", [](Bytes& b) { put16(b, 0, 20), b.resize(20); },
       "key does not end inside"},
      {"value past its node", [](Bytes& b) { put16(b, 152 + 2, 200); },
       "\"CompanyName\" runs past the end"},
      {"no fixed info", [](Bytes& b) { b.resize(40), put16(b, 0, 40), put16(b, 2, 0); },
       "no VS_FIXEDFILEINFO"},
      {"wrong signature", [](Bytes& b) { b[40] ^= 1; }, "no VS_FIXEDFILEINFO"},
      {"wrong root key", [](Bytes& b) { b[6] = 'X'; }, "not VS_VERSION_INFO"},
      {"type 2", [](Bytes& b) { put16(b, 92 + 4, 2); }, "has type 2"},
      {"table not in hex", [](Bytes& b) { b[128 + 6] = 'G'; }, "8 hex digits"},
  };
  const Bytes good = versionResourceBytes(sampleInfo());
  ASSERT_EQ(pe_test::get16(good, 152 + 6), 'C');
  for (const Damage& row : rows) {
    SCOPED_TRACE(row.what);
    Bytes bytes = good;
    row.apply(bytes);
    const auto info = parseVersionResource(bytes);
    ASSERT_FALSE(info);
    EXPECT_NE(info.error().find(row.reason), std::string::npos) << info.error();
  }
}

TEST(VersionResource, NumbersFromVersionTexts) {
  const struct {
    const char* text;
    VersionNumbers numbers;
    const char* suffix;
    const char* problem;  // a part of it, or "" for a version
  } rows[] = {
      {"1.2.3", {1, 2, 3, 0}, "", ""},
      {"10", {10, 0, 0, 0}, "", ""},
      {"2026.12.9.65535", {2026, 12, 9, 65535}, "", ""},
      {"2.5beta.7", {2, 5, 0, 0}, "beta.7", ""},
      {"2.0-beta", {2, 0, 0, 0}, "-beta", ""},
      {"1..2", {1, 0, 0, 0}, "..2", ""},
      {"1.2.", {1, 2, 0, 0}, ".", ""},
      {"", {}, "", "start with a number"},
      {"v2.0-beta", {}, "", "start with a number"},
      {" 1.2", {}, "", "start with a number"},
      {"2026.12.9.70000", {}, "", "70000, over 65535"},
      {"99999999999999999999.3", {}, "", "over 65535"},
      {"1.2.3.4.5", {}, "", "more than four"},
  };
  for (const auto& row : rows) {
    const ParsedVersion v = parseVersionText(row.text);
    if (*row.problem) {
      EXPECT_NE(v.problem.find(row.problem), std::string::npos) << row.text << ": " << v.problem;
      continue;
    }
    EXPECT_EQ(v.problem, "") << row.text;
    EXPECT_EQ(v.numbers, row.numbers) << row.text;
    EXPECT_EQ(v.suffix, row.suffix) << row.text;
  }
}

}  // namespace
}  // namespace zorv
