// Wine as a second reader of what the platform writes: its regedit imports our registry file,
// and its shell link object loads our .lnk files. Skipped where wine is not installed. Each test
// makes its own 32-bit Wine prefix (some seconds on first start) with the Russian locale, so
// that the ANSI code page is 1251.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cctype>

#include "platform/posix_platform.h"
#include "platform/shell_link.h"
#include "tests/platform/temp_dir.h"

namespace zorv {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

class Wine : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v wine >/dev/null 2>&1") != 0) GTEST_SKIP() << "no wine";
  }

  // Runs wine with `arguments`, its output in a file (a pipe could hold the wineserver up),
  // and waits for the wineserver to write the prefix's registry; the program's exit code.
  int wine(const std::string& arguments) {
    std::string env = "env WINEPREFIX='" + dir / "prefix" +
                      "' WINEARCH=win32 WINEDEBUG=-all LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 ";
    std::string command = env + "wine " + arguments + " >>'" + dir / "wine.log" +
                          "' 2>&1; code=$?; " + env + "wineserver -w; exit $code";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  TempDir dir;
};

// The lines of the section of a Wine registry file whose key ends in `keyEnd`, compared
// without regard to case ("[Software\\\\Zantrel\\\\Demo] 1700000000").
std::vector<std::string> wineSection(const std::string& registry, std::string keyEnd) {
  auto lower = [](std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
  };
  std::string text = lower(registry);
  std::size_t at = text.find(lower(keyEnd) + "] ");
  std::vector<std::string> lines;
  if (at == std::string::npos) return lines;
  std::size_t pos = registry.find('\n', at) + 1;
  while (pos < registry.size()) {
    std::size_t end = registry.find('\n', pos);
    std::string line = registry.substr(pos, end - pos);
    if (line.empty()) break;
    if (line[0] != '#') lines.push_back(line);
    pos = end == std::string::npos ? registry.size() : end + 1;
  }
  return lines;
}

TEST_F(Wine, RegeditImportsTheRegistryFile) {
  PosixPlatformOptions options = posixPlatformOptionsFor(dir.path(), "");
  options.registryFile = dir / "registry.reg";
  {
    PosixPlatform platform(options);
    KeyHandle demo = platform.createKey(RegRoot::LocalMachine, "SoftWare\\Zantrel\\Demo");
    ASSERT_NE(demo, kNoKey);
    platform.setString(demo, "Path", "C:\\Apps\\\"Demo\"");
    platform.setString(demo, "Name", "\xCF\xF0\xE8\xE2\xE5\xF2");  // Привет
    platform.setString(demo, "", "default");
    platform.setString(demo, "Lines", "a\r\nb");
    platform.closeKey(demo);
    KeyHandle user = platform.createKey(RegRoot::CurrentUser, "Software\\Zantrel\\Installer");
    platform.setString(user, "Language", "ru");
    platform.closeKey(user);
  }
  ASSERT_EQ(wine("regedit /S '" + windowsPathForLink(options.registryFile) + "'"), 0)
      << readFile(dir / "wine.log");

  std::vector<std::string> demo =
      wineSection(readFile(dir / "prefix/system.reg"), "\\\\Zantrel\\\\Demo");
  std::sort(demo.begin(), demo.end());
  EXPECT_EQ(demo, (std::vector<std::string>{
                      "\"Lines\"=\"a\\r\\nb\"",
                      "\"Name\"=\"\\x41f\\x440\\x438\\x432\\x435\\x442\"",
                      "\"Path\"=\"C:\\\\Apps\\\\\\\"Demo\\\"\"",
                      "@=\"default\"",
                  }));
  EXPECT_EQ(wineSection(readFile(dir / "prefix/user.reg"), "\\\\Zantrel\\\\Installer"),
            std::vector<std::string>{"\"Language\"=\"ru\""});
}

TEST_F(Wine, ShellLinkObjectLoadsOurLinks) {
  const std::string reader = ZORV_READ_LINK_EXE;
  if (reader.empty() || !std::filesystem::exists(reader)) GTEST_SKIP() << "no read_link.exe";
  std::filesystem::create_directories(dir / "dest/bin");
  writeFile(dir / "dest/bin/demo.exe", "MZ");
  PosixPlatform platform(posixPlatformOptionsFor(dir.path(), ""));
  ASSERT_TRUE(platform.beginLinks(dir / "dest"));
  const std::string description = "bin\\\xC4\xE5\xEC\xEE.exe";  // bin\Демо.exe
  ASSERT_TRUE(platform.saveLink(dir / "demo.lnk", dir / "dest\\bin\\demo.exe", description));
  platform.endLinks();

  ASSERT_EQ(wine("'" + reader + "' '" + windowsPathForLink(dir / "demo.lnk") + "' '" +
                 windowsPathForLink(dir / "read.txt") + "'"),
            0)
      << readFile(dir / "wine.log");
  EXPECT_EQ(readFile(dir / "read.txt"), "path=" + windowsPathForLink(dir / "dest/bin/demo.exe") +
                                            "\n" + "description=" + description + "\n" +
                                            "workdir=" + windowsPathForLink(dir / "dest") + "\n");
}

}  // namespace
}  // namespace zorv
