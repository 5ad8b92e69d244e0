// The entries whose body is one LE32, "CPag" and "Rels": the record read through the cursor,
// the reasons that name the entry, and what a package's texts are read in.
#include "package/code_page.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tools/writer/package_writer.h"
#include "tools/writer/records.h"

namespace zorv {
namespace {

TEST(CodePageRecord, IsExactlyOneLE32) {
  const struct {
    Bytes body;
    std::optional<std::uint32_t> number;
  } rows[] = {
      {{0xE3, 0x04, 0x00, 0x00}, 1251u},  // 1251 = 0x04E3
      {{0xE4, 0x04, 0x00, 0x00}, 1252u},
      {{0xB5, 0x01, 0x00, 0x00}, 437u},  // a number; whether the tools know it is theirs to say
      {{0xE3, 0x04, 0x00}, std::nullopt},
      {{0xE3, 0x04, 0x00, 0x00, 0x00}, std::nullopt},
      {{}, std::nullopt},
  };
  for (const auto& r : rows) EXPECT_EQ(parseCodePageRecord(r.body), r.number) << r.body.size();
}

// A package of an "AppN" entry and what `add` writes after it.
Bytes packageWith(const std::function<void(PackageWriter&)>& add) {
  PackageWriter w;
  w.addEntry(kTagAppName, "Application", nameRecord("Demo"));
  add(w);
  return w.finish().value();
}

TEST(PackageCodePage, TheFirstEntryOr1252) {
  const struct {
    const char* what;
    std::function<void(PackageWriter&)> add;
    std::optional<std::uint32_t> codePage;
  } rows[] = {
      {"no entry", [](PackageWriter&) {}, 1252u},
      {"1251", [](PackageWriter& w) { w.addEntry(kTagCodePage, "CodePage", codePageRecord(1251)); },
       1251u},
      {"the first of two",
       [](PackageWriter& w) {
         w.addEntry(kTagCodePage, "CodePage", codePageRecord(1251));
         w.addEntry(kTagCodePage, "CodePage", codePageRecord(1252));
       },
       1251u},
      {"a short record",
       [](PackageWriter& w) { w.addEntry(kTagCodePage, "CodePage", Bytes{0xE3}); }, std::nullopt},
      {"inline", [](PackageWriter& w) { w.addInline(kTagCodePage, "CodePage", 1251, 1251); },
       std::nullopt},
  };
  for (const auto& r : rows) {
    const Bytes bytes = packageWith(r.add);
    auto pkg = openPackage(bytes);
    ASSERT_TRUE(pkg) << r.what;
    std::string why;
    EXPECT_EQ(packageCodePage(*pkg, &why), r.codePage) << r.what;
    EXPECT_EQ(why.empty(), r.codePage.has_value()) << r.what << ": " << why;
  }
}

TEST(NumberEntry, TheNumberOrWhyNot) {
  const struct {
    const char* what;
    std::function<void(PackageWriter&)> add;
    std::optional<std::uint32_t> number;
    const char* why;
  } rows[] = {
      {"a release of the user scope",
       [](PackageWriter& w) {
         w.addEntry(kTagRelease, "Release", releaseRecord(kReleaseFeatures | kReleaseUserScope));
       },
       3u, ""},
      {"three bytes",
       [](PackageWriter& w) {
         w.addEntry(kTagRelease, "Release", Bytes{1, 0, 0});
       },
       std::nullopt, "its \"Rels\" entry is 3 bytes, not 4"},
      {"eight bytes",
       [](PackageWriter& w) {
         w.addEntry(kTagRelease, "Release", Bytes{1, 0, 0, 0, 0, 0, 0, 0});
       },
       std::nullopt, "its \"Rels\" entry is 8 bytes, not 4"},
      {"inline", [](PackageWriter& w) { w.addInline(kTagRelease, "Release", 1, 1); }, std::nullopt,
       "its \"Rels\" entry has no body"},
      {"another tag", [](PackageWriter& w) { w.addEntry(kTagCodePage, "CodePage", Bytes{}); },
       std::nullopt, "its \"CPag\" entry is 0 bytes, not 4"},
  };
  for (const auto& r : rows) {
    const Bytes bytes = packageWith(r.add);
    auto pkg = openPackage(bytes);
    ASSERT_TRUE(pkg) << r.what;
    const NumberEntry entry = readNumberEntry(*pkg, 1);
    EXPECT_EQ(entry.number, r.number) << r.what;
    EXPECT_EQ(entry.why, r.why) << r.what;
  }
}

}  // namespace
}  // namespace zorv
