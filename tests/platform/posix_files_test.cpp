#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <functional>
#include <iterator>
#include <thread>

#include "platform/posix_platform.h"
#include "tests/platform/temp_dir.h"

namespace zorv {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

std::span<const std::uint8_t> bytesOf(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

class PosixFiles : public ::testing::Test {
 protected:
  TempDir dir;
  PosixPlatform platform{posixPlatformOptionsFor(dir.path(), "")};
};

// The engine joins names with backslashes; they are folders here.
TEST_F(PosixFiles, BackslashesSeparateFolders) {
  EXPECT_EQ(posixPath("/tmp/x\\sub\\file.txt"), "/tmp/x/sub/file.txt");
  EXPECT_EQ(posixPath("C:\\Apps"), "C:/Apps");
  ASSERT_TRUE(platform.createDirectory(dir / "sub"));
  FileHandle f = platform.openOutputFile(dir.path() + "\\sub\\file.txt");
  ASSERT_NE(f, kNoFile);
  platform.closeFile(f);
  EXPECT_TRUE(std::filesystem::is_regular_file(dir / "sub/file.txt"));
  EXPECT_TRUE(platform.pathExists(dir.path() + "\\sub\\file.txt"));
}

TEST_F(PosixFiles, OpeningTruncatesALongerFile) {
  writeFile(dir / "f", std::string(1000, 'x'));
  FileHandle f = platform.openOutputFile(dir / "f");
  ASSERT_NE(f, kNoFile);
  EXPECT_TRUE(platform.writeFile(f, bytesOf("short")));
  platform.closeFile(f);
  EXPECT_EQ(readFile(dir / "f"), "short");
}

TEST_F(PosixFiles, EveryByteIsWritten) {
  std::string big(5 * 1024 * 1024 + 7, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = char(i * 2654435761u >> 13);
  FileHandle f = platform.openOutputFile(dir / "big");
  ASSERT_NE(f, kNoFile);
  EXPECT_TRUE(platform.writeFile(f, bytesOf(big.substr(0, 3))));
  EXPECT_TRUE(platform.writeFile(f, bytesOf(big.substr(3))));
  EXPECT_TRUE(platform.writeFile(f, {}));
  platform.closeFile(f);
  EXPECT_TRUE(readFile(dir / "big") == big);
}

TEST_F(PosixFiles, CreatedFilesAreReadWriteForAll) {
  mode_t old = umask(0);
  FileHandle f = platform.openOutputFile(dir / "f");
  umask(old);
  ASSERT_NE(f, kNoFile);
  platform.closeFile(f);
  struct stat st;
  ASSERT_EQ(stat((dir / "f").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666u);
}

TEST_F(PosixFiles, FailuresAreReported) {
  EXPECT_EQ(platform.openOutputFile(dir / "missing\\f"), kNoFile);
  EXPECT_EQ(platform.openOutputFile(dir.path()), kNoFile);  // a directory
  EXPECT_FALSE(platform.writeFile(kNoFile, bytesOf("x")));
  int readOnly = open("/dev/null", O_RDONLY);
  ASSERT_GE(readOnly, 0);
  EXPECT_FALSE(platform.writeFile(readOnly, bytesOf("x")));
  close(readOnly);
  platform.closeFile(kNoFile);
}

TEST_F(PosixFiles, CreateDirectoryMakesOneLevelOnly) {
  EXPECT_TRUE(platform.createDirectory(dir / "a"));
  EXPECT_FALSE(platform.createDirectory(dir / "a"));  // exists
  writeFile(dir / "file", "x");
  EXPECT_FALSE(platform.createDirectory(dir / "file"));
  EXPECT_FALSE(platform.createDirectory(dir / "missing\\b"));  // no parent
  EXPECT_TRUE(platform.createDirectory(dir.path() + "\\a\\b"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "a/b"));
}

TEST_F(PosixFiles, ExistenceAndDeletion) {
  writeFile(dir / "f", "x");
  std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
  EXPECT_TRUE(platform.pathExists(dir / "f"));
  EXPECT_TRUE(platform.pathExists(dir.path()));
  EXPECT_TRUE(platform.pathExists(dir / "dangling"));  // the name is taken
  EXPECT_FALSE(platform.pathExists(dir / "g"));
  platform.deleteFile(dir / "f");
  platform.deleteFile(dir / "f");   // already gone: nothing happens
  platform.deleteFile(dir.path());  // a directory is not a file
  EXPECT_FALSE(platform.pathExists(dir / "f"));
  EXPECT_TRUE(platform.pathExists(dir.path()));
}

TEST_F(PosixFiles, FreeBytesOfTheVolume) {
  std::optional<std::uint64_t> free = platform.freeBytes(dir.path());
  ASSERT_TRUE(free);
  EXPECT_EQ(*free, std::filesystem::space(dir.path()).available);
  EXPECT_EQ(platform.freeBytes(dir / "missing"), std::nullopt);
}

TEST_F(PosixFiles, CurrentDirectoryRoundTrip) {
  std::optional<std::string> before = platform.currentDirectory();
  ASSERT_TRUE(before);
  std::filesystem::create_directories(dir / "a/b");
  ASSERT_TRUE(platform.setCurrentDirectory(dir.path() + "\\a\\b"));
  EXPECT_EQ(platform.currentDirectory(), std::filesystem::canonical(dir / "a/b").string());
  EXPECT_FALSE(platform.setCurrentDirectory(dir / "missing"));
  ASSERT_TRUE(platform.setCurrentDirectory(*before));
}

// Waits for a file that a started program writes.
bool waitForFile(const std::string& path, const std::string& content) {
  for (int i = 0; i < 500; ++i) {
    if (readFile(path) == content) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST_F(PosixFiles, StartsAProgramInTheCurrentDirectory) {
  std::filesystem::create_directories(dir / "app");
  writeFile(dir / "app/run.sh", "#!/bin/sh\necho \"$0 $#\" > marker.tmp && mv marker.tmp marker\n");
  chmod((dir / "app/run.sh").c_str(), 0755);
  std::optional<std::string> before = platform.currentDirectory();
  ASSERT_TRUE(platform.setCurrentDirectory(dir / "app"));
  bool started = platform.startProcess(dir.path() + "\\app\\run.sh", "\"run.sh\" ignored words");
  ASSERT_TRUE(platform.setCurrentDirectory(*before));
  ASSERT_TRUE(started);
  EXPECT_TRUE(waitForFile(dir / "app/marker", dir / "app/run.sh 0\n"))
      << readFile(dir / "app/marker");
  // The go-between child has been reaped and the program belongs to init: no child is left.
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST_F(PosixFiles, AProgramThatCannotRunIsReported) {
  writeFile(dir / "plain.txt", "not a program");
  writeFile(dir / "noexec.sh", "#!/bin/sh\ntouch started\n");
  EXPECT_FALSE(platform.startProcess(dir / "missing", ""));
  EXPECT_FALSE(platform.startProcess(dir / "noexec.sh", ""));
  chmod((dir / "plain.txt").c_str(), 0755);
  EXPECT_FALSE(platform.startProcess(dir / "plain.txt", ""));  // no #! line: not executable
  EXPECT_FALSE(platform.startProcess("", ""));
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
}

TEST_F(PosixFiles, UtcNowIsTheCalendarTime) {
  std::time_t before = std::time(nullptr);
  SystemTime now = platform.utcNow();
  std::time_t after = std::time(nullptr);
  std::tm tm{};
  tm.tm_year = int(now.year) - 1900;
  tm.tm_mon = int(now.month) - 1;
  tm.tm_mday = int(now.day);
  tm.tm_hour = int(now.hour);
  tm.tm_min = int(now.minute);
  tm.tm_sec = int(now.second);
  std::time_t back = timegm(&tm);
  EXPECT_LE(before, back);
  EXPECT_LE(back, after);
}

TEST_F(PosixFiles, MessageBoxWritesCaptionAndText) {
  ::testing::internal::CaptureStderr();
  platform.messageBox("C:\\Apps\\Demo\n do'not create!", "Demo");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Demo: C:\\Apps\\Demo\n do'not create!\n");
  // Package texts in either part reach the terminal without their control characters; the
  // text's own line feeds stay.
  ::testing::internal::CaptureStderr();
  platform.messageBox("C:\\\x1b[2JApps\r\n do'not create!", "De\x1b]0;x\x07mo");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "De.]0;x.mo: C:\\.[2JApps.\n do'not create!\n");
}

TEST(TerminalText, ControlCharactersBecomeDots) {
  const struct {
    std::string in, out;
  } rows[] = {
      {"Zorv Demo\\hello.exe", "Zorv Demo\\hello.exe"},
      {"\x1b[31mred\x1b[0m", ".[31mred.[0m"},  // colours
      {"\x1b]0;title\x07", ".]0;title."},      // window title
      {"a\nb\rc\td\be", "a.b.c.d.e"},          // forged lines and overwrites
      {std::string("a\0b", 3), "a.b"},
      {"\x7f\x80\x9b\x9f", "...."},                // DEL and C1, 0x9B being CSI
      {"\xa0\xc0\xff \xa8", "\xa0\xc0\xff \xa8"},  // code page letters stay
      {"\xd1\x80\xd0\x9f", "\xd1\x80\xd0\x9f"},    // UTF-8 р and П, bytes 0x80, 0x9F
      {"\xc2\x9b[2J\xc2\xa0", ".[2J\xc2\xa0"},     // UTF-8 CSI; no-break space stays
  };
  for (const auto& r : rows) EXPECT_EQ(terminalText(r.in), r.out) << r.in;
}

// A platform confined below dir/root, with links inside it to dir/outside: a folder link, a
// link to a file, a dangling link.
class ConfinedFiles : public PosixFiles {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir / "root");
    std::filesystem::create_directories(dir / "outside");
    writeFile(dir / "outside/victim.txt", "keep");
    std::filesystem::create_directory_symlink(dir / "outside", dir / "root/dirlink");
    std::filesystem::create_symlink(dir / "outside/victim.txt", dir / "root/filelink");
    std::filesystem::create_symlink(dir / "outside/new.txt", dir / "root/dangling");
    platform.confineBelow(dir / "root");
  }
  std::string root(const std::string& rest) { return dir.path() + "/root\\" + rest; }
  bool created(const std::string& path) {
    FileHandle f = platform.openOutputFile(path);
    platform.closeFile(f);
    return f != kNoFile;
  }
};

TEST_F(ConfinedFiles, LinksBelowTheRootAreNeverFollowed) {
  const struct {
    const char* what;
    std::function<bool()> call;
    bool succeeds;
    const char* refused;  // the link named by refusedLink(), below dir
  } rows[] = {
      {"file through a folder link", [this] { return created(root("dirlink\\f.txt")); }, false,
       "root/dirlink"},
      {"folder through a folder link",
       [this] { return platform.createDirectory(root("dirlink\\sub")); }, false, "root/dirlink"},
      {"file over a link to a file", [this] { return created(root("filelink")); }, false,
       "root/filelink"},
      {"file over a dangling link", [this] { return created(root("dangling")); }, false,
       "root/dangling"},
      {"file through a slash-separated link", [this] { return created(root("dirlink/f.txt")); },
       false, "root/dirlink"},
      {"existence through a folder link",
       [this] { return platform.pathExists(root("dirlink\\victim.txt")); }, false, "root/dirlink"},
      {"a link is there", [this] { return platform.pathExists(root("filelink")); }, true, ""},
      {"climbing out", [this] { return created(root("x\\..\\..\\outside\\f.txt")); }, false, ""},
      {"plain folders and files",
       [this] { return platform.createDirectory(root("a")) && created(root("a\\.\\\\f.txt")); },
       true, ""},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(r.call(), r.succeeds) << r.what;
    EXPECT_EQ(platform.refusedLink(), *r.refused ? dir / r.refused : "") << r.what;
  }
  EXPECT_EQ(readFile(dir / "outside/victim.txt"), "keep");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "outside"), {}), 1)
      << "only victim.txt is outside";
  EXPECT_TRUE(std::filesystem::is_regular_file(dir / "root/a/f.txt"));
}

TEST_F(ConfinedFiles, DeletingRemovesTheLinkNotItsTarget) {
  platform.deleteFile(root("dirlink\\victim.txt"));
  EXPECT_TRUE(std::filesystem::exists(dir / "outside/victim.txt"));
  platform.deleteFile(root("filelink"));
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "root/filelink"));
  EXPECT_EQ(readFile(dir / "outside/victim.txt"), "keep");
  // What the engine does with a file of the package: delete, then create anew.
  EXPECT_FALSE(created(root("dangling")));
  platform.deleteFile(root("dangling"));
  EXPECT_TRUE(created(root("dangling")));
  EXPECT_FALSE(std::filesystem::exists(dir / "outside/new.txt"));
}

