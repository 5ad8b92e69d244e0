// The uninstall engine on the fake: the road after a real install, and logs that an attacker
// wrote, each of which must leave everything outside its folders untouched.
#include <functional>

#include "tests/install/install_fixture.h"
#include "uninstall/uninstall.h"
#include "log/uninstall_paths.h"

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
    return runUninstall(*parsed, defaultUninstallScope(fake, fake, fake, *parsed, kLog), fake);
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
  for (const char* gone :
       {"C:\\Apps\\Demo\\data", "C:\\Apps\\Demo\\saves", "C:\\Menu\\Programs\\Demo"})
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
  UninstallScope scope = defaultUninstallScope(fake, fake, fake, *log, kLog);
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
    fake.files[kLog] = std::string(
        text, std::char_traits<char>::length(text) + (std::string_view(what) == "a NUL" ? 10 : 0));
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
        HostileLogRow{"ForgedSystemFolder", "DelD C:\\windows\nDelD C:\\Windows\\System32\n",
                      nullptr, nullptr},
        HostileLogRow{"Climbing",
                      "DelF C:\\Apps\\Demo\\..\\x\nDelF ..\\..\\x\nDelD C:\\Apps\\Demo\\...\n",
                      nullptr, nullptr},
        HostileLogRow{"OtherDriveAndShare",
                      "DelF D:\\x\nDelD \\\\server\\share\\x\nDelF \\\\?\\C:\\Apps\\x\n", nullptr,
                      nullptr},
        HostileLogRow{
            "KeysTooHigh",
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
        HostileLogRow{"WildcardBeforeTheLastName", "DelF C:\\Apps\\*\\x\nDelF C:\\Apps\\Demo*\\x\n",
                      nullptr, nullptr},
        HostileLogRow{"LinkInsideAListedFolderIsRemovedNotEntered",
                      "DelD C:\\Apps\\Demo\\data\nDelF C:\\nowhere\n",
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
        // Names that a listing gives must stay in their folder: a best-fit rendering of
        // U+FF0E U+FF0E U+FF3C reads "..\\", and a hostile file system may give anything.
        HostileLogRow{
            "ListedNamesThatWouldClimb",
            "DelD C:\\Menu\\Programs\\Demo\nDelF C:\\Apps\\Demo\\*.log\n",
            [](FakePlatform& f) {
              f.addDirectory("C:\\Menu\\Programs\\Demo");
              f.addDirectory("C:\\victimdir");
              f.files["C:\\victimdir\\secret.txt"] = "s";
              f.files["C:\\victim.log"] = "v";
              using E = RemovePlatform::Entry;
              f.strayNames["C:\\Menu\\Programs\\Demo"] = {
                  E{"..\\..\\victimdir", true, false, false},
                  E{"..\\..\\..\\victimdir", true, false, true}, E{"C:", true, false, true},
                  E{". .", true, false, true}, E{"a/../../x", false, false, true}};
              f.strayNames["C:\\Apps\\Demo"] = {E{"..\\..\\victim.log", false, false, false},
                                                E{"..\\..\\victim.log", false, false, true}};
            },
            [](const FakePlatform& f, const UninstallReport& r) {
              EXPECT_EQ(f.file("C:\\victimdir\\secret.txt"), "s");
              EXPECT_EQ(f.file("C:\\victim.log"), "v");
              for (const std::string& c : f.calls)
                EXPECT_TRUE(c.find("..") == std::string::npos &&
                            c.find("C:\\C:") == std::string::npos)
                    << c;
              EXPECT_EQ(r.refused.size(), 7u);
              EXPECT_TRUE(
                  f.directories.count("C:\\Menu\\Programs\\Demo"));  // not empty to the system
            }},
        HostileLogRow{"APathThroughALinkIsLeftBehind",
                      "DelD C:\\Apps\\Demo\\data\\cache\nDelF C:\\Apps\\Demo\\data\\scores.dat\n",
                      [](FakePlatform& f) {
                        f.systemLinks["C:\\Apps\\Demo\\data"] = true;  // a junction to elsewhere
                        f.addDirectory("C:\\Apps\\Demo\\data\\cache");
                        f.files["C:\\Apps\\Demo\\data\\scores.dat"] = "s";
                      },
                      [](const FakePlatform& f, const UninstallReport& r) {
                        EXPECT_EQ(f.file("C:\\Apps\\Demo\\data\\scores.dat"), "s");
                        EXPECT_TRUE(f.directories.count("C:\\Apps\\Demo\\data\\cache"));
                        EXPECT_EQ(r.leftBehind.size(), 2u);
                      }},
        HostileLogRow{
            "KeysOfTreesThatOthersShare",
            "DelK HLM Software\\Microsoft\\Windows NT\nDelK HLM Software\\Microsoft\\Cryptography\n"
            "DelK HLM SOFTWARE\\classes\\CLSID\nDelK HCU Software\\Policies\\Vendor\\App\n"
            "DelK HLM Software\\Wow6432Node\\Vendor\\App\nDelK HLM Software\\Zantrel\\Other\n"
            "DelK HLM Software\\Zantrel\\Installer\n"
            "DelK HLM Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other\n"
            "DelK HLM Software\\Microsoft\\Windows\\CurrentVersion\\Run\n",
            [](FakePlatform& f) {
              for (const char* k :
                   {"Microsoft\\Windows NT", "Microsoft\\Cryptography", "classes\\CLSID",
                    "Wow6432Node\\Vendor\\App", "Zantrel\\Other", "Zantrel\\Installer",
                    "Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other",
                    "Microsoft\\Windows\\CurrentVersion\\Run"})
                f.registry["HKLM\\Software\\" + std::string(k)]["v"] = "1";
              f.registry["HKCU\\Software\\Policies\\Vendor\\App"]["v"] = "1";
            },
            [](const FakePlatform& f, const UninstallReport& r) {
              EXPECT_EQ(r.refused.size(), 9u);
              EXPECT_EQ(f.registry.size(), 10u);  // those nine and the one every row keeps
            }},
        HostileLogRow{"ANameBeforeTheLastWithTrailingBlanksOrDots",
                      "DelF C:\\Apps\\Demo \\victim.txt\nDelF C:\\Apps\\Demo.\\victim.txt\n"
                      "DelD C:\\Apps\\Demo .\\sub\n",
                      [](FakePlatform& f) {
                        f.files["C:\\Apps\\Demo \\victim.txt"] = "v";
                        f.addDirectory("C:\\Apps\\Demo .\\sub");
                      },
                      [](const FakePlatform& f, const UninstallReport& r) {
                        EXPECT_EQ(f.file("C:\\Apps\\Demo \\victim.txt"), "v");
                        EXPECT_TRUE(f.directories.count("C:\\Apps\\Demo .\\sub"));
                        EXPECT_EQ(r.refused.size(), 3u);
                      }},
        HostileLogRow{"ShortNamesThatDoNotExpand",
                      "DelD C:\\Apps\\Demo\\DATA~1\nDelF C:\\PROG~FBU\\Common Files\\x.dll\n",
                      [](FakePlatform& f) {
                        f.shortNames["C:\\PROG~FBU"] = "C:\\Program Files";
                        f.files["C:\\Program Files\\Common Files\\x.dll"] = "x";
                      },
                      [](const FakePlatform& f, const UninstallReport& r) {
                        EXPECT_EQ(f.file("C:\\Program Files\\Common Files\\x.dll"), "x");
                        EXPECT_EQ(r.refused.size(), 2u);
                      }},
        HostileLogRow{"InUseFileIsReportedNotFatal",
                      "DelF C:\\Apps\\Demo\\a.exe\nDelF C:\\Apps\\Demo\\b.exe\n",
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

// A short "Work" is judged in its long form: "C:\\PROG~FBU" is the Program Files folder.
TEST_F(UninstallTest, AShortWorkFolderIsJudgedInItsLongForm) {
  fake.shortNames["C:\\PROG~FBU"] = "C:\\Program Files";
  fake.addDirectory("C:\\Program Files\\Common Files");
  const std::string log = "C:\\PROG~FBU\\UnInstall.log";
  fake.files[log] = "Name Remove Demo\nWork C:\\PROG~FBU\nDelD C:\\PROG~FBU\\Common Files\n";
  std::string why;
  EXPECT_FALSE(loadUninstallLog(fake, log, fake.protectedList, &why));
  EXPECT_NE(why.find("must not be removed"), std::string::npos) << why;
  fake.files[log] = "Name Remove Demo\nWork C:\\APPS~1\\Demo\n";
  EXPECT_FALSE(loadUninstallLog(fake, log, fake.protectedList, &why));
}

// A "Name" that another installation's entry in the list of installed programs claims: neither
// that entry nor its stored language is this log's.
TEST_F(UninstallTest, AnotherApplicationsNameTakesNoneOfItsKeys) {
  const std::string arp = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  fake.registry[arp + "Other"]["InstallLocation"] = "C:\\Apps\\Other";
  fake.registry["HKLM\\SoftWare\\Zantrel\\Other"]["Language"] = "1";
  fake.registry[arp + "Demo"]["InstallLocation"] = "C:\\Apps\\Demo";
  fake.registry["HKLM\\SoftWare\\Zantrel\\Demo"]["Language"] = "1";
  for (const char* name : {"Other", "Demo"}) {
    fake.files[kLog] = "Name Remove " + std::string(name) + "\nWork C:\\Apps\\Demo\nDelK HLM " +
                       arp.substr(5) + name + "\n";
    const UninstallReport r = uninstall();
    EXPECT_EQ(r.complete(), std::string(name) == "Demo") << name;
  }
  EXPECT_TRUE(fake.registry.count(arp + "Other"));
  EXPECT_TRUE(fake.registry.count("HKLM\\SoftWare\\Zantrel\\Other"));
  EXPECT_FALSE(fake.registry.count(arp + "Demo"));
  EXPECT_FALSE(fake.registry.count("HKLM\\SoftWare\\Zantrel\\Demo"));
}

// One budget for the whole run: many wildcard lines over one large folder stop at it, and what
// is left stays listed.
TEST_F(UninstallTest, OneBudgetSpansAllLines) {
  fake.addDirectory("C:\\Apps\\Demo\\big");
  for (int i = 0; i < 5000; ++i) fake.files["C:\\Apps\\Demo\\big\\f" + std::to_string(i)] = "";
  std::string lines;
  for (int i = 0; i < 300; ++i) lines += "DelF C:\\Apps\\Demo\\big\\*.none\n";
  writeLog(lines);
  const UninstallReport r = uninstall();
  EXPECT_TRUE(r.outOfBudget);
  EXPECT_FALSE(r.complete());
  EXPECT_TRUE(r.logKept);
  std::size_t listed = 0;
  for (const std::string& c : fake.calls) listed += c.starts_with("listFolder");
  EXPECT_LE(listed, kMaxRemoveEntries / 5000 + 2);
}

// A release package logs what it wrote inside a packed folder line by line: the user's files
// there stay, with the folders that hold them, and that is no failure.
TEST_F(UninstallTest, AReleaseKeepsTheUsersFilesInItsFolders) {
  state.release = true;
  pkg.dir("data", {pkg.nestedFile("data\\a.dat", "a"),
                   pkg.nestedDir("data\\deep", {pkg.nestedFile("data\\deep\\b.dat", "b")}),
                   pkg.nestedDir("data\\empty", {})});
  pkg.text(kTagDeleteDir, "data\\cache");  // the author's explicit choice goes whole
  install();
  ASSERT_TRUE(completed());
  EXPECT_EQ(log().find("DelD C:\\Apps\\Demo\\data\n"), std::string::npos) << log();
  EXPECT_NE(log().find("DelE C:\\Apps\\Demo\\data\\deep\n"), std::string::npos) << log();
  fake.files["C:\\Apps\\Demo\\data\\deep\\mynotes.txt"] = "mine";
  fake.addDirectory("C:\\Apps\\Demo\\data\\cache");
  fake.files["C:\\Apps\\Demo\\data\\cache\\c.tmp"] = "c";
  const UninstallReport r = uninstall();
  EXPECT_TRUE(r.complete());
  EXPECT_EQ(fake.file("C:\\Apps\\Demo\\data\\deep\\mynotes.txt"), "mine");
  EXPECT_EQ(fake.file("C:\\Apps\\Demo\\data\\a.dat"), "<missing>");
  EXPECT_EQ(fake.file("C:\\Apps\\Demo\\data\\deep\\b.dat"), "<missing>");
  EXPECT_FALSE(fake.directories.count("C:\\Apps\\Demo\\data\\cache"));
  EXPECT_FALSE(fake.directories.count("C:\\Apps\\Demo\\data\\empty"));
  EXPECT_EQ(r.kept,
            (std::vector<std::string>{"C:\\Apps\\Demo\\data\\deep", "C:\\Apps\\Demo\\data"}));
  EXPECT_TRUE(r.workKept);
}

// The same package without the release entry logs the folder whole, as it always has.
TEST_F(UninstallTest, APlainPackageLogsItsFoldersWhole) {
  pkg.dir("data", {pkg.nestedFile("data\\a.dat", "a")});
  install();
  EXPECT_NE(log().find("DelD C:\\Apps\\Demo\\data\n"), std::string::npos) << log();
  EXPECT_EQ(log().find("DelE"), std::string::npos);
  EXPECT_EQ(log().find("DelF C:\\Apps\\Demo\\data\\a.dat"), std::string::npos);
}

TEST(UninstallPaths, Wildcards) {
  const struct {
    const char* pattern;
    const char* name;
    bool match;
  } rows[] = {
      {"*.log", "run.LOG", true}, {"*.log", "run.log.txt", false},
      {"a?c", "abc", true},       {"a?c", "ac", false},
      {"*", "..", false},         {"*a*b", "xxaxxb", true},
      {"*a*b", "xxaxxbx", false}, {"\xc4*", "\xe4x", true},  // cp1251 letters fold too
  };
  for (const auto& r : rows)
    EXPECT_EQ(matchesWildcard(r.pattern, r.name), r.match) << r.pattern << " " << r.name;
}

}  // namespace
}  // namespace zorv
