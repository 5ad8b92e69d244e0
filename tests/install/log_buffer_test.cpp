// The uninstall log is written a few kilobytes at a time yet holds every line, and a log that
// fails after its first write still ends the run with the log's message.
#include <string>

#include "tests/install/install_fixture.h"

namespace zorv {
namespace {

// Counts the writes that grow the log, and fails those from the `failFrom`-th on.
struct LogWatch : FakePlatform {
  static constexpr const char* kLog = "C:\\Apps\\Demo\\UnInstall.log";
  int logWrites = 0;
  int failFrom = -1;
  bool writeFile(FileHandle file, std::span<const std::uint8_t> bytes) override {
    const std::size_t before = files.count(kLog) ? files[kLog].size() : 0;
    if (!FakePlatform::writeFile(file, bytes)) return false;
    if (!files.count(kLog) || files[kLog].size() == before) return true;
    if (logWrites++ == failFrom || (failFrom >= 0 && logWrites > failFrom)) {
      files[kLog].resize(before);
      return false;
    }
    return true;
  }
};

struct LoggedRun {
  LogWatch fake;
  SetupState state;
  std::vector<std::uint8_t> bytes;

  explicit LoggedRun(int files, int failFrom = -1) {
    fake.failFrom = failFrom;
    fake.addDirectory("C:\\Apps\\Demo");
    state.appName = "Demo";
    state.destinationDir = "C:\\Apps\\Demo";
    state.runAfterInstall = false;
    TestPackage pkg;
    for (int i = 0; i < files; ++i) pkg.file("file-" + std::to_string(i) + ".txt", "x");
    bytes = pkg.writer.finish().value();
    state.package = openPackage(bytes);
    state.requiredBytes = pkg.totalBytes;
    runInstall(state, fake, fake);
  }
};

TEST(UninstallLog, ManyLinesGoOutInAFewWritesAndNoneIsLost) {
  LoggedRun run(300);
  const std::string log = run.fake.file(LogWatch::kLog);
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 302);
  EXPECT_TRUE(log.ends_with("DelF C:\\Apps\\Demo\\file-299.txt\n"));
  EXPECT_LE(run.fake.logWrites, 2 + int(log.size() / kLogBufferBytes) + 1);
  EXPECT_TRUE(run.fake.messages.empty());
}

TEST(UninstallLog, AWriteThatFailsLaterStillEndsTheRunWithTheLogsMessage) {
  LoggedRun run(300, 1);
  ASSERT_EQ(run.fake.messages.size(), 1u);
  EXPECT_EQ(run.fake.messages[0].text, "C:\\Apps\\Demo\\UnInstall.log\n do'not create!");
  EXPECT_EQ(run.fake.calls.back(), "closeSetup");
  EXPECT_EQ(run.fake.file(LogWatch::kLog), "Name Remove Demo\n");
}

}  // namespace
}  // namespace zorv
