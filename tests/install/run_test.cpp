// The run as a whole: its order, its endings and the uninstall log it leaves.
#include <functional>

#include "tests/install/install_fixture.h"

namespace zorv {
namespace {

TEST_F(InstallTest, DemoLogByteForByte) {
  pkg.file("demo.exe", "MZ");
  pkg.file("help\\demo.hlp", "help");
  pkg.link(kTagGroupLink, "Demo", "demo.exe");
  install();
  EXPECT_EQ(log(),
            "Name Remove Demo\n"
            "Work C:\\Apps\\Demo\n"
            "DelF C:\\Apps\\Demo\\demo.exe\n"
            "DelF C:\\Apps\\Demo\\help\\demo.hlp\n"
            "DelD C:\\Menu\\Programs\\Demo\n");
  EXPECT_EQ(fake.file("C:\\Apps\\Demo\\help\\demo.hlp"), "help");
  EXPECT_TRUE(completed());
  EXPECT_EQ(fake.openFiles(), 0u);
}

TEST_F(InstallTest, StepsRunInTheirFixedOrder) {
  pkg.file("a.txt", "abc");
  pkg.dir("d", {pkg.nestedFile("d\\b.txt", "xy")});
  pkg.link(kTagGroupLink, "App", "a.txt");
  pkg.link(kTagDesktopLink, "App", "a.txt");
  pkg.text(kTagDeleteFile, "*.tmp");  // before the "DelD" entry, logged after it
  pkg.root("HLM", "Software\\Demo");
  pkg.value("v", "REG_SZ", "1");
  pkg.text(kTagDeleteDir, "logs");
  install();
  const std::vector<std::string> expected = {"showControl 1000 0",
                                             "showControl 1001 0",
                                             "showControl 1002 0",
                                             "showControl 1009 0",
                                             "showControl 1003 0",
                                             "showControl 1004 0",
                                             "showControl 1005 0",
                                             "showControl 1006 0",
                                             "showControl 1007 0",
                                             "showControl 1020 0",
                                             "showControl 1021 0",
                                             "showControl 1022 0",
                                             "showControl 1023 0",
                                             "showControl 1024 0",
                                             "showControl 1015 0",
                                             "showStageBitmap 0",
                                             "showControl 1012 1",
                                             "showControl 1013 1",
                                             "showControl 1014 1",
                                             "setText 1013 Copy files",
                                             "openOutputFile C:\\Apps\\Demo\\UnInstall.log",
                                             "setProgressRange 5",
                                             "setText 1014 a.txt",
                                             "openOutputFile C:\\Apps\\Demo\\a.txt",
                                             "setProgressPos 3",
                                             "setText 1014 d",
                                             "setText 1014 d\\b.txt",
                                             "createDirectory C:\\Apps\\Demo\\d",
                                             "openOutputFile C:\\Apps\\Demo\\d\\b.txt",
                                             "setProgressPos 5",
                                             "showStageBitmap 1",
                                             "beginLinks C:\\Apps\\Demo",
                                             "createDirectory C:\\Menu\\Programs\\Demo",
                                             "setProgressRange 1",
                                             "setProgressPos 0",
                                             "setText 1013 Create Shortcuts",
                                             "setText 1014 App",
                                             "saveLink C:\\Menu\\Programs\\Demo\\App.lnk",
                                             "setProgressPos 1",
                                             "setText 1013 Place to Desktop",
                                             "setProgressRange 1",
                                             "setProgressPos 0",
                                             "setText 1014 App",
                                             "saveLink C:\\Desktop\\App.lnk",
                                             "setProgressPos 1",
                                             "endLinks",
                                             "createKey HKLM\\Software\\Demo",
                                             "setText 1013 Create Registry Keys",
                                             "setProgressRange 1",
                                             "setProgressPos 0",
                                             "setText 1014 v",
                                             "setString v",
                                             "setProgressPos 1",
                                             "createKey HKLM\\SoftWare\\Zantrel\\Demo",
                                             "setString Language",
                                             "showControl 1012 0",
                                             "showControl 1013 0",
                                             "setText 1014  Install complete!",
                                             "setText 1007 Ok",
                                             "showControl 1007 1"};
  EXPECT_EQ(fake.calls, expected);
  EXPECT_EQ(log(),
            "Name Remove Demo\nWork C:\\Apps\\Demo\nDelF C:\\Apps\\Demo\\a.txt\n"
            "DelD C:\\Apps\\Demo\\d\nDelD C:\\Menu\\Programs\\Demo\nDelF C:\\Desktop\\App.lnk\n"
            "DelK HLM Software\\Demo\nDelD C:\\Apps\\Demo\\logs\nDelF C:\\Apps\\Demo\\*.tmp\n");
  EXPECT_EQ(fake.value("HKLM\\SoftWare\\Zantrel\\Demo", "Language"), "en");
}

// Each ending: the message, then closeSetup as the last call, the log as far as it got, and
// nothing after the failing step.
struct FailureRow {
  const char* name;
  int language;
  std::function<void(TestPackage&, FakePlatform&)> setUp;
  std::string message;
  std::string caption;
  std::string log;    // "<missing>" when none was created
  bool lastFileMade;  // false when the run stopped in the file phase
};
void PrintTo(const FailureRow& row, std::ostream* os) { *os << row.name; }

class FailureEnding : public InstallTest, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(FailureEnding, ShowsItsMessageAndCloses) {
  const FailureRow& row = GetParam();
  state.language = row.language;
  pkg.file("a.txt", "1");
  pkg.file("b.txt", "2");
  row.setUp(pkg, fake);
  pkg.file("d.txt", "4");
  pkg.link(kTagGroupLink, "App", "a.txt");
  install();
  ASSERT_EQ(fake.messages.size(), 1u);
  EXPECT_EQ(fake.messages[0].text, row.message);
  EXPECT_EQ(fake.messages[0].caption, row.caption);
  ASSERT_GE(fake.calls.size(), 2u);
  EXPECT_EQ(fake.calls.back(), "closeSetup");
  EXPECT_EQ(fake.calls[fake.calls.size() - 2], "messageBox " + row.caption);
  EXPECT_EQ(log(), row.log);
  EXPECT_FALSE(completed());
  EXPECT_EQ(fake.file("C:\\Apps\\Demo\\b.txt"),
            row.log.find("b.txt") != std::string::npos ? "2" : "<missing>");
  EXPECT_EQ(fake.file("C:\\Apps\\Demo\\d.txt"), row.lastFileMade ? "4" : "<missing>");
  EXPECT_EQ(fake.value("HKLM\\SoftWare\\Zantrel\\Demo", "Language"), "<missing>");
  EXPECT_EQ(fake.openFiles(), 0u);
}

const std::string kAB =
    "Name Remove Demo\nWork C:\\Apps\\Demo\nDelF C:\\Apps\\Demo\\a.txt\nDelF "
    "C:\\Apps\\Demo\\b.txt\n";
const std::string kFileError = "Error create file\n in C:\\Apps\\Demo";

INSTANTIATE_TEST_SUITE_P(
    Run, FailureEnding,
    ::testing::Values(
        FailureRow{"LogCannotBeCreated", 0,
                   [](TestPackage&, FakePlatform& f) {
                     f.failOpen.insert("C:\\Apps\\Demo\\UnInstall.log");
                   },
                   "C:\\Apps\\Demo\\UnInstall.log\n do'not create!", "Demo", "<missing>", false},
        FailureRow{"LogCannotBeCreatedRussian", 1,
                   [](TestPackage&, FakePlatform& f) {
                     f.failOpen.insert("C:\\Apps\\Demo\\UnInstall.log");
                   },
                   "C:\\Apps\\Demo\\UnInstall.log\n \xED\xE5\xEB\xFC\xE7\xFF "
                   "\xF1\xEE\xE7\xE4\xE0\xF2\xFC!",
                   "Demo", "<missing>", false},
        FailureRow{"LogCannotBeWritten", 0,
                   [](TestPackage&, FakePlatform& f) {
                     f.failWrite.insert("C:\\Apps\\Demo\\UnInstall.log");
                   },
                   "C:\\Apps\\Demo\\UnInstall.log\n do'not create!", "Demo", "", false},
        FailureRow{"ThirdFileCannotBeOpened", 0,
                   [](TestPackage& p, FakePlatform& f) {
                     p.file("c.txt", "3");
                     f.failOpen.insert("C:\\Apps\\Demo\\c.txt");
                   },
                   kFileError, "Demo", kAB + "DelF C:\\Apps\\Demo\\c.txt\n", false},
        FailureRow{"ThirdFileCannotBeWrittenRussian", 1,
                   [](TestPackage& p, FakePlatform& f) {
                     p.file("c.txt", "3");
                     f.failWrite.insert("C:\\Apps\\Demo\\c.txt");
                   },
                   "\xCE\xF8\xE8\xE1\xEA\xE0 \xE7\xE0\xEF\xE8\xF1\xE8 \xF4\xE0\xE9\xEB\xE0 \n "
                   "\xE2 C:\\Apps\\Demo",
                   "Demo", kAB + "DelF C:\\Apps\\Demo\\c.txt\n", false},
        FailureRow{"InlineCopyEntry", 0,
                   [](TestPackage& p, FakePlatform&) { p.writer.addInline(kTagCopy, "c", 1, 1); },
                   kFileError, "Demo", kAB, false},
        FailureRow{"NestedFileCannotBeWritten", 0,
                   [](TestPackage& p, FakePlatform& f) {
                     p.dir("sub", {p.nestedFile("sub\\c.txt", "3")});
                     f.failCreateDirectory.insert("C:\\Apps\\Demo\\sub");
                   },
                   kFileError, "Demo",
                   kAB + "DelF C:\\Apps\\Demo\\d.txt\nDelD C:\\Apps\\Demo\\sub\n", true},
        FailureRow{"NestedRangeCannotBeRead", 0,
                   [](TestPackage& p, FakePlatform&) {
                     const std::uint8_t junk[] = {1, 2, 3, 4};
                     p.dir("sub", {{kTagCopy, p.writer.addRaw(junk, 40)}});
                   },
                   kFileError, "Demo",
                   kAB + "DelF C:\\Apps\\Demo\\d.txt\nDelD C:\\Apps\\Demo\\sub\n", true},
        FailureRow{"RegistryKeyCannotBeCreated", 0,
                   [](TestPackage& p, FakePlatform&) {
                     p.root("HKLM", "Software\\Demo");  // four letters name no root
                     p.value("v", "REG_SZ", "1");
                   },
                   "Error create Key\n in Software\\Demo", "Demo",
                   kAB + "DelF C:\\Apps\\Demo\\d.txt\nDelD C:\\Menu\\Programs\\Demo\n"
                         "DelK HKLM Software\\Demo\n",
                   true},
        FailureRow{"RegistryKeyRefusedRussian", 1,
                   [](TestPackage& p, FakePlatform& f) {
                     p.root("hcu", "Software\\Demo");
                     f.failKey.insert("HKCU\\Software\\Demo");
                   },
                   "\xCD\xE5\xEB\xFC\xE7\xFF \xF1\xEE\xE7\xE4\xE0\xF2\xFC \xEA\xEB\xFE\xF7 \n "
                   "\xE2Software\\Demo",
                   "Demo",
                   kAB + "DelF C:\\Apps\\Demo\\d.txt\nDelD C:\\Menu\\Programs\\Demo\n"
                         "DelK hcu Software\\Demo\n",
                   true},
        FailureRow{"UnreadableRootRecord", 0,
                   [](TestPackage& p, FakePlatform&) {
                     p.add(kTagRoot, {4, 0, 0, 'H'});
                   },
                   "Error create Key\n in ", "Demo",
                   kAB + "DelF C:\\Apps\\Demo\\d.txt\nDelD C:\\Menu\\Programs\\Demo\n", true}),
    [](const auto& info) { return std::string(info.param.name); });

// The ending after the log: with or without a program to start.
struct EndRow {
  const char* name;
  bool runAfterInstall;
  bool hasRunEntry;
  bool programExists;
  bool started;  // the program started and the setup closed without the completion state
};

class RunAfterInstall : public InstallTest, public ::testing::WithParamInterface<EndRow> {};

TEST_P(RunAfterInstall, StartsTheProgramOrCompletes) {
  const EndRow& row = GetParam();
  state.runAfterInstall = row.runAfterInstall;
  if (row.programExists) pkg.file("bin\\tool.exe", "MZ");
  if (row.hasRunEntry) pkg.text(kTagRunProgram, "bin\\tool.exe");
  pkg.writer.addInline(kTagRunProgram, "second", 0, 0);  // only the first counts
  install();
  EXPECT_TRUE(fake.messages.empty());
  EXPECT_EQ(fake.closed, row.started);
  EXPECT_EQ(completed(), !row.started);
  const bool attempted = row.runAfterInstall && row.hasRunEntry;
  ASSERT_EQ(fake.processes.size(), attempted ? 1u : 0u);
  if (attempted) {
    EXPECT_EQ(fake.processes[0].application, "bin\\tool.exe");
    EXPECT_EQ(fake.processes[0].commandLine, "bin\\tool.exe");
    EXPECT_EQ(fake.processes[0].currentDirectory, kDest);
  }
}

INSTANTIATE_TEST_SUITE_P(Run, RunAfterInstall,
                         ::testing::Values(EndRow{"OptionOff", false, true, true, false},
                                           EndRow{"NoEntry", true, false, true, false},
                                           EndRow{"MissingProgram", true, true, false, false},
                                           EndRow{"Started", true, true, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InstallTest, UnreadableRunEntryIsSkipped) {
  state.runAfterInstall = true;
  pkg.writer.addInline(kTagRunProgram, "inline", 5, 5);
  install();
  EXPECT_TRUE(fake.processes.empty());
  EXPECT_TRUE(completed());
}

TEST_F(InstallTest, ProgressFollowsEachPhase) {
  pkg.file("big.bin", std::string(1000000, 'x'));  // blocks of 512,000 and 488,000
  pkg.link(kTagGroupLink, "One", "big.bin");
  pkg.link(kTagGroupLink, "Two", "big.bin");
  pkg.link(kTagDesktopLink, "One", "big.bin");
  pkg.root("HLM", "Software\\Demo");
  pkg.value("a", "REG_SZ", "1");
  pkg.value("b", "REG_BINARY", "2");  // counted, not written
  pkg.value("c", "REG_SZ", "3");
  install();
  EXPECT_EQ(callsOf("setProgress"),
            (std::vector<std::string>{
                "setProgressRange 1000000", "setProgressPos 512000", "setProgressPos 1000000",
                "setProgressRange 2", "setProgressPos 0", "setProgressPos 1", "setProgressPos 2",
                "setProgressRange 1", "setProgressPos 0", "setProgressPos 1", "setProgressRange 3",
                "setProgressPos 0", "setProgressPos 1", "setProgressPos 2", "setProgressPos 3"}));
  EXPECT_EQ(fake.file("C:\\Apps\\Demo\\big.bin").size(), 1000000u);
}

TEST_F(InstallTest, FilesOnlyLeaveTheBarFullAndTheStatusUnchanged) {
  pkg.file("a.txt", "abc");
  pkg.file("empty.txt", "");
  pkg.root("HLM", "Software\\Demo");  // a key without values
  install();
  EXPECT_EQ(callsOf("setProgress").back(), "setProgressPos 3");
  EXPECT_EQ(callsOf("setText 1013"), std::vector<std::string>{"setText 1013 Copy files"});
  EXPECT_EQ(fake.file("C:\\Apps\\Demo\\empty.txt"), "");
  EXPECT_TRUE(fake.registry.count("HKLM\\Software\\Demo"));
  EXPECT_TRUE(completed());
}

}  // namespace
}  // namespace zorv
