// The uninstall engine on the fake: the road after a real install, and logs that an attacker
// wrote, each of which must leave everything outside its folders untouched.
#include <functional>

#include "tests/install/install_fixture.h"
#include "uninstall/uninstall.h"
#include "uninstall/uninstall_paths.h"

namespace zorv {
namespace {

class UninstallTest : public InstallTest {
 protected:
  std::optional<UninstallLog> load(std::string* why = nullptr) {
    return loadUninstallLog(fake, kLog, fake.protectedList, why);
  }
  UninstallReport uninstall() {
    std::string why;
    const std::optional<UninstallLog> parsed = load(&why);
    EXPECT_TRUE(parsed) << why;
    if (!parsed) return {};
    return runUninstall(*parsed, defaultUninstallScope(fake, fake, kLog), fake);
  }
  void writeLog(std::string_view lines) {
    fake.files[kLog] = "Name Remove Demo\nWork C:\\Apps\\Demo\n" + std::string(lines);
  }
};

TEST_F(UninstallTest, RemovesWhatTheInstallMadeAndKeepsWhatTheUserAdded) {
  pkg.file("demo.exe", "exe");
  pkg.file("help\\demo.hlp", "hlp");
  pkg.dir("data", {pkg.nestedFile("data\\a.dat", "a"),
                   pkg.nestedDir("data\\deep", {pkg.nestedFile("data\\deep\\b.dat", "b")})});
  pkg.link(kTagGroupLink, "Tools\\Demo", "demo.exe");
  pkg.link(kTagDesktopLink, "Demo", "demo.exe");
  pkg.root("HCU", "Software\\Zorv\\Demo");
  pkg.value("Path", "REG_SZ", "DESTDIR");
  pkg.text(kTagDeleteFile, "*.log");
  pkg.text(kTagDeleteDir, "saves");
  fake.registry["HKCU\\Software\\Zorv"]["Other"] = "kept";
  install();
  ASSERT_TRUE(completed());
  fake.addDirectory("C:\\Apps\\Demo\\saves\\slot1");
  fake.files["C:\\Apps\\Demo\\saves\\slot1\\game.sav"] = "s";
  fake.files["C:\\Apps\\Demo\\run.log"] = "l";
  fake.files["C:\\Apps\\Demo\\mine.txt"] = "the user's own";
  const UninstallReport r = uninstall();

  EXPECT_TRUE(r.complete()) << (r.leftBehind.empty() ? "" : r.leftBehind[0]);
  EXPECT_TRUE(r.workKept);
  EXPECT_EQ(fake.files.size(), 1u);
  EXPECT_EQ(fake.file("C:\\Apps\\Demo\\mine.txt"), "the user's own");
  for (const char* gone : {"C:\\Apps\\Demo\\data", "C:\\Apps\\Demo\\saves",
                           "C:\\Menu\\Programs\\Demo"})
    EXPECT_FALSE(fake.directories.count(gone)) << gone;
  EXPECT_TRUE(fake.directories.count("C:\\Menu\\Programs"));
  EXPECT_EQ(fake.registry.count("HKCU\\Software\\Zorv\\Demo"), 0u);
  EXPECT_EQ(fake.registry.count("HKLM\\SoftWare\\Zantrel\\Demo"), 0u);
  EXPECT_TRUE(fake.registry.count("HKCU\\Software\\Zorv"));
}

TEST_F(UninstallTest, AnEmptyWorkFolderGoesLastAndTheRunningProgramIsLeftToItsCaller) {
  pkg.file("uninstall.exe", "me");
  pkg.file("demo.exe", "exe");
  install();
  std::optional<UninstallLog> log = load();
  ASSERT_TRUE(log);
  UninstallScope scope = defaultUninstallScope(fake, fake, kLog);
  scope.deferredFile = "C:\\Apps\\Demo\\uninstall.exe";
  const UninstallReport r = runUninstall(*log, scope, fake);
  EXPECT_TRUE(r.complete());
  EXPECT_FALSE(r.workKept);
  EXPECT_EQ(fake.file(scope.deferredFile), "me");
  EXPECT_TRUE(finishUninstall(scope.deferredFile, kDest, fake));
  EXPECT_FALSE(fake.directories.count(kDest));
}

// Logs that must not load at all.
TEST_F(UninstallTest, RefusesLogsThatNameAFolderItMustNotEmpty) {
  const std::pair<const char*, const char*> rows[] = {
      {"Name Remove Demo\nWork C:\\\n", "a drive root"},
      {"Name Remove Demo\nWork C:\\Users\n", "the parent of a profile"},
      {"Name Remove Demo\nWork c:\\windows\\\n", "the Windows folder, in other dress"},
      {"Name Remove Demo\nWork C:\\Apps\\Other\n", "a folder the log does not lie in"},
      {"Name Remove Demo\nWork Apps\\Demo\n", "a relative path"},
      {"Name Remove Demo\nWork C:\\Apps\\Demo\\..\n", "a climbing path"},
      {"Work C:\\Apps\\Demo\n", "no Name line"},
      {"Name Remove Demo\nWork C:\\Apps\\Demo\nWork C:\\\n", "two Work lines"},
      {"Name Remove Demo\nWork C:\\Apps\\Demo\n\0DelD C:\\", "a NUL"},
  };
  for (const auto& [text, what] : rows) {
    fake.files[kLog] = std::string(text, std::char_traits<char>::length(text) +
                                             (std::string_view(what) == "a NUL" ? 10 : 0));
    std::string why;
    EXPECT_FALSE(load(&why)) << what;
    EXPECT_FALSE(why.empty()) << what;
  }
}

struct HostileLogRow {
  const char* name;
  const char* lines;
  std::function<void(FakePlatform&)> setUp;
  std::function<void(const FakePlatform&, const UninstallReport&)> check;
};
void PrintTo(const HostileLogRow& row, std::ostream* os) { *os << row.name; }

class HostileLog : public UninstallTest, public ::testing::WithParamInterface<HostileLogRow> {};

TEST_P(HostileLog, ActsOnlyInsideItsFolders) {
  fake.addDirectory("C:\\Windows\\System32");
  fake.files["C:\\Windows\\win.ini"] = "w";
  fake.files["C:\\Apps\\x"] = "x";
  fake.files["C:\\Desktop\\notes.txt"] = "n";
  fake.registry["HKLM\\Software\\Microsoft\\Windows"]["v"] = "1";
  if (GetParam().setUp) GetParam().setUp(fake);
  writeLog(GetParam().lines);
  const UninstallReport r = uninstall();
  EXPECT_FALSE(r.complete());
  EXPECT_TRUE(fake.directories.count("C:\\Windows\\System32"));
  EXPECT_EQ(fake.file("C:\\Windows\\win.ini"), "w");
  EXPECT_EQ(fake.file("C:\\Apps\\x"), "x");
  EXPECT_EQ(fake.file("C:\\Desktop\\notes.txt"), "n");
  EXPECT_TRUE(fake.registry.count("HKLM\\Software\\Microsoft\\Windows"));
  if (GetParam().check) GetParam().check(fake, r);
}

INSTANTIATE_TEST_SUITE_P(
    Logs, HostileLog,
    ::testing::Values(
        HostileLogRow{"ForgedSystemFolder", "DelD C:\\windows\nDelD C:\\Windows\\System32\n", nullptr, nullptr},
        HostileLogRow{"Climbing", "DelF C:\\Apps\\Demo\\..\\x\nDelF ..\\..\\x\nDelD C:\\Apps\\Demo\\...\n", nullptr, nullptr},
        HostileLogRow{"OtherDriveAndShare", "DelF D:\\x\nDelD \\\\server\\share\\x\nDelF \\\\?\\C:\\Apps\\x\n", nullptr, nullptr},
        HostileLogRow{"KeysTooHigh",
                      "DelK HLM Software\nDelK HLM Software\\Microsoft\nDelK HLM \nDelK HCR a\\b\\c\n"
                      "DelK HLM Software\\\\Microsoft\\Windows\nDelK XYZ Software\\a\\b\n",
                      nullptr, nullptr},
        HostileLogRow{"DesktopFilesThatAreNotLinks",
                      "DelF C:\\Desktop\\notes.txt\nDelF C:\\Desktop\\*.lnk\nDelD C:\\Desktop\n",
                      nullptr, nullptr},
        HostileLogRow{"ProgramsItselfAndAProtectedFolderBelowIt",
                      "DelD C:\\Menu\\Programs\nDelD C:\\Menu\nDelD C:\\AppData\n",
                      [](FakePlatform& f) { f.addDirectory("C:\\Menu\\Programs\\Other"); },
                      [](const FakePlatform& f, const UninstallReport&) {
                        EXPECT_TRUE(f.directories.count("C:\\Menu\\Programs\\Other"));
                      }},
        HostileLogRow{"WildcardBeforeTheLastName", "DelF C:\\Apps\\*\\x\nDelF C:\\Apps\\Demo*\\x\n", nullptr, nullptr},
        HostileLogRow{"LinkInsideAListedFolderIsRemovedNotEntered", "DelD C:\\Apps\\Demo\\data\nDelF C:\\nowhere\n",
                      [](FakePlatform& f) {
                        f.addDirectory("C:\\Apps\\Demo\\data");
                        f.systemLinks["C:\\Apps\\Demo\\data\\win"] = true;
                      },
                      [](const FakePlatform& f, const UninstallReport&) {
                        EXPECT_FALSE(f.systemLinks.count("C:\\Apps\\Demo\\data\\win"));
                        EXPECT_FALSE(f.directories.count("C:\\Apps\\Demo\\data"));
                        for (const std::string& c : f.calls)
                          EXPECT_NE(c, "listFolder C:\\Apps\\Demo\\data\\win");
                      }},
        HostileLogRow{"InUseFileIsReportedNotFatal", "DelF C:\\Apps\\Demo\\a.exe\nDelF C:\\Apps\\Demo\\b.exe\n",
                      [](FakePlatform& f) {
                        f.files["C:\\Apps\\Demo\\a.exe"] = "a";
                        f.files["C:\\Apps\\Demo\\b.exe"] = "b";
                        f.failRemove.insert("C:\\Apps\\Demo\\a.exe");
                      },
                      [](const FakePlatform& f, const UninstallReport& r) {
                        EXPECT_EQ(r.leftBehind, std::vector<std::string>{"C:\\Apps\\Demo\\a.exe"});
                        EXPECT_EQ(f.file("C:\\Apps\\Demo\\b.exe"), "<missing>");
                        EXPECT_TRUE(r.logKept);
                        EXPECT_NE(f.file("C:\\Apps\\Demo\\UnInstall.log"), "<missing>");
                      }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UninstallPaths, Wildcards) {
  const struct {
    const char* pattern;
    const char* name;
    bool match;
  } rows[] = {
      {"*.log", "run.LOG", true}, {"*.log", "run.log.txt", false}, {"a?c", "abc", true},
      {"a?c", "ac", false},       {"*", "..", false},              {"*a*b", "xxaxxb", true},
      {"*a*b", "xxaxxbx", false}, {"\xc4*", "\xe4x", true},  // cp1251 letters fold too
  };
  for (const auto& r : rows) EXPECT_EQ(matchesWildcard(r.pattern, r.name), r.match) << r.pattern << " " << r.name;
}

}  // namespace
}  // namespace zorv
