// createDirectoryPath: blank trimming, which prefixes are created, and its failure message.
#include "tests/install/install_fixture.h"

namespace zorv {
namespace {

struct DirectoryRow {
  const char* name;
  std::string input;
  std::string failAt;  // a directory whose creation fails, or ""
  int language;
  bool ok;
  std::string path;                  // the caller's path afterwards
  std::vector<std::string> created;  // createDirectory calls, in order
  std::string message;               // text of the one message box, or ""
};
void PrintTo(const DirectoryRow& row, std::ostream* os) { *os << row.name; }

class CreateDirectoryPath : public ::testing::TestWithParam<DirectoryRow> {};

TEST_P(CreateDirectoryPath, CreatesEveryMissingLevel) {
  const DirectoryRow& row = GetParam();
  FakePlatform fake;
  fake.addDirectory("C:\\Existing");
  if (!row.failAt.empty()) fake.failCreateDirectory.insert(row.failAt);
  std::string path = row.input;
  EXPECT_EQ(createDirectoryPath(path, row.language, fake), row.ok);
  EXPECT_EQ(path, row.path);
  std::vector<std::string> created;
  for (const std::string& c : fake.calls)
    if (c.starts_with("createDirectory ")) created.push_back(c.substr(16));
  EXPECT_EQ(created, row.created);
  if (row.message.empty()) {
    EXPECT_TRUE(fake.messages.empty());
  } else {
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].text, row.message);
    EXPECT_EQ(fake.messages[0].caption,
              row.language == kRussian ? "\xCA\xE0\xF2\xE0\xEB\xEE\xE3" : "Directory");
  }
}

const std::string k259 = "C:\\Existing\\" + std::string(247, 'x');  // 259 characters
const std::string k260 = "C:\\Existing\\" + std::string(248, 'x');

INSTANTIATE_TEST_SUITE_P(
    Paths, CreateDirectoryPath,
    ::testing::Values(
        DirectoryRow{"BlanksBeforeSeparatorsAndAtTheEnd",
                     "C:\\My Apps \\Tool ",
                     "",
                     0,
                     true,
                     "C:\\My Apps\\Tool",
                     {"C:\\My Apps", "C:\\My Apps\\Tool"},
                     ""},
        DirectoryRow{
            "SeveralBlanks", "C:\\A  /B   ", "", 0, true, "C:\\A/B", {"C:\\A", "C:\\A/B"}, ""},
        DirectoryRow{"DriveRootCreatesNothing", "C:\\", "", 0, true, "C:\\", {}, ""},
        DirectoryRow{"ExistingLevelsAreKept",
                     "C:\\Existing\\New\\",
                     "",
                     0,
                     true,
                     "C:\\Existing\\New\\",
                     {"C:\\Existing\\New"},
                     ""},
        DirectoryRow{"CreationFails",
                     "C:\\Existing\\New \\Deeper",
                     "C:\\Existing\\New",
                     0,
                     false,
                     "C:\\Existing\\New \\Deeper",
                     {"C:\\Existing\\New"},
                     "C:\\Existing\\New - Error Create"},
        DirectoryRow{"CreationFailsRussian",
                     "D:\\X",
                     "",
                     kRussian,
                     false,
                     "D:\\X",
                     {"D:\\X"},
                     "D:\\X - \xCD\xE5\xEB\xFC\xE7\xFF \xF1\xEE\xE7\xE4\xE0\xF2\xFC"},
        DirectoryRow{"Path259", k259, "", 0, true, k259, {k259}, ""},
        DirectoryRow{"Path260FailsWithTheSameMessage",
                     k260,
                     "",
                     0,
                     false,
                     k260,
                     {},
                     k260 + " - Error Create"},
        DirectoryRow{"BlanksBringItUnder260", k259 + " ", "", 0, true, k259, {k259}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CreateLinkFolder, FolderPartBeforeTheLastSeparator) {
  const std::pair<const char*, std::vector<std::string>> rows[] = {
      {"Viewer", {}},
      {"\\Viewer", {}},
      {"Tools\\Viewer", {"C:\\G\\Tools"}},
      {"Tools/More\\Viewer", {"C:\\G\\Tools", "C:\\G\\Tools/More"}},
  };
  for (const auto& [link, expected] : rows) {
    FakePlatform fake;
    fake.addDirectory("C:\\G");
    createLinkFolder("C:\\G", link, kEnglish, fake);
    createLinkFolder("C:\\G\\", link, kEnglish, fake);  // no second backslash
    std::vector<std::string> created;
    for (const std::string& c : fake.calls)
      if (c.starts_with("createDirectory ")) created.push_back(c.substr(16));
    EXPECT_EQ(created, expected) << link;
  }
}

}  // namespace
}  // namespace zorv
