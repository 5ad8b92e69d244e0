// The folders a run remembers: each file's parents are asked for once per run, and a folder
// that cannot be made, or a file in a folder's way, still fails every file below it.
#include <map>
#include <string>
#include <vector>

#include "tests/install/install_fixture.h"

namespace zorv {
namespace {

// Counts the questions "does this path exist?", path by path, and the files deleted first.
struct CountingPlatform : FakePlatform {
  std::map<std::string, int> asked;
  std::vector<std::string> deleted;
  bool pathExists(std::string_view path) override {
    ++asked[std::string(path)];
    return FakePlatform::pathExists(path);
  }
  void deleteFile(std::string_view path) override {
    deleted.emplace_back(path);
    FakePlatform::deleteFile(path);
  }
};

class KnownFolders : public ::testing::Test {
 protected:
  KnownFolders() {
    state.destinationDir = "C:\\D";
    fake.addDirectory("C:\\D");
  }
  // Creates each file and closes it; true for each that could be opened.
  std::vector<bool> create(std::initializer_list<std::string_view> names) {
    std::vector<bool> made;
    for (std::string_view name : names) {
      const FileHandle out = createOutputFile(run, name);
      made.push_back(out != kNoFile);
      fake.closeFile(out);
    }
    return made;
  }
  std::vector<std::string> created() const {
    std::vector<std::string> out;
    for (const std::string& c : fake.calls)
      if (c.starts_with("createDirectory ")) out.push_back(c.substr(16));
    return out;
  }

  CountingPlatform fake;
  SetupState state;
  InstallRun run{state, fake, fake};
};

TEST_F(KnownFolders, EachParentIsAskedForOncePerRun) {
  fake.addDirectory("C:\\D\\old");
  EXPECT_EQ(create({"a\\b\\1.txt", "a\\b\\2.txt", "a\\c\\3.txt", "a\\4.txt", "old\\5.txt",
                    "old\\6.txt", "a\\b\\7.txt"}),
            std::vector<bool>(7, true));
  EXPECT_EQ(fake.asked,
            (std::map<std::string, int>{
                {"C:\\D\\a", 1}, {"C:\\D\\a\\b", 1}, {"C:\\D\\a\\c", 1}, {"C:\\D\\old", 1}}));
  EXPECT_EQ(created(), (std::vector<std::string>{"C:\\D\\a", "C:\\D\\a\\b", "C:\\D\\a\\c"}));
  EXPECT_EQ(fake.file("C:\\D\\a\\b\\7.txt"), "");
}

// A folder the run made holds only what the run wrote, so nothing there is deleted first.
TEST_F(KnownFolders, OnlyFilesOutsideFoldersTheRunMadeAreDeletedFirst) {
  fake.addDirectory("C:\\D\\old");
  EXPECT_EQ(create({"top.txt", "old\\1.txt", "a\\2.txt", "a\\2.txt", "a\\c\\0.txt", "a\\c/3.txt",
                    "old\\n\\4.txt"}),
            std::vector<bool>(7, true));
  EXPECT_EQ(fake.deleted,
            (std::vector<std::string>{"C:\\D\\top.txt", "C:\\D\\old\\1.txt", "C:\\D\\a\\c/3.txt"}));
}

TEST_F(KnownFolders, AFolderThatCannotBeMadeFailsEveryFileInIt) {
  fake.failCreateDirectory.insert("C:\\D\\a");
  EXPECT_EQ(create({"a\\1.txt", "a\\2.txt", "b\\3.txt"}), (std::vector<bool>{false, false, true}));
  EXPECT_EQ(fake.asked["C:\\D\\a"], 2);  // a failure is not remembered
}

TEST_F(KnownFolders, AFileInAFoldersWayFailsEveryFileBelowIt) {
  EXPECT_EQ(create({"a", "a\\1.txt", "a\\2.txt"}), (std::vector<bool>{true, false, false}));
  EXPECT_TRUE(created().empty());
}

TEST_F(KnownFolders, PastTheLimitFoldersAreAskedForAgain) {
  for (std::size_t i = 0; i <= kMaxKnownFolders; ++i) {
    std::string name = std::to_string(i);
    name.insert(0, 1, 'f');
    name += "\\x";
    ASSERT_NE(createOutputFile(run, name), kNoFile);
  }
  EXPECT_LE(run.knownFolders.size(), kMaxKnownFolders);
  EXPECT_EQ(create({"f0\\y", "f0\\z"}), (std::vector<bool>{true, true}));
  EXPECT_EQ(fake.asked["C:\\D\\f0"], 2);
}

}  // namespace
}  // namespace zorv
