// The uninstaller's half of the POSIX platform: links removed and never followed, missing told
// from failed, confinement to its roots byte for byte, keys removed from the registry file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "platform/posix_platform.h"
#include "tests/platform/temp_dir.h"

namespace zorv {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;
using Outcome = RemovePlatform::Outcome;

// dir/w holds a file, a folder with a file, and links to dir/outside, to its file and to
// nowhere; dir/outside holds victim.txt.
class PosixRemove : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir / "w/sub");
    fs::create_directories(dir / "outside");
    writeFile(dir / "w/f.txt", "f");
    writeFile(dir / "w/sub/g.txt", "g");
    writeFile(dir / "outside/victim.txt", "keep");
    fs::create_directory_symlink(dir / "outside", dir / "w/dirlink");
    fs::create_symlink(dir / "outside/victim.txt", dir / "w/filelink");
    fs::create_symlink(dir / "nowhere", dir / "w/dangling");
  }
  void TearDown() override { EXPECT_EQ(readFile(dir / "outside/victim.txt"), "keep"); }
  std::string w(const std::string& rest) { return dir.path() + "/w\\" + rest; }

  TempDir dir;
  PosixPlatform platform{posixPlatformOptionsFor(dir.path(), "")};
};

TEST_F(PosixRemove, ListingShowsLinksAsLinksAndNeverEntersThem) {
  auto entries = platform.listFolder(dir / "w");
  ASSERT_TRUE(entries);
  std::sort(entries->begin(), entries->end(),
            [](const auto& a, const auto& b) { return a.name < b.name; });
  const std::vector<std::tuple<std::string, bool, bool>> expected = {{"dangling", false, true},
                                                                     {"dirlink", false, true},
                                                                     {"f.txt", false, false},
                                                                     {"filelink", false, true},
                                                                     {"sub", true, false}};
  ASSERT_EQ(entries->size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(std::tie(entries->at(i).name, entries->at(i).folder, entries->at(i).link),
              expected[i]);
  for (const char* none : {"dirlink", "f.txt", "missing", "dangling"})
    EXPECT_EQ(platform.listFolder(w(none)), std::nullopt) << none;
}

TEST_F(PosixRemove, RemovalOutcomes) {
  const struct {
    const char* path;
    bool folder;  // removeFolder, else removeFile
    Outcome outcome;
    bool stays;  // the entry is still there after
  } rows[] = {
      {"f.txt", false, Outcome::Removed, false},
      {"f.txt", false, Outcome::Missing, false},
      {"missing\\x", false, Outcome::Missing, false},
      {"sub", false, Outcome::Failed, true},        // a folder is no file
      {"sub", true, Outcome::Failed, true},         // not empty
      {"sub\\g.txt", true, Outcome::Failed, true},  // a file is no folder
      {"sub\\g.txt", false, Outcome::Removed, false},
      {"sub", true, Outcome::Removed, false},
      {"sub", true, Outcome::Missing, false},
      {"dirlink", false, Outcome::Removed, false},  // the link, not the folder behind it
      {"filelink", true, Outcome::Removed, false},
      {"dangling", false, Outcome::Removed, false},
  };
  for (const auto& r : rows) {
    const std::string path = w(r.path);
    const Outcome got = r.folder ? platform.removeFolder(path) : platform.removeFile(path);
    EXPECT_EQ(got, r.outcome) << r.path;
    EXPECT_EQ(fs::exists(fs::symlink_status(posixPath(w(r.path)))), r.stays) << r.path;
  }
}

TEST_F(PosixRemove, ConfinedToItsRootsByteForByte) {
  fs::create_directories(dir / "W/sub");
  fs::create_directories(dir / "w./sub");
  fs::create_directory_symlink(dir / "outside", dir / "rootlink");
  platform.confineRemovalTo({dir / "w", dir.path() + "/rootlink/"});
  const struct {
    std::string path;
    Outcome outcome;
  } rows[] = {
      {w("dirlink\\victim.txt"), Outcome::Failed},  // through a link below the root
      {w("x\\..\\..\\outside\\victim.txt"), Outcome::Failed},
      {dir / "outside/victim.txt", Outcome::Failed},  // below no root
      {dir / "W/sub", Outcome::Failed},               // another folder to this system
      {dir / "w./sub", Outcome::Failed},
      {w("missing\\x"), Outcome::Missing},
      {w("sub\\g.txt"), Outcome::Removed},
  };
  for (const auto& r : rows) {
    const bool file = !r.path.ends_with("sub");
    EXPECT_EQ(file ? platform.removeFile(r.path) : platform.removeFolder(r.path), r.outcome)
        << r.path;
  }
  EXPECT_TRUE(fs::is_directory(dir / "W/sub"));
  EXPECT_TRUE(fs::is_directory(dir / "w./sub"));
  EXPECT_EQ(platform.listFolder(w("dirlink")), std::nullopt);
  EXPECT_EQ(platform.listFolder(dir / "outside"), std::nullopt);
  EXPECT_EQ(platform.readFile(w("dirlink\\victim.txt"), 100), std::nullopt);
  EXPECT_EQ(platform.readFile(w("f.txt"), 100), "f");
  // A root itself may be a link: the user named it.
  EXPECT_EQ(platform.readFile(dir.path() + "/rootlink\\victim.txt", 100), "keep");
  ASSERT_TRUE(platform.listFolder(dir.path() + "/w/"));  // a root itself
  EXPECT_EQ(platform.removeFolder(w("sub")), Outcome::Removed);
}

TEST_F(PosixRemove, ReadingKeepsToItsLimitAndToRegularFiles) {
  writeFile(dir / "w/ten", "0123456789");
  ASSERT_EQ(mkfifo((dir / "w/fifo").c_str(), 0600), 0);
  EXPECT_EQ(platform.readFile(w("ten"), 10), "0123456789");
  EXPECT_EQ(platform.readFile(w("ten"), 9), std::nullopt);
  for (const char* none : {"filelink", "fifo", "sub", "missing"})
    EXPECT_EQ(platform.readFile(w(none), 100), std::nullopt) << none;
}

TEST_F(PosixRemove, KeysGoWithTheirSubKeysFromTheFile) {
  const std::string reg = platform.options().registryFile;
  for (const char* key : {"Software\\A\\B\\C", "Software\\A\\D"})
    platform.closeKey(platform.createKey(RegRoot::CurrentUser, key));
  const KeyHandle open = platform.createKey(RegRoot::CurrentUser, "Software\\A\\B\\C");
  EXPECT_EQ(platform.removeKey(RegRoot::CurrentUser, "software\\a\\b"), Outcome::Removed);
  EXPECT_FALSE(platform.setString(open, "v", "x")) << "the handle went with its key";
  EXPECT_EQ(platform.removeKey(RegRoot::CurrentUser, "Software\\A\\B"), Outcome::Missing);
  EXPECT_EQ(platform.removeKey(RegRoot::LocalMachine, "Software\\A\\D"), Outcome::Missing);
  const std::string text = readFile(reg);
  EXPECT_EQ(text.find("\\B"), std::string::npos) << text;
  EXPECT_NE(text.find("HKEY_CURRENT_USER\\Software\\A\\D"), std::string::npos) << text;

  writeFile(reg, "not a registry file");
  PosixPlatform unreadable(platform.options());
  EXPECT_EQ(unreadable.removeKey(RegRoot::CurrentUser, "Software\\A\\D"), Outcome::Failed);
  EXPECT_EQ(readFile(reg), "not a registry file");
}

TEST_F(PosixRemove, ProtectedFolders) {
  const std::vector<std::string> folders = platform.protectedFolders();
  const PosixPlatformOptions& o = platform.options();
  for (const std::string& f :
       {std::string("/"), std::string("/etc"), std::string("/usr"), std::string("/tmp"),
        o.programsFolder, o.desktopFolder, o.appDataFolder})
    EXPECT_NE(std::find(folders.begin(), folders.end(), f), folders.end()) << f;
}

}  // namespace
}  // namespace zorv
