// Writing a resource into a stub and reading it back, as the package tools do.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/pe/pe_test_checks.h"
#include "tests/pe/pe_test_image.h"
#include "tools/pe/pe_checksum.h"
#include "tools/pe/pe_image.h"
#include "tools/pe/pe_resources.h"

namespace zorv {
namespace {

using pe_test::ResourceRow;
using Bytes = std::vector<std::uint8_t>;

Bytes setOrFail(const Bytes& stub, std::string_view type, std::uint16_t id, const Bytes& data) {
  auto out = setPeResource(stub, type, id, data);
  EXPECT_TRUE(out.has_value()) << out.error();
  return out.value_or(Bytes{});
}

Bytes findOrFail(const Bytes& image, std::string_view type, std::uint16_t id) {
  auto found = findPeResource(image, type, id);
  EXPECT_TRUE(found.has_value()) << found.error();
  return found ? Bytes(found->begin(), found->end()) : Bytes{};
}

std::size_t sectionCount(const Bytes& image) { return pe::parseImage(image)->sections.size(); }

// The stub's resources are either in its last section (rebuilt in place) or followed by a
// .reloc section (a new section is appended): both layouts must give the same resources.
class PeSetResource : public ::testing::TestWithParam<bool> {
 protected:
  Bytes stub() const {
    pe_test::TestImage t = pe_test::typicalStub();
    t.relocAfterResources = GetParam();
    return pe_test::buildImage(t);
  }
};

TEST_P(PeSetResource, AddsTheResourceAndKeepsEveryOtherOne) {
  const Bytes stub = this->stub();
  const Bytes payload = pe_test::patternBytes(5000, 7);
  const Bytes out = setOrFail(stub, "SETUP", 101, payload);
  pe_test::expectConsistentImage(out);
  EXPECT_EQ(findOrFail(out, "SETUP", 101), payload);

  std::vector<ResourceRow> expected = pe_test::snapshot(stub);
  expected.emplace_back("SETUP", "#101", 0, 0, payload);
  std::vector<ResourceRow> actual = pe_test::snapshot(out);
  std::sort(expected.begin(), expected.end());
  std::sort(actual.begin(), actual.end());
  EXPECT_EQ(actual, expected);
  EXPECT_EQ(sectionCount(out), sectionCount(stub) + (GetParam() ? 1 : 0));
}

TEST_P(PeSetResource, ReplacingTwiceKeepsOneCopyAndOneNewSection) {
  const Bytes once = setOrFail(stub(), "SETUP", 101, pe_test::patternBytes(3000, 1));
  const Bytes twice = setOrFail(once, "SETUP", 101, pe_test::patternBytes(3000, 2));
  const Bytes thrice = setOrFail(twice, "setup", 101, pe_test::patternBytes(100, 3));
  pe_test::expectConsistentImage(thrice);
  EXPECT_EQ(findOrFail(twice, "SETUP", 101), pe_test::patternBytes(3000, 2));
  EXPECT_EQ(findOrFail(thrice, "SETUP", 101), pe_test::patternBytes(100, 3));
  // Once the resources are last they are rebuilt where they are.
  EXPECT_EQ(sectionCount(thrice), sectionCount(once));
  EXPECT_EQ(twice.size(), once.size());
  EXPECT_LT(thrice.size(), twice.size());
  const auto list = listPeResources(thrice).value();
  EXPECT_EQ(std::count_if(list.begin(), list.end(),
                          [](const PeResourceInfo& r) { return r.type.toString() == "SETUP"; }),
            1);
}

// A loader maps a section that starts on a page of the file; one that does not, it copies.
TEST_P(PeSetResource, TheResourceSectionStartsOnAPageOfTheFile) {
  const Bytes out = setOrFail(this->stub(), "SETUP", 101, pe_test::patternBytes(5000, 7));
  const auto img = pe::parseImage(out);
  ASSERT_TRUE(img);
  const pe::DataDirectory d = img->directory(pe::kDirectoryResource);
  for (const pe::Section& s : img->sections)
    if (d.rva >= s.virtualAddress && d.rva - s.virtualAddress < s.virtualSpan())
      EXPECT_EQ(s.rawPointer % 4096, 0u);
}

TEST_P(PeSetResource, CarriesAResourceOfSeveralMegabytes) {
  const Bytes payload = pe_test::patternBytes(6 * 1024 * 1024 + 3, 9);
  const Bytes out = setOrFail(stub(), "SETUP", 101, payload);
  pe_test::expectConsistentImage(out);
  EXPECT_EQ(findOrFail(out, "SETUP", 101), payload);
}

TEST_P(PeSetResource, CarriesAnEmptyResource) {
  const Bytes out = setOrFail(stub(), "SETUP", 101, {});
  pe_test::expectConsistentImage(out);
  auto found = findPeResource(out, "SETUP", 101);
  ASSERT_TRUE(found.has_value()) << found.error();
  EXPECT_TRUE(found->empty());
}

TEST_P(PeSetResource, DropsOverlayAndSignature) {
  pe_test::TestImage t = pe_test::typicalStub();
  t.relocAfterResources = GetParam();
  t.overlay = pe_test::patternBytes(1000, 4);
  t.certificateInOverlay = true;
  const Bytes stub = pe_test::buildImage(t);
  const Bytes out = setOrFail(stub, "SETUP", 101, pe_test::patternBytes(10, 5));
  pe_test::expectConsistentImage(out);  // checks the security directory and the file's end
}

INSTANTIATE_TEST_SUITE_P(Layouts, PeSetResource, ::testing::Bool(), [](const auto& info) {
  return info.param ? "ResourcesThenReloc" : "ResourcesLast";
});

TEST(PeSetResourceKeys, NamesAreStoredUpperCaseAndFoundInAnyCase) {
  const Bytes out = setOrFail(pe_test::buildImage(pe_test::typicalStub()), "Setup", 101, {1, 2, 3});
  const auto list = listPeResources(out).value();
  ASSERT_TRUE(std::any_of(list.begin(), list.end(), [](const PeResourceInfo& r) {
    return r.type.named && r.type.text == "SETUP" && r.name == PeResourceKey{false, 101, ""};
  }));
  for (const char* spelling : {"SETUP", "setup", "SeTuP"})
    EXPECT_EQ(findOrFail(out, spelling, 101), (Bytes{1, 2, 3}));
  EXPECT_FALSE(findPeResource(out, "SETUPX", 101).has_value());
  EXPECT_FALSE(findPeResource(out, "SETU", 101).has_value());
  EXPECT_FALSE(findPeResource(out, "SETUP", 102).has_value());
}

TEST(PeSetResourceKeys, IntegerTypesAndOtherIds) {
  Bytes out = setOrFail(pe_test::buildImage(pe_test::typicalStub()), "#10", 7, {9});
  out = setOrFail(out, "SETUP", 65535, {8});
  pe_test::expectConsistentImage(out);
  EXPECT_EQ(findOrFail(out, "#10", 7), Bytes{9});
  EXPECT_EQ(findOrFail(out, "SETUP", 65535), Bytes{8});
  // The dialog's first language is the one found.
  EXPECT_EQ(findOrFail(out, "#5", 101), pe_test::patternBytes(90, 10));
  EXPECT_EQ(findOrFail(out, "bitmaps", 7), pe_test::patternBytes(333, 16));
}

TEST(PeSetResourceKeys, ReplacingKeepsTheLanguageOfTheFirstInstance) {
  pe_test::TestImage t = pe_test::typicalStub();
  t.resources.push_back({"SETUP", "#101", 1049, 1251, {1}});
  t.resources.push_back({"SETUP", "#101", 1033, 0, {2}});
  const Bytes out = setOrFail(pe_test::buildImage(t), "setup", 101, {3});
  std::vector<PeResourceInfo> setup;
  const auto list = listPeResources(out).value();
  for (const auto& r : list) {
    if (r.type.toString() == "SETUP") setup.push_back(r);
  }
  ASSERT_EQ(setup.size(), 1u);
  EXPECT_EQ(setup[0].language, 1033);  // languages are sorted: 1033 is the first instance
  EXPECT_EQ(setup[0].size, 1u);
}

TEST(PeEditResources, ReplacesRemovesAndAddsInOneRebuild) {
  const Bytes stub = pe_test::buildImage(pe_test::typicalStub());
  const Bytes version = pe_test::patternBytes(64, 40), icon = pe_test::patternBytes(30, 41);
  const PeResourceEdit edits[] = {
      {"#16", 1, version, 1033, false},  // replaced: keeps its language, 1049, code page 0
      {"#3", 1, {}, 0, true},            // removed
      {"#3", 2, icon, 1033, false},      // new: takes the language given
      {"#99", 5, {}, 0, true},           // removing what is not there changes nothing
      {"SETUP", 101, icon, 0, false},
  };
  auto out = editPeResources(stub, edits);
  ASSERT_TRUE(out) << out.error();
  pe_test::expectConsistentImage(*out);

  std::vector<ResourceRow> expected;
  for (ResourceRow& row : pe_test::snapshot(stub)) {
    if (std::get<0>(row) == "#3") continue;
    if (std::get<0>(row) == "#16") std::get<3>(row) = 0, std::get<4>(row) = version;
    expected.push_back(row);
  }
  expected.emplace_back("#3", "#2", 1033, 0, icon);
  expected.emplace_back("SETUP", "#101", 0, 0, icon);
  std::vector<ResourceRow> actual = pe_test::snapshot(*out);
  std::sort(expected.begin(), expected.end());
  std::sort(actual.begin(), actual.end());
  EXPECT_EQ(actual, expected);
  // One edit is what setPeResource makes.
  EXPECT_EQ(editPeResources(stub, std::span(edits).last(1)),
            setPeResource(stub, "SETUP", 101, icon));

  const PeResourceEdit bad[] = {{"#16", 1, version, 0, false}, {"#3", 0, icon, 0, false}};
  const auto refused = editPeResources(stub, bad);
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.error().find("id 0"), std::string::npos) << refused.error();
}

TEST(PeSetResourceKeys, StubWithoutResourcesGetsANewSection) {
  pe_test::TestImage t;
  t.withResourceSection = false;
  const Bytes stub = pe_test::buildImage(t);
  EXPECT_TRUE(listPeResources(stub).value().empty());
  const Bytes out = setOrFail(stub, "SETUP", 101, {4, 5});
  pe_test::expectConsistentImage(out);
  EXPECT_EQ(sectionCount(out), sectionCount(stub) + 1);
  EXPECT_EQ(findOrFail(out, "SETUP", 101), (Bytes{4, 5}));
}

struct Refusal {
  const char* what;
  void (*damage)(Bytes&);
  std::string_view type = "SETUP";
  std::uint16_t id = 101;
};

TEST(PeSetResourceRefuses, StubsAndKeysItCannotWrite) {
  using namespace pe_test;
  const Refusal rows[] = {
      {"not a PE file", [](Bytes& b) { b.assign(100, 'x'); }},
      {"PE32+ image", [](Bytes& b) { put16(b, kOptionalHeader, 0x020B); }},
      {"x64 machine", [](Bytes& b) { put16(b, kFileHeader, 0x8664); }},
      {"not executable", [](Bytes& b) { put16(b, kFileHeader + 18, 0x0100); }},
      {"odd file alignment", [](Bytes& b) { put32(b, kOptionalHeader + 36, 0x300); }},
      {"section alignment below file alignment",
       [](Bytes& b) { put32(b, kOptionalHeader + 32, 0x100); }},
      {"no resource directory slot", [](Bytes& b) { put32(b, kOptionalHeader + 92, 2); }},
      {"section data past the end", [](Bytes& b) { put32(b, kSectionTable + 40 + 16, 0x10000); }},
      {"section data inside the headers", [](Bytes& b) { put32(b, kSectionTable + 20, 0x100); }},
      {"headers longer than the file", [](Bytes& b) { put32(b, kOptionalHeader + 60, 0x100000); }},
      {"no free slot for a section header", [](Bytes& b) { b[kSectionTable + 3 * 40 + 5] = 1; }},
      {"damaged resource tree", [](Bytes& b) { put16(b, kResourceRaw + 12, 0xFFFF); }},
      {"id 0", [](Bytes&) {}, "SETUP", 0},
      {"empty type", [](Bytes&) {}, ""},
      {"non-ASCII type", [](Bytes&) {}, "S\xC9TUP"},
      {"type #0", [](Bytes&) {}, "#0"},
      {"type #65536", [](Bytes&) {}, "#65536"},
      {"type #12a", [](Bytes&) {}, "#12a"},
  };
  pe_test::TestImage t = pe_test::typicalStub();
  t.relocAfterResources = true;  // forces a new section, so the header slot matters
  const Bytes good = buildImage(t);
  ASSERT_TRUE(setPeResource(good, "SETUP", 101, Bytes{1}).has_value());
  for (const Refusal& row : rows) {
    SCOPED_TRACE(row.what);
    Bytes stub = good;
    row.damage(stub);
    const auto refused = setPeResource(stub, row.type, row.id, Bytes{1});
    ASSERT_FALSE(refused.has_value());
    EXPECT_FALSE(refused.error().empty());
  }
}

TEST(PeChecksum, FoldsCarriesSkipsItsFieldAndAddsTheLength) {
  // Words 0x0201 and 0xFFFF sum to 0x10200, folded to 0x0201; the field at 4 counts as zero;
  // the odd last byte adds 3; the length adds 9.
  const Bytes b = {0x01, 0x02, 0xFF, 0xFF, 0xAA, 0xBB, 0xCC, 0xDD, 0x03};
  EXPECT_EQ(pe::imageChecksum(b, 4), 0x020Du);
}

TEST(PeChecksum, FollowsTheBytesOfAnImage) {
  Bytes b = pe_test::buildImage(pe_test::typicalStub());
  const std::uint32_t stored = pe_test::get32(b, pe_test::kOptionalHeader + 64);
  EXPECT_EQ(computePeChecksum(b), stored);
  b[0x390] += 1;  // padding after .text: the low byte of a word
  EXPECT_EQ(computePeChecksum(b), stored + 1);
  b.push_back(0);  // only the length term changes
  EXPECT_EQ(computePeChecksum(b), stored + 2);
}

}  // namespace
}  // namespace zorv
