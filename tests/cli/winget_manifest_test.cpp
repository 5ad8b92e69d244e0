// The fields of a winget manifest against schema 1.10.0's patterns and lengths, and the
// installer manifest against what the setup takes on its command line.
#include "tools/winget/winget_manifest.h"

#include <gtest/gtest.h>

#include <string>

#include "tools/winget/winget_fields.h"
#include "wizard/setup_arguments.h"
#include "wizard/unattended.h"

namespace zorv {
namespace {

struct Row {
  std::string value;
  const char* problem;  // a part of the message; "" when the schema takes the value
};

void expectProblems(std::string (*check)(std::string_view), const Row* begin, const Row* end) {
  for (const Row* r = begin; r != end; ++r) {
    const std::string problem = check(r->value);
    if (*r->problem == '\0')
      EXPECT_EQ(problem, "") << "value: " << r->value;
    else
      EXPECT_NE(problem.find(r->problem), std::string::npos)
          << "value: " << r->value << "\nproblem: " << problem;
  }
}

// The refusals that tests/cli/winget_test.py makes zorv winget say are not repeated here.
TEST(WingetFields, PackageIdentifier) {
  const std::string a32(32, 'a');
  const Row rows[] = {
      {"A.B.C.D.E.F.G.H", ""},  // 8 parts
      {"Caf\xC3\xA9.App-2_x", ""},
      {a32 + "." + a32 + "." + a32 + "." + std::string(29, 'd'), ""},  // 128 characters
      {a32 + "." + a32 + "." + a32 + "." + std::string(30, 'd'), "is 129 characters long"},
      {"A.B.C.D.E.F.G.H.I", "has 9 parts"},
      {"Publisher..App", "empty part 2"},
      {".App", "empty part 1"},
      {"Zorv.Demo\t", "white space"},
      {"Zorv.\xC2\xA0"
       "Demo",
       "white space"},  // U+00A0 and U+3000: white space to ECMAScript
      {"Zorv.\xE3\x80\x80", "white space"},
      {"Zorv.De\x1Fmo", "control character"},
      {"Zorv.Caf\xE9", "not UTF-8"},
  };
  expectProblems(packageIdentifierProblem, std::begin(rows), std::end(rows));
  for (char c : std::string_view("\\/:*?\"<>|")) {
    const std::string problem = packageIdentifierProblem(std::string("Zorv.De") + c + "mo");
    EXPECT_NE(problem.find(std::string("holds '") + c), std::string::npos) << problem;
  }
}

// Past U+FFFF a character is two UTF-16 units, as winget counts them; the least is in characters.
TEST(WingetFields, LengthsInUtf16Units) {
  EXPECT_EQ(lengthProblem("\xC3\xA9\xC3\xA9\xC3\xA9", kLicenseLimits), "");  // three characters
  std::string wide;
  for (int i = 0; i < 129; ++i) wide += "\xF0\x9F\x98\x80";  // U+1F600
  EXPECT_NE(lengthProblem(wide, kShortDescriptionLimits).find("is 258 characters"),
            std::string::npos);
}

WingetPackage demo() {
  WingetPackage p;
  p.identifier = "Zorv.Demo";
  p.version = "1.0";
  p.locale = "en-US";
  p.publisher = "Zorv Demo Makers";
  p.name = "Zorv Demo";
  p.license = "MIT";
  p.shortDescription = "A demo";
  p.descriptionOrigin = "--description";
  p.installerUrl = "https://example.com/setup.exe";
  p.installerSha256 = std::string(64, 'A');
  return p;
}

std::string valueOf(const std::string& text, const std::string& key) {
  const std::size_t at = text.find(key + ": ");
  if (at == std::string::npos) return "";
  const std::size_t start = at + key.size() + 2;
  return text.substr(start, text.find('\n', start) - start);
}

// What winget runs: the setup, then the switches, the folder in place of <INSTALLPATH>. The
// setup must read that line as an install without its page into that very folder.
TEST(WingetManifests, TheSwitchesAreWhatTheSetupTakes) {
  const std::string installer = wingetManifests(demo())[2].text;
  const std::string silent = valueOf(installer, "  Silent");
  const std::string location = valueOf(installer, "  InstallLocation");
  EXPECT_EQ(valueOf(installer, "  SilentWithProgress"), silent);
  for (const char* folder : {"C:\\Apps\\Zorv Demo", "D:\\x", "C:\\Program Files (x86)\\A B"}) {
    std::string line = location;
    line.replace(line.find("<INSTALLPATH>"), 13, folder);
    const SetupArguments a = parseSetupArguments("\"C:\\Temp\\setup.exe\" " + silent + " " + line);
    EXPECT_TRUE(a.silent) << line;
    EXPECT_EQ(a.destination, folder) << line;
  }
}

TEST(WingetManifests, ReturnCodesAreTheSetupsExitCodes) {
  const std::string installer = wingetManifests(demo())[2].text;
  for (const auto& [code, response] :
       {std::pair{kExitCancelled, "cancelledByUser"}, std::pair{kExitFileInUse, "fileInUse"},
        std::pair{kExitNoSpace, "diskFull"}})
    EXPECT_NE(installer.find("- InstallerReturnCode: " + std::to_string(code) +
                             "\n  ReturnResponse: " + response + "\n"),
              std::string::npos)
        << response;
  // Success and the generic failure are winget's to know.
  for (int code : {kExitInstalled, kExitFailed})
    EXPECT_EQ(installer.find("InstallerReturnCode: " + std::to_string(code) + "\n"),
              std::string::npos);
}

}  // namespace
}  // namespace zorv
