#include <gtest/gtest.h>

#include "tests/fake/fake_platform.h"
#include "wizard/destination.h"
#include "wizard/paths.h"
#include "texts/texts.h"

namespace zorv {
namespace {

struct PathCase {
  const char* input;
  const char* expected;  // null: none
};
void PrintTo(const PathCase& c, std::ostream* os) { *os << '"' << c.input << '"'; }

class SetupDirFromModule : public testing::TestWithParam<PathCase> {};

TEST_P(SetupDirFromModule, CutsAfterTheLastBackslash) {
  auto dir = setupDirFromModulePath(GetParam().input);
  if (GetParam().expected == nullptr) {
    EXPECT_FALSE(dir) << *dir;
  } else {
    ASSERT_TRUE(dir);
    EXPECT_EQ(*dir, GetParam().expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SetupDirFromModule,
    testing::Values(PathCase{"C:\\Setup Files\\setup.exe", "C:\\Setup Files\\"},
                    PathCase{"D:\\setup.exe", "D:\\"},
                    PathCase{"\\\\server\\share\\setup.exe", "\\\\server\\share\\"},
                    PathCase{"setup.exe", nullptr}, PathCase{"", nullptr}));

TEST(SetupDir, ADirectoryThatNoAnsiPathHoldsIsRefused) {
  std::string dir259 = "C:\\" + std::string(255, 'a') + "\\";  // 259 characters
  ASSERT_EQ(dir259.size(), 259u);
  EXPECT_EQ(setupDirFromModulePath(dir259 + "s.exe").value_or("none"), dir259);
  std::string dir260 = "C:\\" + std::string(256, 'a') + "\\";
  EXPECT_FALSE(setupDirFromModulePath(dir260 + "s.exe"));
}

TEST(SetupDir, TheCurrentDirectoryGetsOneBackslash) {
  EXPECT_EQ(setupDirFromCurrentDirectory("C:\\Work"), "C:\\Work\\");
  EXPECT_EQ(setupDirFromCurrentDirectory("C:\\"), "C:\\");
}

TEST(SetupDir, WorkingDirectoryDropsTheTrailingBackslash) {
  EXPECT_EQ(workingDirectoryOf("C:\\Setup Files\\"), "C:\\Setup Files");
  EXPECT_EQ(workingDirectoryOf("D:\\"), "D:");
}

class ParentFolder : public testing::TestWithParam<PathCase> {};

TEST_P(ParentFolder, StopsAtTheRoot) {
  auto parent = parentFolder(GetParam().input);
  if (GetParam().expected == nullptr) {
    EXPECT_FALSE(parent) << *parent;
  } else {
    ASSERT_TRUE(parent);
    EXPECT_EQ(*parent, GetParam().expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, ParentFolder,
                         testing::Values(PathCase{"D:\\Apps\\Tool", "D:\\Apps"},
                                         PathCase{"D:\\Apps", "D:\\"},
                                         PathCase{"D:\\Apps\\", "D:\\"}, PathCase{"D:\\", nullptr},
                                         PathCase{"D:", nullptr}, PathCase{"D:Apps", "D:"},
                                         PathCase{"\\\\server\\share\\dir", "\\\\server\\share\\"},
                                         PathCase{"\\\\server\\share\\", nullptr},
                                         PathCase{"\\Apps", "\\"}, PathCase{"Apps\\Tool", "Apps"},
                                         PathCase{"Apps", nullptr}, PathCase{"", nullptr}));

TEST(DefaultDestination, PackageFolderThenApplicationDataThenProgramFiles) {
  EXPECT_EQ(defaultParentFolder("D:\\Apps", "C:\\AppData"), "D:\\Apps");
  EXPECT_EQ(defaultParentFolder(std::nullopt, "C:\\AppData"), "C:\\AppData");
  EXPECT_EQ(defaultParentFolder(std::nullopt, std::nullopt), "c:\\Program Files");
}

TEST(DefaultDestination, TheApplicationFolderGetsExactlyOneBackslash) {
  EXPECT_EQ(appendAppFolder("D:\\Apps", "Tool"), "D:\\Apps\\Tool");
  EXPECT_EQ(appendAppFolder("D:\\Apps\\", "Tool"), "D:\\Apps\\Tool");
  EXPECT_EQ(appendAppFolder("D:\\", "Tool"), "D:\\Tool");
  EXPECT_EQ(appendAppFolder("", "Tool"), "\\Tool");
}

struct AbsoluteCase {
  const char* typed;
  const char* expected;
};
void PrintTo(const AbsoluteCase& c, std::ostream* os) { *os << '"' << c.typed << '"'; }

class AbsoluteDestination : public testing::TestWithParam<AbsoluteCase> {};

TEST_P(AbsoluteDestination, WithoutAColonItIsBelowTheSetupDirectory) {
  EXPECT_EQ(absoluteDestination(GetParam().typed, "C:\\Setup\\"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Paths, AbsoluteDestination,
                         testing::Values(AbsoluteCase{"D:\\Apps\\Tool", "D:\\Apps\\Tool"},
                                         AbsoluteCase{"Apps\\Tool", "C:\\Setup\\Apps\\Tool"},
                                         AbsoluteCase{"", "C:\\Setup"},
                                         AbsoluteCase{"\\\\server\\share",
                                                      "C:\\Setup\\\\\\server\\share"},
                                         AbsoluteCase{"odd:name", "odd:name"}));

class ComposeInstallDestination : public testing::Test {
 protected:
  FakePlatform platform;
  SetupState state;
  void SetUp() override { state.setupDir = "C:\\Setup\\"; }
};

TEST_F(ComposeInstallDestination, AcceptsAPathOf259Characters) {
  state.destinationDir = "C:\\" + std::string(256, 'a');
  EXPECT_TRUE(composeInstallDestination(state, platform));
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(ComposeInstallDestination, RefusesALongerPathWithTheDirectoryMessage) {
  for (int language : {kEnglish, kRussian}) {
    platform.messages.clear();
    state.language = language;
    state.destinationDir = std::string(252, 'a');  // relative: 10 + 252 characters once joined
    EXPECT_FALSE(composeInstallDestination(state, platform));
    ASSERT_EQ(platform.messages.size(), 1u);
    std::string absolute = "C:\\Setup\\" + std::string(252, 'a');
    EXPECT_EQ(state.destinationDir, absolute);
    EXPECT_EQ(platform.messages[0].text,
              absolute + std::string(text(Text::DirectoryError, language)));
    EXPECT_EQ(platform.messages[0].caption, text(Text::DirectoryCaption, language));
  }
}

}  // namespace
}  // namespace zorv

namespace zorv {
namespace {

// Without "DirD": a plain package proposes from the application-data folder, a release from the
// Program Files folder, or, installed for the user alone, from the user's own Programs folder.
TEST(SystemParentFolder, FollowsThePackagesScope) {
  const struct {
    bool release, user;
    const char* parent;
  } rows[] = {{false, false, "C:\\AppData"},
              {false, true, "C:\\AppData"},  // a plain package has no scope
              {true, false, "C:\\Program Files"},
              {true, true, "C:\\Local\\Programs"}};
  for (const auto& row : rows) {
    FakePlatform fake;
    SetupState state;
    state.release = row.release;
    state.userScope = row.user;
    EXPECT_EQ(systemParentFolder(state, fake), row.parent) << row.release << row.user;
  }
}

}  // namespace
}  // namespace zorv
