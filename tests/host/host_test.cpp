// The tools' host libraries: the code page line of a log, the path helpers of this system, and
// an output that is written whole or not at all.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "tools/host/host_system.h"
#include "tools/host/output_file.h"
#include "tools/host/text_code_page.h"

namespace zorv {
namespace {

TEST(TextCodePage, TheLogLineIsReadBackAndOthersAreNot) {
  EXPECT_EQ(logCodePage(codePageLogLine(1251)), 1251);
  EXPECT_EQ(logCodePage("DelF /a\n" + codePageLogLine(1252)), 1252);
  for (const char* log : {"", "CPag 866\n", "CPag 1251x\n", "CPag\n", "CPAG 1251\n"})
    EXPECT_EQ(logCodePage(log), std::nullopt) << log;
  EXPECT_EQ(logCodePage("CPag 1251\r\nCPag 1252\n"), 1251);  // the first that names one
}

TEST(HostPaths, FoldersAndNamesInThisSystemsForm) {
  struct Row {
    std::string path, parent;
  };
  for (const Row& row : {Row{"/a/b/c", "/a/b"}, Row{"/a", "/"}})
    EXPECT_EQ(parentFolder(row.path), row.parent) << row.path;
  EXPECT_EQ(absolutePath("/a/./b/../c/"), "/a/c");
  EXPECT_EQ(pathIn("/a", "b"), "/a/b");
  EXPECT_EQ(pathIn("/", "b"), "/b");
  EXPECT_TRUE(sameFolder("/a/b/", "/a/b"));
  EXPECT_FALSE(sameFolder("/a/B", "/a/b"));  // byte for byte here
  EXPECT_EQ(hostPath("C:\\x\\y"), "C:/x/y");
}

TEST(OutputFile, AFailedWriteOrFinishLeavesNothingInTheFolder) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zorv-output-test";
  std::filesystem::remove_all(dir);
  const std::string out = (dir / "sub" / "setup.exe").string();
  using Done = std::expected<void, std::string>;
  auto writes = [](std::FILE* f) -> Done {
    if (std::fputs("MZ", f) >= 0) return {};
    return std::unexpected("fputs");
  };
  auto fails = [](auto&&) -> Done { return std::unexpected("signing failed"); };
  EXPECT_EQ(writeOutput(out, fails).error(), "signing failed");
  EXPECT_EQ(writeOutput(out, writes, fails).error(), "signing failed");
  EXPECT_TRUE(std::filesystem::is_empty(dir / "sub"));
  const Done written = writeOutput(out, writes);
  ASSERT_TRUE(written) << written.error();
  EXPECT_EQ(std::filesystem::file_size(out), 2u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "sub"), {}), 1);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zorv
