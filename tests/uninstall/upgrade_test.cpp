// One log across versions: a release installed over an earlier install of the same application
// carries the earlier log's lines over, so that the uninstaller removes what any version
// installed; anything else in the earlier log stays out. (A run stopped midway: the Wine and
// the zorv scenarios.)
#include "tests/install/install_fixture.h"
#include "uninstall/uninstall.h"

namespace zorv {
namespace {

class UpgradeTest : public InstallTest {
 protected:
  UpgradeTest() { state.release = true; }

  // Version 1: a.txt, b.txt and data\old.dat, a group link and a key; then a fresh package
  // for version 2.
  void installVersion1() {
    pkg.file("a.txt", "a1");
    pkg.file("b.txt", "b1");
    pkg.dir("data", {pkg.nestedFile("data\\old.dat", "o")});
    pkg.link(kTagGroupLink, "Demo\\Demo", "a.txt");
    pkg.root("HCU", "Software\\Zorv\\Demo1");
    pkg.value("V", "REG_SZ", "1");
    install();
    ASSERT_TRUE(completed());
    pkg = TestPackage{};
    fake.controlTexts.clear();
  }
  UninstallReport uninstall() {
    std::string why;
    const std::optional<UninstallLog> parsed =
        loadUninstallLog(fake, kLog, fake.protectedList, &why);
    EXPECT_TRUE(parsed) << why;
    if (!parsed) return {};
    return runUninstall(*parsed, defaultUninstallScope(fake, fake, fake, *parsed, kLog), fake);
  }
  std::size_t count(std::string_view line) const {
    const std::string l = log();
    std::size_t n = 0;
    for (std::size_t at = l.find(line); at != std::string::npos; at = l.find(line, at + 1)) ++n;
    return n;
  }
};

TEST_F(UpgradeTest, TheNewLogHoldsEveryVersionsLinesOnce) {
  installVersion1();
  pkg.file("b.txt", "b2");
  pkg.file("c.txt", "c2");
  install();
  ASSERT_TRUE(completed());
  EXPECT_TRUE(log().starts_with("Name Remove Demo\nWork C:\\Apps\\Demo\n")) << log();
  for (const char* line : {"DelF C:\\Apps\\Demo\\a.txt\n", "DelF C:\\Apps\\Demo\\b.txt\n",
                           "DelF C:\\Apps\\Demo\\c.txt\n", "DelF C:\\Apps\\Demo\\data\\old.dat\n",
                           "DelE C:\\Apps\\Demo\\data\n", "DelK HCU Software\\Zorv\\Demo1\n",
                           "Name Remove Demo\n", "Work C:\\Apps\\Demo\n"})
    EXPECT_EQ(count(line), 1u) << line << log();
  // Written beside, then moved over: never the earlier file truncated.
  EXPECT_EQ(
      callsOf("replaceFile"),
      std::vector<std::string>{"replaceFile C:\\Apps\\Demo\\UnInstall.new " + std::string(kLog)});
  EXPECT_EQ(fake.file("C:\\Apps\\Demo\\UnInstall.new"), "<missing>");

  const UninstallReport r = uninstall();
  EXPECT_TRUE(r.complete());
  EXPECT_TRUE(fake.files.empty()) << fake.files.begin()->first;
  EXPECT_FALSE(fake.directories.count(kDest));
  EXPECT_FALSE(fake.directories.count("C:\\Menu\\Programs\\Demo"));
  EXPECT_FALSE(fake.registry.count("HKCU\\Software\\Zorv\\Demo1"));
}

// What an earlier log in the destination may hand on. `lines` follow its "Name" and "Work".
struct EarlierLog {
  const char* name;
  std::string log;
  std::vector<std::string> carried;  // the lines expected after the new log's first two
};

class Earlier : public UpgradeTest, public ::testing::WithParamInterface<EarlierLog> {};

TEST_P(Earlier, IsCarriedOnlyWhereTheUninstallerWouldAct) {
  fake.files[kLog] = GetParam().log;
  pkg.file("x.txt", "x");
  install();
  ASSERT_TRUE(completed());
  std::string expected = "Name Remove Demo\nWork C:\\Apps\\Demo\n";
  for (const std::string& line : GetParam().carried) expected += line + "\n";
  EXPECT_EQ(log(), expected);
}

const std::string kHead = "Name Remove Demo\nWork C:\\Apps\\Demo\n";
const std::string kNewLine = "DelF C:\\Apps\\Demo\\x.txt";  // the run's own line
INSTANTIATE_TEST_SUITE_P(
    Upgrade, Earlier,
    ::testing::Values(
        EarlierLog{
            "Forged",
            kHead +
                "DelF C:\\Windows\\win.ini\nDelF C:\\Apps\\Demo\\..\\..\\Windows\\x\n"
                "DelD C:\\Apps\\Demo\\*\nDelD C:\\Menu\\Programs\nDelF C:\\Desktop\\a.txt\n"
                "DelK HLM Software\\Microsoft\\Windows\\CurrentVersion\\Run\nDelK HLM Software\n"
                "DelK HXX Software\\Zorv\\Demo\nJunk line\n"
                "DelF C:\\Apps\\Demo\\ok.txt\nDelF C:\\Desktop\\Demo.lnk\nDelF "
                "C:\\Apps\\Demo\\*.log\n"
                "DelK HLM Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo\n",
            {"DelF C:\\Apps\\Demo\\*.log", "DelF C:\\Apps\\Demo\\ok.txt",
             "DelF C:\\Desktop\\Demo.lnk",
             "DelK HLM Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo", kNewLine}},
        EarlierLog{"AnotherApplication",
                   "Name Remove Other\nWork C:\\Apps\\Demo\nDelF C:\\Apps\\Demo\\other.txt\n",
                   {kNewLine}},
        EarlierLog{
            "Damaged", kHead + "DelF C:\\Apps\\Demo\\a.txt\n" + std::string(1, '\0'), {kNewLine}},
        EarlierLog{
            "TwoNames", kHead + "Name Remove Demo\nDelF C:\\Apps\\Demo\\a.txt\n", {kNewLine}},
        EarlierLog{"LongerThanTheNewOne",
                   kHead + "DelF C:\\Apps\\Demo\\x.txt\r\n" + std::string(3000, '\n') +
                       "DelF C:\\Apps\\Demo\\" + std::string(200, 'z') + "\n",
                   // Its x.txt is the run's own line, carried (a CR dropped), not written twice.
                   {kNewLine, "DelF C:\\Apps\\Demo\\" + std::string(200, 'z')}}),
    [](const auto& info) { return std::string(info.param.name); });

// A plain package replaces an earlier log as it always has, and a log that cannot be written
// beside the earlier one stops the run before anything is made, the earlier log untouched.
TEST_F(UpgradeTest, APlainPackageReplacesTheLogAndAFailedNewLogKeepsTheOld) {
  installVersion1();
  const std::string v1 = log();
  fake.failOpen.insert("C:\\Apps\\Demo\\UnInstall.new");
  pkg.file("z.txt", "z");
  install();
  EXPECT_FALSE(completed());
  EXPECT_EQ(log(), v1);
  EXPECT_EQ(fake.file("C:\\Apps\\Demo\\z.txt"), "<missing>");
  EXPECT_EQ(fake.messages.back().text, "C:\\Apps\\Demo\\UnInstall.log\n do'not create!");

  state.release = false;
  install();
  EXPECT_EQ(log().find("a.txt"), std::string::npos) << log();
}

}  // namespace
}  // namespace zorv
