// Entries whose body is one LE32: the reasons name the entry, whatever its tag.
#include "package/number_entry.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tools/writer/package_writer.h"
#include "tools/writer/records.h"

namespace zorv {
namespace {

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
      {"three bytes", [](PackageWriter& w) { w.addEntry(kTagRelease, "Release", Bytes{1, 0, 0}); },
       std::nullopt, "its \"Rels\" entry is 3 bytes, not 4"},
      {"eight bytes",
       [](PackageWriter& w) { w.addEntry(kTagRelease, "Release", Bytes{1, 0, 0, 0, 0, 0, 0, 0}); },
       std::nullopt, "its \"Rels\" entry is 8 bytes, not 4"},
      {"inline", [](PackageWriter& w) { w.addInline(kTagRelease, "Release", 1, 1); },
       std::nullopt, "its \"Rels\" entry has no body"},
      {"another tag", [](PackageWriter& w) { w.addEntry(kTagCodePage, "CodePage", Bytes{}); },
       std::nullopt, "its \"CPag\" entry is 0 bytes, not 4"},
  };
  for (const auto& r : rows) {
    PackageWriter w;
    w.addEntry(kTagAppName, "Application", nameRecord("Demo"));
    r.add(w);
    const Bytes bytes = w.finish();
    auto pkg = openPackage(bytes);
    ASSERT_TRUE(pkg) << r.what;
    const NumberEntry entry = readNumberEntry(*pkg, 1);
    EXPECT_EQ(entry.number, r.number) << r.what;
    EXPECT_EQ(entry.why, r.why) << r.what;
  }
}

}  // namespace
}  // namespace zorv
