// The command line of package managers and the install without the page, on the fake.
#include "tests/install/install_fixture.h"
#include "wizard/setup_arguments.h"
#include "wizard/unattended.h"

namespace zorv {
namespace {

TEST(SetupArguments, AsPackageManagersWriteThem) {
  const struct {
    const char* line;
    bool silent;
    const char* destination;  // null: none
  } rows[] = {
      {"setup.exe", false, nullptr},
      {"\"C:\\My Setup\\setup.exe\" /S", true, nullptr},
      {"\"C:\\My Setup\\setup.exe\"/S", true, nullptr},
      {"setup.exe /s /D=C:\\Apps\\Quick Notes", true, "C:\\Apps\\Quick Notes"},
      {"setup.exe /D=C:\\Apps\\QN  ", false, "C:\\Apps\\QN"},
      {"setup.exe /D=C:\\A /S", false, "C:\\A /S"},  // "/D=" takes the rest of the line
      {"setup.exe /D=", false, nullptr},
      {"setup.exe /SS /X=1 S /Dx=C:\\A", false, nullptr},
      {"\"C:\\S /S\\setup.exe\" x", false, nullptr},  // inside the program's own name
      {"setup.exe\t/S\t/d=D:\\\"quoted\"", true, "D:\\\"quoted\""},
  };
  for (const auto& r : rows) {
    const SetupArguments a = parseSetupArguments(r.line);
    EXPECT_EQ(a.silent, r.silent) << r.line;
    EXPECT_EQ(a.destination, r.destination ? r.destination : "") << r.line;
  }
}

class UnattendedTest : public InstallTest {
 protected:
  int installSilently(const std::string& destination) {
    bytes = pkg.writer.finish().value();
    state.package = openPackage(bytes);
    EXPECT_TRUE(state.package);
    state.requiredBytes = pkg.totalBytes;
    state.runAfterInstall = true;  // the page's default, which "/S" does not follow
    return runUnattendedInstall(state, fake, view, destination, "C:\\Apps");
  }
  SilentRunView view;
};

TEST_F(UnattendedTest, InstallsIntoTheDefaultOrTheNamedFolderAndStartsNothing) {
  pkg.file("demo.exe", "exe");
  pkg.text(kTagRunProgram, "demo.exe");
  EXPECT_EQ(installSilently(""), kExitInstalled);
  EXPECT_EQ(fake.file("C:\\Apps\\Demo\\demo.exe"), "exe");
  EXPECT_TRUE(fake.processes.empty());
  EXPECT_TRUE(fake.messages.empty());

  pkg = TestPackage();
  pkg.file("demo.exe", "exe");
  EXPECT_EQ(installSilently("C:\\Other Place\\Quick Notes"), kExitInstalled);
  EXPECT_EQ(fake.file("C:\\Other Place\\Quick Notes\\demo.exe"), "exe");
}

TEST_F(UnattendedTest, ExitCodesTellHowItEnded) {
  pkg.file("demo.exe", std::string(5000, 'x'));
  fake.freeSpace = 1000;  // less than the five kilobytes needed
  EXPECT_EQ(installSilently(""), kExitNoSpace);
  EXPECT_TRUE(callsOf("openOutput").empty()) << "nothing written before the check";
  EXPECT_FALSE(fake.exists("C:\\Apps\\Demo\\UnInstall.log"));

  fake.freeSpace = 1u << 30;
  fake.failCreateDirectory.insert("C:\\Blocked");
  EXPECT_EQ(installSilently("C:\\Blocked\\Demo"), kExitFailed);
  EXPECT_EQ(installSilently(std::string(300, 'x')), kExitFailed);  // no ANSI path holds it
}

// A file that stands there and cannot be replaced is in use: the question comes, in the
// package's language, as often as Retry is answered; Cancel ends the run with exit code 3 and
// no file error after it. A folder in its place is no file in use.
TEST_F(UnattendedTest, AFileInUseIsAskedAboutThenEndsWithItsOwnCode) {
  state.release = true;
  pkg.file("demo.exe", "exe");
  fake.addDirectory("C:\\Apps\\Demo");
  fake.files["C:\\Apps\\Demo\\demo.exe"] = "old";
  fake.inUse.insert("C:\\Apps\\Demo\\demo.exe");
  fake.retries = 2;
  EXPECT_EQ(installSilently(""), kExitFileInUse);
  ASSERT_EQ(fake.messages.size(), 3u);
  for (const auto& m : fake.messages)
    EXPECT_EQ(m.text,
              "The file is in use by another program:\nC:\\Apps\\Demo\\demo.exe\n\n"
              "Close that program and press Retry, or press Cancel to stop the install.");
  EXPECT_EQ(fake.file("C:\\Apps\\Demo\\demo.exe"), "old");

  fake = FakePlatform();
  pkg = TestPackage();
  pkg.file("demo.exe", "exe");
  fake.addDirectory("C:\\Apps\\Demo\\demo.exe");  // a folder where the file goes
  EXPECT_EQ(installSilently(""), kExitFailed);
  EXPECT_EQ(callsOf("askRetry").size(), 0u);
}

// An upgrade goes where the earlier version lives, when its entry in the list of installed
// programs and the log in that folder both name this application; "/D=" still decides.
TEST_F(UnattendedTest, AnUpgradeProposesTheEarlierFolder) {
  const std::string arp = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo";
  const struct {
    const char* what;
    const char* log;  // in C:\\Old\\Demo; null: none
    const char* expected;
  } rows[] = {
      {"its own log", "Name Remove Demo\nWork C:\\Old\\Demo\n", "C:\\Old\\Demo"},
      {"another application's log", "Name Remove Other\nWork C:\\Old\\Demo\n", "C:\\Apps\\Demo"},
      {"a longer name", "Name Remove Demo 2\n", "C:\\Apps\\Demo"},
      {"no log", nullptr, "C:\\Apps\\Demo"},
  };
  for (const auto& r : rows) {
    fake = FakePlatform();
    fake.registry[arp]["InstallLocation"] = "C:\\Old\\Demo";
    fake.addDirectory("C:\\Old\\Demo");
    if (r.log) fake.files["C:\\Old\\Demo\\UnInstall.log"] = r.log;
    EXPECT_EQ(previousInstallFolder(fake, "Demo").value_or("C:\\Apps\\Demo"), r.expected) << r.what;
  }
  fake.files["C:\\Old\\Demo\\UnInstall.log"] = rows[0].log;
  pkg.file("demo.exe", "exe");
  EXPECT_EQ(installSilently(""), kExitInstalled);
  EXPECT_EQ(state.destinationDir, "C:\\Old\\Demo");
  pkg = TestPackage();
  pkg.file("demo.exe", "exe");
  EXPECT_EQ(installSilently("C:\\New"), kExitInstalled);
  EXPECT_EQ(state.destinationDir, "C:\\New");
}

}  // namespace
}  // namespace zorv
