// Damaged and hostile images: every lookup must fail cleanly (or, where the damage is off its
// path, still succeed) without reading outside the bytes, looping or blowing up.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/pe/pe_test_image.h"
#include "tools/pe/pe_resources.h"

namespace zorv {
namespace {

using namespace pe_test;
using Bytes = std::vector<std::uint8_t>;

// A resource tree made by hand, section RVA 0x2000, with "SETUP"/101/language 0 = "DATA":
constexpr std::size_t kRoot = 0x00;        // table: 1 named entry (a spare id slot follows)
constexpr std::size_t kRootEntry0 = 0x10;  //   name -> string 0x60, data -> table 0x20
constexpr std::size_t kRootEntry1 = 0x18;  //   id 5, data -> table 0x20 (counted only when asked)
constexpr std::size_t kNameTable = 0x20;   // table: 1 id entry
constexpr std::size_t kNameEntry = 0x30;   //   id 101, data -> table 0x38
constexpr std::size_t kLangTable = 0x38;   // table: 1 id entry
constexpr std::size_t kLangEntry = 0x48;   //   id 0, data -> data entry 0x50
constexpr std::size_t kDataEntry = 0x50;   // RVA 0x2070, size 4, code page 0
constexpr std::size_t kString = 0x60;      // length 5, "SETUP" in UTF-16
constexpr std::size_t kData = 0x70;        // "DATA"
constexpr std::size_t kTreeSize = 0x74;
constexpr std::uint32_t kDir = 0x80000000;

Bytes handTree() {
  Bytes t(kTreeSize, 0);
  put16(t, kRoot + 12, 1);
  put32(t, kRootEntry0, kDir | kString);
  put32(t, kRootEntry0 + 4, kDir | kNameTable);
  put32(t, kRootEntry1, 5);
  put32(t, kRootEntry1 + 4, kDir | kNameTable);
  put16(t, kNameTable + 14, 1);
  put32(t, kNameEntry, 101);
  put32(t, kNameEntry + 4, kDir | kLangTable);
  put16(t, kLangTable + 14, 1);
  put32(t, kLangEntry, 0);
  put32(t, kLangEntry + 4, kDataEntry);
  put32(t, kDataEntry, kResourceRva + kData);
  put32(t, kDataEntry + 4, 4);
  put16(t, kString, 5);
  for (int i = 0; i < 5; ++i) t[kString + 2 + 2 * i] = std::uint8_t("SETUP"[i]);
  for (int i = 0; i < 4; ++i) t[kData + i] = std::uint8_t("DATA"[i]);
  return t;
}

Bytes imageWithTree(const std::function<void(Bytes&)>& damageTree) {
  TestImage desc;
  desc.rawResources = handTree();
  damageTree(*desc.rawResources);
  return buildImage(desc);
}

Bytes imageWithHeaders(const std::function<void(Bytes&)>& damage) {
  TestImage desc = typicalStub();
  desc.resources.push_back({"SETUP", "#101", 0, 0, {'D', 'A', 'T', 'A'}});
  Bytes b = buildImage(desc);
  damage(b);
  return b;
}

struct Case {
  const char* what;
  Bytes image;
  bool findOk;  // the damage is off the lookup's path
  bool listOk;
};

// .rsrc is the second section; its header fields, by offset.
constexpr std::size_t kRsrcHeader = kSectionTable + 40;

std::vector<Case> cases() {
  return {
      {"hand tree as made", imageWithTree([](Bytes&) {}), true, true},
      {"empty input", {}, false, false},
      {"MZ only", {'M', 'Z'}, false, false},
      {"DOS header cut at 63 bytes", imageWithHeaders([](Bytes& b) { b.resize(63); }), false,
       false},
      {"e_lfanew past the end", imageWithHeaders([](Bytes& b) { put32(b, 0x3C, 0x7FFFFFF0); }),
       false, false},
      {"e_lfanew wraps", imageWithHeaders([](Bytes& b) { put32(b, 0x3C, 0xFFFFFFFE); }), false,
       false},
      {"PE signature wrong", imageWithHeaders([](Bytes& b) { b[kPeOffset + 1] = 'X'; }), false,
       false},
      {"file header cut", imageWithHeaders([](Bytes& b) { b.resize(kFileHeader + 10); }), false,
       false},
      {"optional header longer than the file",
       imageWithHeaders([](Bytes& b) { put16(b, kFileHeader + 16, 0xFFFF); }), false, false},
      {"optional header too short for its fields",
       imageWithHeaders([](Bytes& b) { put16(b, kFileHeader + 16, 90); }), false, false},
      {"unknown optional header magic",
       imageWithHeaders([](Bytes& b) { put16(b, kOptionalHeader, 0x0107); }), false, false},
      {"section table past the end",
       imageWithHeaders([](Bytes& b) { put16(b, kFileHeader + 2, 900); }), false, false},
      {"too many sections", imageWithHeaders([](Bytes& b) { put16(b, kFileHeader + 2, 0xFFFF); }),
       false, false},
      // The slot is not there, so the image simply has no resources.
      {"no resource directory slot",
       imageWithHeaders([](Bytes& b) { put32(b, kOptionalHeader + 92, 2); }), false, true},
      {"resource RVA in no section",
       imageWithHeaders([](Bytes& b) { put32(b, kResourceDirectory, 0x9000); }), false, false},
      {"resource RVA at the top of memory",
       imageWithHeaders([](Bytes& b) { put32(b, kResourceDirectory, 0xFFFFFFFF); }), false, false},
      {"resource section data past the end",
       imageWithHeaders([](Bytes& b) { put32(b, kRsrcHeader + 20, 0xFFFFFE00); }), false, false},
      {"resource section sizes huge", imageWithHeaders([](Bytes& b) {
         put32(b, kRsrcHeader + 8, 0xFFFFFFFF);
         put32(b, kRsrcHeader + 16, 0xFFFFFFFF);
       }),
       false, false},
      {"file cut inside the tree",
       imageWithHeaders([](Bytes& b) { b.resize(kResourceRaw + 0x14); }), false, false},
      {"root counts run past the section",
       imageWithTree([](Bytes& t) { put16(t, kRoot + 14, 0xFFFF); }), false, false},
      {"name string offset past the end",
       imageWithTree([](Bytes& t) { put32(t, kRootEntry0, kDir | 0x7FFFFFF0); }), false, false},
      {"name string longer than the section",
       imageWithTree([](Bytes& t) { put16(t, kString, 0xFFFF); }), false, false},
      {"type table offset past the end",
       imageWithTree([](Bytes& t) { put32(t, kRootEntry0 + 4, kDir | 0x7FFFFFFF); }), false, false},
      {"type entry points at the root",
       imageWithTree([](Bytes& t) { put32(t, kRootEntry0 + 4, kDir | kRoot); }), false, false},
      {"name entry points at the root",
       imageWithTree([](Bytes& t) { put32(t, kNameEntry + 4, kDir | kRoot); }), false, false},
      {"language entry points at its own table",
       imageWithTree([](Bytes& t) { put32(t, kLangEntry + 4, kDir | kLangTable); }), false, false},
      {"type entry is a leaf",
       imageWithTree([](Bytes& t) { put32(t, kRootEntry0 + 4, kDataEntry); }), false, false},
      {"two types share one name table", imageWithTree([](Bytes& t) { put16(t, kRoot + 14, 1); }),
       true, false},
      {"a second root entry reads a table header as an entry",
       imageWithTree([](Bytes& t) { put16(t, kRoot + 12, 2); }), true, false},
      {"language given by name",
       imageWithTree([](Bytes& t) { put32(t, kLangEntry, kDir | kString); }), true, false},
      {"no language", imageWithTree([](Bytes& t) { put16(t, kLangTable + 14, 0); }), false, true},
      {"data entry offset past the end",
       imageWithTree([](Bytes& t) { put32(t, kLangEntry + 4, 0x7FFFFFF8); }), false, false},
      {"data RVA 0", imageWithTree([](Bytes& t) { put32(t, kDataEntry, 0); }), false, false},
      {"data RVA and size wrap", imageWithTree([](Bytes& t) {
         put32(t, kDataEntry, 0xFFFFFFF0);
         put32(t, kDataEntry + 4, 0x20);
       }),
       false, false},
      {"data size huge", imageWithTree([](Bytes& t) { put32(t, kDataEntry + 4, 0xFFFFFFFF); }),
       false, false},
      {"data runs past the section's virtual size",
       imageWithTree([](Bytes& t) { put32(t, kDataEntry, kResourceRva + kTreeSize - 2); }), false,
       false},
      {"data in the padding after the virtual size",
       imageWithTree([](Bytes& t) { put32(t, kDataEntry, kResourceRva + 0x100); }), false, false},
      // Readable, but no stub to write: its headers are not where the writer keeps bytes.
      {"PE headers and section table after the sections' data",
       withHeadersAfterSections(imageWithHeaders([](Bytes&) {})), true, true},
  };
}

TEST(PeMalformed, LookupsFailCleanly) {
  const Bytes payload = patternBytes(64, 3);
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.what);
    auto found = findPeResource(c.image, "SETUP", 101);
    EXPECT_EQ(found.has_value(), c.findOk) << (found ? "" : found.error());
    if (found) {
      EXPECT_EQ(std::string(found->begin(), found->end()), "DATA");
    } else {
      EXPECT_FALSE(found.error().empty());
    }
    const auto list = listPeResources(c.image);
    EXPECT_EQ(list.has_value(), c.listOk) << (list ? "" : list.error());
    if (!list) {
      EXPECT_FALSE(list.error().empty());
    }
    // Writing either refuses the stub or yields an image that reads back.
    auto written = setPeResource(c.image, "SETUP", 101, payload);
    if (written) {
      auto back = findPeResource(*written, "SETUP", 101);
      ASSERT_TRUE(back.has_value());
      EXPECT_TRUE(std::equal(back->begin(), back->end(), payload.begin(), payload.end()));
    }
  }
}

