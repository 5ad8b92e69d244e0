// The zorv command line as parsed, without running a command: what each spelling gives the
// command, and which lines are usage errors naming what is wrong.
#include "tools/zorv/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zorv {
namespace {

CommandLine parse(std::vector<std::string> args) { return parseCommandLine(args, "1.2.3"); }

template <typename Args>
Args argsOf(const CommandLine& line) {
  EXPECT_TRUE(line.command.has_value()) << line.error;
  if (!line.command || !std::holds_alternative<Args>(*line.command)) {
    ADD_FAILURE() << "another command";
    return {};
  }
  return std::get<Args>(*line.command);
}

TEST(CommandLine, BuildOptionsInEverySpelling) {
  struct Row {
    std::vector<std::string> args;
    std::string out;
    unsigned threads;
  } rows[] = {
      {{"build", "m.toml", "-oout.exe", "-j4"}, "out.exe", 4},
      {{"build", "m.toml", "-o", "a.pkg", "-j", "2"}, "a.pkg", 2},
      {{"build", "--output=SETUP.EXE", "--jobs", "16", "m.toml"}, "SETUP.EXE", 16},
      {{"build", "m.toml", "--output", "x.Pkg", "--jobs=1"}, "x.Pkg", 1},
  };
  for (const Row& row : rows) {
    const BuildArgs a = argsOf<BuildArgs>(parse(row.args));
    EXPECT_EQ(a.manifest, "m.toml") << row.out;
    EXPECT_EQ(a.out, row.out);
    EXPECT_EQ(a.threads, row.threads) << row.out;
  }
}

// A device is written in place, so /dev/null makes a dry run.
TEST(CommandLine, ADeviceIsAnOutputWhateverItsName) {
  if (!std::filesystem::is_character_file("/dev/null")) GTEST_SKIP() << "no /dev/null here";
  EXPECT_EQ(argsOf<BuildArgs>(parse({"build", "m.toml", "-o", "/dev/null"})).out, "/dev/null");
}

TEST(CommandLine, ValuesOfTheOtherCommands) {
  EXPECT_EQ(argsOf<InitArgs>(parse({"init"})).dir, ".");
  EXPECT_EQ(argsOf<InitArgs>(parse({"init", "app"})).dir, "app");
  EXPECT_EQ(argsOf<ExtractArgs>(parse({"extract", "f.pkg"})).dir, ".");
  EXPECT_EQ(argsOf<ExtractArgs>(parse({"extract", "f.pkg", "-Cdir"})).dir, "dir");
  EXPECT_EQ(argsOf<ExtractArgs>(parse({"extract", "--directory", "d", "f.pkg"})).dir, "d");
  EXPECT_EQ(argsOf<ExtractArgs>(parse({"extract", "f.pkg"})).jobs, 0u);  // one per processor
  EXPECT_EQ(argsOf<ExtractArgs>(parse({"extract", "f.pkg", "-j1"})).jobs, 1u);
  EXPECT_EQ(argsOf<InstallArgs>(parse({"install", "f", "--dest", "d", "--jobs=3"})).jobs, 3u);
  EXPECT_EQ(argsOf<ListArgs>(parse({"list", "--", "-f.pkg"})).file, "-f.pkg");
  EXPECT_EQ(argsOf<VerifyArgs>(parse({"test", "f.pkg"})).file, "f.pkg");

  const CatArgs cat = argsOf<CatArgs>(parse({"cat", "f", "--range", "1:2:3"}));
  ASSERT_TRUE(cat.range.has_value());
  EXPECT_EQ(cat.range->offset, 1u);
  EXPECT_EQ(cat.range->unpacked, 2u);
  EXPECT_EQ(cat.range->packed, 3u);
  EXPECT_FALSE(cat.entry.has_value());
  EXPECT_EQ(argsOf<CatArgs>(parse({"cat", "f", "--entry", "7"})).entry, 7u);

  const InstallArgs i = argsOf<InstallArgs>(parse(
      {"install", "f", "--dest", "d", "--lang", "ru", "--no-desktop", "--run", "--desktop-dir=D"}));
  EXPECT_EQ(i.language, 1);
  EXPECT_FALSE(i.desktop);
  EXPECT_TRUE(i.run);
  EXPECT_EQ(i.paths.desktopDir, "D");
  EXPECT_TRUE(argsOf<UninstallArgs>(parse({"uninstall", "d", "-y"})).yes);
}

TEST(CommandLine, WingetTakesItsDefaultsAndAnEmptyDescriptionAsGiven) {
  const std::vector<std::string> required = {
      "winget", "s.exe", "--id", "A.B", "--url=https://x/s.exe", "--license", "MIT"};
  const WingetArgs w = argsOf<WingetArgs>(parse(required));
  EXPECT_EQ(w.file, "s.exe");
  EXPECT_EQ(w.id, "A.B");
  EXPECT_EQ(w.url, "https://x/s.exe");
  EXPECT_EQ(w.license, "MIT");
  EXPECT_EQ(w.dir, ".");
  EXPECT_EQ(w.locale, "en-US");
  EXPECT_FALSE(w.description.has_value());

  std::vector<std::string> more = required;
  more.insert(more.end(), {"-oout", "--locale", "ru-RU", "--description", ""});
  const WingetArgs m = argsOf<WingetArgs>(parse(more));
  EXPECT_EQ(m.dir, "out");
  EXPECT_EQ(m.locale, "ru-RU");
  EXPECT_EQ(m.description, "");  // given, so refused for its length rather than replaced
}

TEST(CommandLine, HelpAndVersionAreAnswersOnStandardOutput) {
  const struct {
    std::vector<std::string> args;
    std::string printed;
  } rows[] = {
      {{"--version"}, "zorv 1.2.3\n"},
      {{"version"}, "zorv 1.2.3\n"},
      {{"help"}, "Usage: zorv COMMAND"},
      {{"--help"}, "Usage: zorv COMMAND"},
      {{"help", "extract"}, "Usage: zorv extract FILE [-C DIR]"},
      {{"extract", "--help"}, "Usage: zorv extract FILE [-C DIR]"},
      {{"build", "m.toml", "-h"}, "Usage: zorv build MANIFEST"},
      {{"init", "--help"}, "Usage: zorv init [DIR]"},
      {{"help", "winget"}, "Usage: zorv winget SETUP.exe --id ID --url URL --license TEXT"},
  };
  for (const auto& row : rows) {
    const CommandLine line = parse(row.args);
    EXPECT_FALSE(line.command.has_value()) << row.args[0];
    EXPECT_EQ(line.status, 0) << row.args[0];
    EXPECT_NE(line.output.find(row.printed), std::string::npos) << line.output;
    EXPECT_EQ(line.error, "");
  }
}

TEST(CommandLine, UsageErrorsNameWhatIsWrong) {
  const struct {
    std::vector<std::string> args;
    std::string named;
  } rows[] = {
      {{}, "a command is required"},
      {{"frobnicate"}, "\"frobnicate\""},
      {{"help", "frobnicate"}, "\"frobnicate\""},
      {{"build", "m.toml", "-o", "out.zip"}, "\"out.zip\""},
      {{"build", "m.toml", "-o", "setup.exe.bak"}, "setup.exe.bak"},
      {{"build", "m.toml", "-o", "a.pkg", "--frob"}, "--frob"},
      {{"build", "m.toml", "--frob"}, "--frob"},  // named before the missing --output
      {{"build", "m.toml"}, "--output is required"},
      {{"build", "-o", "a.pkg"}, "MANIFEST is required"},
      {{"build", "m.toml", "-o", "a.pkg", "-j0"}, "--jobs"},
      {{"build", "m.toml", "-o", "a.pkg", "-jx"}, "--jobs"},
      {{"build", "m.toml", "-o", "a.pkg", "-j"}, "--jobs"},
      {{"cat", "f"}, "--entry"},
      {{"cat", "f", "--entry", "1", "--range", "1:2:3"}, "--entry"},
      {{"cat", "f", "--range", "1:2"}, "\"1:2\""},
      {{"cat", "f", "--entry", "-1"}, "--entry"},
      {{"list", "a", "b"}, "expected: b"},
      {{"list", "-f.pkg"}, "-f.pkg"},
      {{"install", "f"}, "--dest is required"},
      {{"install", "f", "--dest", "d", "--lang", "fr"}, "fr"},
      {{"install", "f", "--dest", "d", "-j0"}, "--jobs"},
      {{"extract", "f", "--jobs", "x"}, "--jobs"},
      {{"uninstall"}, "DEST is required"},
      {{"help", "build", "list"}, "list"},
      {{"init", "a", "b"}, "expected: b"},
      {{"winget", "s.exe", "--url", "https://x", "--license", "MIT"}, "--id is required"},
      {{"winget", "s.exe", "--id", "A.B", "--license", "MIT"}, "--url is required"},
      {{"winget", "s.exe", "--id", "A.B", "--url", "https://x"}, "--license is required"},
      {{"winget", "--id", "A.B", "--url", "https://x", "--license", "MIT"},
       "SETUP.exe is required"},
      {{"winget", "s.exe", "--id", "A.B", "--url", "https://x", "--license", "MIT", "--frob"},
       "--frob"},
  };
  for (const auto& row : rows) {
    const CommandLine line = parse(row.args);
    const std::string what = row.args.empty() ? "(none)" : row.args.back();
    EXPECT_FALSE(line.command.has_value()) << what;
    EXPECT_EQ(line.status, kUsageError) << what;
    EXPECT_EQ(line.output, "") << what;
    EXPECT_EQ(line.error.rfind("zorv: ", 0), 0u) << line.error;
    EXPECT_NE(line.error.find(row.named), std::string::npos) << line.error;
    EXPECT_EQ(line.error.find('\n'), std::string::npos) << line.error;
  }
}

}  // namespace
}  // namespace zorv