TEST_F(ConfinedFiles, TheRootItselfAndPathsElsewhereAreFollowed) {
  std::filesystem::create_directory_symlink(dir / "root", dir / "rootlink");
  std::filesystem::create_directory_symlink(dir / "outside", dir / "elsewhere");
  platform.confineBelow(dir.path() + "/rootlink/");
  EXPECT_TRUE(platform.createDirectory(dir.path() + "/rootlink\\a"));
  EXPECT_TRUE(created(dir.path() + "/rootlink\\a\\f.txt"));
  EXPECT_TRUE(std::filesystem::is_regular_file(dir / "root/a/f.txt"));
  EXPECT_FALSE(created(dir.path() + "/rootlink\\dirlink\\f.txt"));
  EXPECT_TRUE(created(dir.path() + "/elsewhere\\g.txt"));  // not below the root
  EXPECT_TRUE(std::filesystem::is_regular_file(dir / "outside/g.txt"));
}

TEST(PosixOptions, EverythingLivesInOneDataFolder) {
  PosixPlatformOptions o = posixPlatformOptionsFor("/home/u", "");
  EXPECT_EQ(o.registryFile, "/home/u/.local/share/zorv/registry.reg");
  EXPECT_EQ(o.programsFolder, "/home/u/.local/share/zorv/Start Menu/Programs");
  EXPECT_EQ(o.desktopFolder, "/home/u/.local/share/zorv/Desktop");
  EXPECT_EQ(o.appDataFolder, "/home/u/.local/share/zorv/Application Data");
  EXPECT_EQ(posixPlatformOptionsFor("/home/u", "/data").registryFile, "/data/zorv/registry.reg");
}

TEST_F(PosixFiles, SpecialFoldersAreMadeOnFirstUse) {
  std::optional<std::string> programs = platform.specialFolder(SpecialFolder::Programs);
  ASSERT_TRUE(programs);
  EXPECT_EQ(*programs, platform.options().programsFolder);
  EXPECT_TRUE(std::filesystem::is_directory(*programs));
  EXPECT_EQ(platform.specialFolder(SpecialFolder::DesktopDirectory),
            platform.options().desktopFolder);
  EXPECT_EQ(platform.specialFolder(SpecialFolder::AppData), platform.options().appDataFolder);

  PosixPlatformOptions o = platform.options();
  o.desktopFolder.clear();
  writeFile(dir / "file", "x");
  o.appDataFolder = dir / "file/AppData";
  PosixPlatform partial(o);
  EXPECT_EQ(partial.specialFolder(SpecialFolder::DesktopDirectory), std::nullopt);
  EXPECT_EQ(partial.specialFolder(SpecialFolder::AppData), std::nullopt);
}

}  // namespace
}  // namespace zorv
