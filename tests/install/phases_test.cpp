// The phases one by one: registry values and markers, links, names that climb out of the
// destination, nesting, log values and long paths.
#include <functional>

#include "log/uninstall_paths.h"
#include "tests/install/install_fixture.h"

namespace zorv {
namespace {

struct ValueRow {
  const char* name;
  const char* type;
  const char* data;
  const char* expected;  // "<missing>": not written
};

TEST_F(InstallTest, RegistryValuesMarkersAndTypes) {
  const ValueRow rows[] = {
      {"src", "REG_SZ", "SRCDIR", "C:\\Setup"},
      {"dword", "REG_DWORD", "1", "<missing>"},  // before the first REG_SZ
      {"dest", "REG_SZ", "DESTDIR\\bin\\tool.exe", "C:\\Apps\\Demo\\bin\\tool.exe"},
      {"date", "reg_sz", "DATEINSTALL", " 5. 3.2002  9: 7: 0"},
      {"late", "Reg_Sz", "Installed DATEINSTALL", " 5. 3.2002  9: 7: 0ATEINSTALL"},
      {"both", "REG_SZ", "DESTDIR SRCDIR", "C:\\SetupR SRCDIR"},
      {"plain", "REG_SZ", "hello", "hello"},
      {"binary", "REG_BINARY", "01", "<missing>"},  // after a REG_SZ: still not written
      {"empty", "REG_SZ", "", ""},
  };
  pkg.value("early", "REG_SZ", "before the root");
  pkg.root("hLm", "Software\\Demo");
  for (const ValueRow& r : rows) pkg.value(r.name, r.type, r.data);
  pkg.add(kTagValue, {5, 7, 0, 'b', 'a', 'd'});  // malformed: counted, skipped
  pkg.root("HCU", "Software\\Second");
  pkg.value("after", "REG_SZ", "x");
  fake.now = {2002, 3, 5, 9, 7, 0};
  install();
  for (const ValueRow& r : rows)
    EXPECT_EQ(fake.value("HKLM\\Software\\Demo", r.name), r.expected) << r.name;
  EXPECT_EQ(fake.value("HKLM\\Software\\Demo", "early"), "<missing>");
  EXPECT_EQ(fake.registry.count("HKCU\\Software\\Second"), 0u);
  EXPECT_EQ(callsOf("setProgressRange").back(), "setProgressRange 10");
  EXPECT_EQ(callsOf("setProgressPos").back(), "setProgressPos 10");
  EXPECT_EQ(log().find("Second"), std::string::npos);
  EXPECT_TRUE(completed());
}

TEST(RegistryRoots, AbbreviationsInAnyCase) {
  const std::pair<const char*, std::optional<RegRoot>> rows[] = {{"HLM", RegRoot::LocalMachine},
                                                                 {"hlm", RegRoot::LocalMachine},
                                                                 {"HcR", RegRoot::ClassesRoot},
                                                                 {"hcc", RegRoot::CurrentConfig},
                                                                 {"HCU", RegRoot::CurrentUser},
                                                                 {"hu", RegRoot::Users},
                                                                 {"HKLM", std::nullopt},
                                                                 {"HL", std::nullopt},
                                                                 {"", std::nullopt},
                                                                 {"HLM ", std::nullopt}};
  for (const auto& [text, root] : rows) EXPECT_EQ(rootFromText(text), root) << text;
}

TEST(Timestamp, BlankPadded) {
  EXPECT_EQ(formatInstallTimestamp({2002, 3, 5, 9, 7, 0}), " 5. 3.2002  9: 7: 0");
  EXPECT_EQ(formatInstallTimestamp({2024, 12, 31, 23, 59, 58}), "31.12.2024 23:59:58");
}

TEST_F(InstallTest, LanguageIsWrittenWithoutRootRecords) {
  state.language = kRussian;
  install();
  EXPECT_EQ(fake.value("HKLM\\SoftWare\\Zantrel\\Demo", "Language"), "ru");
  EXPECT_EQ(log(), "Name Remove Demo\nWork C:\\Apps\\Demo\n");
}

// Link rules: what is saved and what is logged after "Name" and "Work".
struct LinkRow {
  const char* name;
  std::function<void(TestPackage&, FakePlatform&, SetupState&)> setUp;
  std::vector<std::string> saved;  // link paths
  std::string logTail;
};
void PrintTo(const LinkRow& row, std::ostream* os) { *os << row.name; }

class LinkRules : public InstallTest, public ::testing::WithParamInterface<LinkRow> {};

TEST_P(LinkRules, SaveAndLog) {
  GetParam().setUp(pkg, fake, state);
  install();
  std::vector<std::string> saved;
  for (const auto& l : fake.links) {
    saved.push_back(l.path);
    EXPECT_EQ(l.workingDirectory, kDest);
    EXPECT_EQ(l.target, "C:\\Apps\\Demo\\" + l.description);
  }
  EXPECT_EQ(saved, GetParam().saved);
  EXPECT_EQ(log(), "Name Remove Demo\nWork C:\\Apps\\Demo\n" + GetParam().logTail);
  EXPECT_TRUE(completed());
}

const std::string kGroup = "C:\\Menu\\Programs\\Demo";

INSTANTIATE_TEST_SUITE_P(
    Shortcuts, LinkRules,
    ::testing::Values(LinkRow{"GroupSubFolder",
                              [](TestPackage& p, FakePlatform&, SetupState&) {
                                p.link(kTagGroupLink, "Tools\\Viewer", "bin\\view.exe");
                                p.link(kTagGroupLink, "\\Lead",
                                       "lead.exe");  // first character: no folder
                              },
                              {kGroup + "\\Tools\\Viewer.lnk", kGroup + "\\\\Lead.lnk"},
                              "DelD " + kGroup + "\n"},
                      LinkRow{"DesktopOnly",
                              [](TestPackage& p, FakePlatform&, SetupState&) {
                                p.link(kTagDesktopLink, "Demo", "demo.exe");
                                p.link(kTagDesktopLink, "Sub\\Demo",
                                       "demo.exe");  // logged, never made
                              },
                              {"C:\\Desktop\\Demo.lnk"},
                              "DelF C:\\Desktop\\Demo.lnk\nDelF C:\\Desktop\\Sub\\Demo.lnk\n"},
                      LinkRow{"DesktopOptionOff",
                              [](TestPackage& p, FakePlatform&, SetupState& s) {
                                s.placeIconsOnDesktop = false;
                                p.link(kTagGroupLink, "Demo", "demo.exe");
                                p.link(kTagDesktopLink, "Demo", "demo.exe");
                              },
                              {kGroup + "\\Demo.lnk"},
                              "DelD " + kGroup + "\n"},
                      LinkRow{"NoProgramsFolder",
                              [](TestPackage& p, FakePlatform& f, SetupState&) {
                                f.folders.erase(SpecialFolder::Programs);
                                p.link(kTagGroupLink, "Demo", "demo.exe");
                                p.link(kTagDesktopLink, "Demo", "demo.exe");
                              },
                              {"C:\\Desktop\\Demo.lnk"},
                              "DelF C:\\Desktop\\Demo.lnk\n"},
                      LinkRow{"NoDesktopFolder",
                              [](TestPackage& p, FakePlatform& f, SetupState&) {
                                f.folders.erase(SpecialFolder::DesktopDirectory);
                                p.link(kTagDesktopLink, "Demo", "demo.exe");
                              },
                              {},
                              ""},
                      LinkRow{"NoShellLinkObject",
                              [](TestPackage& p, FakePlatform& f, SetupState&) {
                                f.linksAvailable = false;
                                p.link(kTagGroupLink, "Demo", "demo.exe");
                                p.link(kTagDesktopLink, "Demo", "demo.exe");
                              },
                              {},
                              ""},
                      LinkRow{"EscapingAndUnreadableLinksSkipped",
                              [](TestPackage& p, FakePlatform&, SetupState&) {
                                p.link(kTagGroupLink, "..\\..\\Startup\\Evil", "evil.exe");
                                p.add(kTagGroupLink, {9, 2, 'x', 0});
                                p.link(kTagGroupLink, "Demo", "demo.exe");
                                p.link(kTagDesktopLink, "C:\\Evil", "evil.exe");
                              },
                              {kGroup + "\\Demo.lnk"},
                              "DelD " + kGroup + "\n"},
                      LinkRow{"LinkPathOver259Skipped",
                              [](TestPackage& p, FakePlatform&, SetupState&) {
                                // C:\Desktop\ is 11 characters, ".lnk" 4: 245 gives 260.
                                p.link(kTagDesktopLink, std::string(245, 'n'), "demo.exe");
                                p.link(kTagDesktopLink, std::string(244, 'n'), "demo.exe");
                              },
                              {"C:\\Desktop\\" + std::string(244, 'n') + ".lnk"},
                              "DelF C:\\Desktop\\" + std::string(244, 'n') + ".lnk\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InstallTest, SkippedLinksStillMoveTheBar) {
  pkg.link(kTagGroupLink, "..\\Evil", "evil.exe");
  pkg.link(kTagGroupLink, "Demo", "demo.exe");
  install();
  EXPECT_EQ(callsOf("setProgress"),
            (std::vector<std::string>{"setProgressRange 0", "setProgressRange 2",
                                      "setProgressPos 0", "setProgressPos 1", "setProgressPos 2"}));
}

TEST_F(InstallTest, GroupSubFolderFailureShowsDirectoryMessage) {
  fake.failCreateDirectory.insert(kGroup + "\\Tools");
  pkg.link(kTagGroupLink, "Tools\\Viewer", "view.exe");
  install();
  ASSERT_EQ(fake.messages.size(), 1u);
  EXPECT_EQ(fake.messages[0].text, kGroup + "\\Tools - Error Create");
  EXPECT_EQ(fake.messages[0].caption, "Directory");
  EXPECT_TRUE(fake.links.empty());  // attempted, but the folder is missing
  EXPECT_TRUE(completed());
}

TEST(EscapingNames, Table) {
  const std::pair<const char*, bool> rows[] = {
      {"..\\evil.txt", true},  {"a\\..\\b", true},  {"a/../b", true}, {"a\\..", true},
      {"...\\x", true},        {".. \\x", true},    {"C:evil", true}, {"a:b", true},
      {"\\\\server\\x", true}, {"//x", true},       {"\\/x", true},   {"\\lead.txt", false},
      {"/lead.txt", false},    {"a\\b.txt", false}, {"a..b", false},  {".hidden", false},
      {"a/./b", false},        {"", false}};
  for (const auto& [name, escapes] : rows) EXPECT_EQ(escapesDirectory(name), escapes) << name;
}

TEST_F(InstallTest, EscapingFileFailsBeforeItsLogLine) {
  pkg.file("ok.txt", "1");
  pkg.file("..\\evil.txt", "2");
  install();
  ASSERT_EQ(fake.messages.size(), 1u);
  EXPECT_EQ(fake.messages[0].text, "Error create file\n in C:\\Apps\\Demo");
  EXPECT_EQ(log(), "Name Remove Demo\nWork C:\\Apps\\Demo\nDelF C:\\Apps\\Demo\\ok.txt\n");
  EXPECT_EQ(fake.file("C:\\Apps\\evil.txt"), "<missing>");
  EXPECT_TRUE(fake.closed);
}

TEST_F(InstallTest, EscapingNestedFileFails) {
  pkg.dir("sub", {pkg.nestedFile("sub\\..\\..\\evil.txt", "x")});
  install();
  EXPECT_EQ(fake.messages.size(), 1u);
  EXPECT_EQ(fake.file("C:\\Apps\\evil.txt"), "<missing>");
  EXPECT_TRUE(fake.closed);
}

TEST_F(InstallTest, CleanupEntriesThatEscapeOrCannotBeReadAreSkipped) {
  pkg.text(kTagDeleteDir, "..\\Windows");
  pkg.text(kTagDeleteDir, "cache");
  pkg.writer.addInline(kTagDeleteDir, "inline", 1, 1);
  pkg.add(kTagDeleteFile, {4, 'a', 'b', 'c'});  // no NUL
  pkg.text(kTagDeleteFile, "C:\\boot.ini");
  pkg.text(kTagDeleteFile, "\\*.tmp");
  pkg.dir("..\\outside", {});  // its members are still walked; its name is never logged
  install();
  EXPECT_EQ(log(),
            "Name Remove Demo\nWork C:\\Apps\\Demo\nDelD C:\\Apps\\Demo\\cache\n"
            "DelF C:\\Apps\\Demo\\\\*.tmp\n");
  EXPECT_TRUE(completed());
}

TEST_F(InstallTest, LogValuesStayOnOneLine) {
  state.appName = "De\r\nmo";
  pkg.text(kTagDeleteFile, "x\nDelK HLM Software");
  install();
  EXPECT_EQ(log(),
            "Name Remove De  mo\nWork C:\\Apps\\Demo\n"
            "DelF C:\\Apps\\Demo\\x DelK HLM Software\n");
}

// `levels` directory records, one inside the other, around one file.
TaggedRange nestedChain(TestPackage& pkg, int levels) {
  TaggedRange item = pkg.nestedFile("deep.txt", "deep");
  for (int i = 0; i < levels; ++i) item = pkg.nestedDir("level", {item});
  return item;
}

TEST_F(InstallTest, NestingToTheLimitIsWalked) {
  pkg.dir("top", {nestedChain(pkg, kMaxDirectoryDepth - 1)});
  install();
  EXPECT_EQ(fake.file("C:\\Apps\\Demo\\deep.txt"), "deep");
  EXPECT_TRUE(completed());
}

TEST_F(InstallTest, NestingPastTheLimitIsUnreadable) {
  pkg.dir("top", {nestedChain(pkg, kMaxDirectoryDepth)});
  install();
  ASSERT_EQ(fake.messages.size(), 1u);
  EXPECT_EQ(fake.messages[0].text, "Error create file\n in C:\\Apps\\Demo");
  EXPECT_EQ(fake.file("C:\\Apps\\Demo\\deep.txt"), "<missing>");
  EXPECT_TRUE(fake.closed);
}

TEST_F(InstallTest, FilePathOver259CharactersFails) {
  // C:\Apps\Demo\ is 13 characters: a name of 246 gives 259, one of 247 gives 260.
  pkg.file(std::string(246, 'a'), "ok");
  pkg.file("sub\\" + std::string(243, 'b'), "too long");
  install();
  EXPECT_EQ(fake.file(std::string(kDest) + "\\" + std::string(246, 'a')), "ok");
  ASSERT_EQ(fake.messages.size(), 1u);
  EXPECT_EQ(fake.messages[0].text, "Error create file\n in C:\\Apps\\Demo");
  EXPECT_TRUE(fake.closed);
}

TEST_F(InstallTest, CarriedUninstallerIsRegisteredAndLogged) {
  pkg.file("uninstall.exe", "u");
  pkg.add(kTagUninstaller, uninstallerRecord("uninstall.exe", "1.2", "Zorv", "bin\\app.exe"));
  pkg.totalBytes = 5000;
  install();
  const std::string key = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo";
  const std::pair<const char*, const char*> values[] = {
      {"DisplayName", "Demo"},
      {"DisplayVersion", "1.2"},
      {"Publisher", "Zorv"},
      {"DisplayIcon", "C:\\Apps\\Demo\\bin\\app.exe"},
      {"InstallLocation", "C:\\Apps\\Demo"},
      {"UninstallString", "\"C:\\Apps\\Demo\\uninstall.exe\""},
      {"QuietUninstallString", "\"C:\\Apps\\Demo\\uninstall.exe\" /S"},
      {"NoModify", "dword:1"},
      {"NoRepair", "dword:1"},
      {"EstimatedSize", "dword:5"},
  };
  for (const auto& [name, data] : values) EXPECT_EQ(fake.value(key, name), data) << name;
  EXPECT_EQ(log(),
            "Name Remove Demo\nWork C:\\Apps\\Demo\nDelF C:\\Apps\\Demo\\uninstall.exe\n"
            "DelK HLM Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo\n");
  EXPECT_TRUE(completed());

  // A later version without a version or publisher rewrites the same entry, leaving neither.
  pkg = TestPackage{};
  pkg.add(kTagUninstaller, uninstallerRecord("uninstall.exe", "", "", ""));
  install();
  EXPECT_EQ(fake.value(key, "DisplayVersion"), "");
  EXPECT_EQ(fake.value(key, "Publisher"), "");
  EXPECT_EQ(fake.registry.size(), 2u);  // the entry and the stored language
}

// A release for the machine links for all users; one for the user alone links in the user's
// own folders, enters the user's list of installed programs and stores no language for the
// machine.
TEST_F(InstallTest, AReleasesScopeDecidesWhereItsLinksAndEntryGo) {
  const std::string entry = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo";
  const struct {
    bool user;
    const char *group, *desktop, *root;
  } rows[] = {{false, "C:\\All\\Programs\\Demo\\Demo.lnk", "C:\\All\\Desktop\\Demo.lnk", "HLM"},
              {true, "C:\\Menu\\Programs\\Demo\\Demo.lnk", "C:\\Desktop\\Demo.lnk", "HCU"}};
  for (const auto& row : rows) {
    fake = FakePlatform{};
    fake.addDirectory(kDest);
    pkg = TestPackage{};
    pkg.file("demo.exe", "x");
    pkg.link(kTagGroupLink, "Demo", "demo.exe");
    pkg.link(kTagDesktopLink, "Demo", "demo.exe");
    pkg.add(kTagUninstaller, uninstallerRecord("uninstall.exe", "1.0", "Z", ""));
    state.release = true;
    state.userScope = row.user;
    install();
    ASSERT_EQ(fake.links.size(), 2u);
    EXPECT_EQ(fake.links[0].path, row.group);
    EXPECT_EQ(fake.links[1].path, row.desktop);
    EXPECT_NE(log().find("DelK " + std::string(row.root) + " " + entry), std::string::npos);
    EXPECT_EQ(fake.registry.count((row.user ? "HKCU\\" : "HKLM\\") + entry), 1u);
    EXPECT_EQ(fake.registry.count("HKLM\\SoftWare\\Zantrel\\Demo"), row.user ? 0u : 1u);
  }
}

TEST_F(InstallTest, UnusableUninstallerRecordsRegisterNothing) {
  const std::pair<const char*, std::function<void(TestPackage&, SetupState&)>> rows[] = {
      {"escaping program",
       [](TestPackage& p, SetupState&) {
         p.add(kTagUninstaller, uninstallerRecord("..\\u.exe", "", "", ""));
       }},
      {"malformed",
       [](TestPackage& p, SetupState&) {
         p.add(kTagUninstaller, {9, 1, 1, 1, 'u'});
       }},
      {"name with a separator",
       [](TestPackage& p, SetupState& s) {
         s.appName = "a\\b";
         p.add(kTagUninstaller, uninstallerRecord("u.exe", "", "", ""));
       }},
  };
  for (const auto& [what, setUp] : rows) {
    InstallTest::TearDown();
    FakePlatform fresh;
    fresh.addDirectory(kDest);
    fake = fresh;
    pkg = TestPackage{};
    state.appName = "Demo";
    setUp(pkg, state);
    install();
    EXPECT_TRUE(completed()) << what;
    EXPECT_EQ(log().find("DelK"), std::string::npos) << what;
    for (const auto& [key, values] : fake.registry)
      EXPECT_EQ(key.find("Uninstall"), std::string::npos) << what;
  }
}

}  // namespace
}  // namespace zorv