// The resource section is last and shrinks, so a writer that rebuilt it in place would write
// the headers it keeps past the end of its output.
TEST(PeMalformed, StubWithHeadersAfterItsSectionsIsRefused) {
  const Bytes stub = headersAfterSectionsStub();
  ASSERT_TRUE(findPeResource(stub, "SETUP", 101).has_value());
  const auto refused = setPeResource(stub, "SETUP", 101, Bytes{1, 2, 3});
  ASSERT_FALSE(refused.has_value());
  EXPECT_NE(refused.error().find("SizeOfHeaders"), std::string::npos) << refused.error();
}

TEST(PeMalformed, LooksLikePeOnlyForImages) {
  EXPECT_TRUE(looksLikePe(imageWithHeaders([](Bytes&) {})));
  EXPECT_FALSE(looksLikePe({}));
  EXPECT_FALSE(looksLikePe(imageWithHeaders([](Bytes& b) { b[kPeOffset] = 'N'; })));
  EXPECT_FALSE(looksLikePe(imageWithHeaders([](Bytes& b) { b.resize(kSectionTable + 10); })));
}

// Random damage to a valid image: byte flips in the headers and the resource section, and
// cuts. Nothing may crash (the sanitizers watch), and whatever is written must read back.
TEST(PeMalformed, RandomDamageNeverCrashes) {
  TestImage desc = typicalStub();
  desc.resources.push_back({"SETUP", "#101", 0, 0, patternBytes(40, 5)});
  const Bytes good = buildImage(desc);
  std::uint32_t x = 12345;
  auto next = [&] {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
  };
  const Bytes payload = {1, 2, 3};
  for (int round = 0; round < 3000; ++round) {
    Bytes b = good;
    const int flips = 1 + int(next() % 4);
    for (int i = 0; i < flips; ++i) {
      // Half the flips land in the headers, half in the resource section.
      const std::size_t at = next() % 2 ? next() % 0x200 : kResourceRaw + next() % 0x400;
      if (at < b.size()) b[at] = std::uint8_t(next());
    }
    if (next() % 8 == 0) b.resize(next() % b.size());
    (void)findPeResource(b, "SETUP", 101);
    (void)listPeResources(b);
    auto written = setPeResource(b, "SETUP", 101, payload);
    if (written) {
      auto back = findPeResource(*written, "SETUP", 101);
      ASSERT_TRUE(back.has_value()) << "round " << round << ": " << back.error();
      ASSERT_EQ(Bytes(back->begin(), back->end()), payload) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace zorv
