#include <gtest/gtest.h>

#include "install/setup_state.h"
#include "tools/writer/package_writer.h"
#include "tools/writer/records.h"
#include "wizard/package_facts.h"
#include "wizard/page_texts.h"

namespace zorv {
namespace {

std::unique_ptr<Package> open(const std::vector<std::uint8_t>& bytes) {
  auto p = openPackage(bytes);
  EXPECT_TRUE(p);
  return p;
}

TEST(RecordText, RunsFromByteOneToTheNulOrTheEnd) {
  const std::uint8_t withNul[] = {99, 'T', 'o', 'o', 'l', 0, 'x'};
  const std::uint8_t withoutNul[] = {4, 'T', 'o'};
  const std::uint8_t countOnly[] = {1};
  EXPECT_EQ(recordText(withNul), "Tool");  // the count byte is not consulted
  EXPECT_EQ(recordText(withoutNul), "To");
  EXPECT_EQ(recordText(countOnly), "");
  EXPECT_EQ(recordText({}), "");
}

TEST(PackageFacts, NameAndSizeComeFromAppNAndSumC) {
  PackageWriter w;
  w.addInline(kTagSum, "", 2481773, 0);
  w.addEntry(kTagAppName, "", nameRecord("Tool"));
  auto bytes = w.finish().value();
  auto p = open(bytes);
  auto facts = readPackageFacts(*p);
  ASSERT_TRUE(facts);
  EXPECT_EQ(facts->appName, "Tool");
  EXPECT_EQ(facts->requiredBytes, 2481773u);
  EXPECT_EQ(p->cachedCount(1), 0);  // the name's body went back
}

TEST(PackageFacts, ANameOver79CharactersIsCut) {
  PackageWriter w;
  w.addEntry(kTagAppName, "", nameRecord(std::string(100, 'n')));
  w.addInline(kTagSum, "", 1, 0);
  auto bytes = w.finish().value();
  auto facts = readPackageFacts(*open(bytes));
  ASSERT_TRUE(facts);
  EXPECT_EQ(facts->appName, std::string(79, 'n'));
}

TEST(PackageFacts, EitherEntryMissingIsACorruptedSetup) {
  PackageWriter noName;
  noName.addInline(kTagSum, "", 1, 0);
  auto a = noName.finish().value();
  EXPECT_FALSE(readPackageFacts(*open(a)));

  PackageWriter noSum;
  noSum.addEntry(kTagAppName, "", nameRecord("Tool"));
  auto b = noSum.finish().value();
  EXPECT_FALSE(readPackageFacts(*open(b)));
}

TEST(PackageFacts, ANameThatCannotBeUnpackedIsACorruptedSetup) {
  PackageWriter w;
  const std::uint8_t garbage[] = {1, 2, 3, 4, 5, 6};
  w.addEntryAt(kTagAppName, "", w.addRaw(garbage, 40));  // claims to be packed, is not
  w.addInline(kTagSum, "", 1, 0);
  auto bytes = w.finish().value();
  EXPECT_FALSE(readPackageFacts(*open(bytes)));
}

TEST(PackageFacts, TheDefaultFolderIsOptional) {
  PackageWriter with;
  with.addEntry(kTagDefaultDir, "", nameRecord("D:\\Apps"));
  auto a = with.finish().value();
  EXPECT_EQ(readDefaultFolder(*open(a)).value_or("none"), "D:\\Apps");

  PackageWriter without;
  without.addEntry(kTagAppName, "", nameRecord("Tool"));
  auto b = without.finish().value();
  EXPECT_FALSE(readDefaultFolder(*open(b)));
}

TEST(PageTexts, TheControlsAreLabelledInTheirOrder) {
  std::vector<int> ids;
  for (const ControlText& c : pageControlTexts()) ids.push_back(c.control);
  using namespace control;
  EXPECT_EQ(ids, (std::vector<int>{kBrowse, kPlaceIcons, kRunAfterInstall, kDestinationFrame,
                                   kLanguageLabel, kFreeLabel, kNeedLabel, kNoSpaceWarning, kNext,
                                   kCancel}));
}

TEST(PageTexts, CaptionAndBrowseTitleArePrefixAndName) {
  EXPECT_EQ(pageCaption("Tool", kEnglish), " Install Tool");
  EXPECT_EQ(pageCaption("Tool", kRussian), "\xD3\xF1\xF2\xE0\xED\xEE\xE2\xEA\xE0 Tool");
  EXPECT_EQ(browseTitle("Tool", kEnglish), "for install Tool");
}

TEST(PageTexts, TheBrowseTitleIsCutTo79Characters) {
  std::string name(79, 'n');
  std::string russian = browseTitle(name, kRussian);  // a 14-character prefix
  ASSERT_EQ(russian.size(), 79u);
  EXPECT_EQ(russian.substr(14), std::string(65, 'n'));
  EXPECT_EQ(browseTitle(std::string(65, 'n'), kRussian).size(), 79u);
  EXPECT_EQ(pageCaption(name, kEnglish).size(), 9u + 79u);  // the caption holds 259
}

}  // namespace
}  // namespace zorv
