// The fields of a winget manifest against schema 1.10.0's patterns and lengths, and the
// installer manifest against what the setup takes on its command line.
#include "tools/zorv/winget_manifest.h"

#include <gtest/gtest.h>

#include <string>

#include "tools/zorv/winget_fields.h"
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

TEST(WingetFields, PackageIdentifier) {
  const Row rows[] = {
      {"Publisher.App", ""},
      {"A.B.C.D.E.F.G.H", ""},  // 8 parts
      {"Zorv.Demo-App_2", ""},
      {std::string(32, 'p') + "." + std::string(32, 'a'), ""},
      {"Caf\xC3\xA9.App", ""},
      {"App", "has one part"},
      {"", "has one part"},
      {"A.B.C.D.E.F.G.H.I", "has 9 parts"},
      {"Publisher..App", "empty part 2"},
      {".App", "empty part 1"},
      {"Publisher.", "empty part 2"},
      {std::string(33, 'p') + ".App", "part 1 of 33 characters"},
      {"Zorv Demo.App", "white space"},
      {"Zorv.Demo\t", "white space"},
      {"Zorv.\xC2\xA0" "Demo", "white space"},  // U+00A0, white space to ECMAScript
      {"Zorv.\xE3\x80\x80", "white space"},     // U+3000
      {"Zorv/Demo.App", "holds '/'"},
      {"Zorv\\Demo.App", "holds '\\'"},
      {"Zorv.Demo:1", "holds ':'"},
      {"Zorv.De*mo", "holds '*'"},
      {"Zorv.De?mo", "holds '?'"},
      {"Zorv.\"Demo\"", "holds '\"'"},
      {"Zorv.<Demo>", "holds '<'"},
      {"Zorv.De|mo", "holds '|'"},
      {"Zorv.De\x1Fmo", "control character"},
      {"Zorv.Caf\xE9", "not UTF-8"},
      // Three dots and 125 letters: 128 characters, the most; one more is too many.
      {std::string(32, 'a') + "." + std::string(32, 'b') + "." + std::string(32, 'c') + "." +
           std::string(29, 'd'),
       ""},
      {std::string(32, 'a') + "." + std::string(32, 'b') + "." + std::string(32, 'c') + "." +
           std::string(30, 'd'),
       "is 129 characters long"},
  };
  expectProblems(packageIdentifierProblem, std::begin(rows), std::end(rows));
}

TEST(WingetFields, PackageVersion) {
  const Row rows[] = {
      {"1.0", ""},
      {"2024.1 beta (x86)", ""},
      {std::string(128, '9'), ""},
      {std::string(129, '9'), "is 129 characters long"},
      {"", "is empty"},
      {"1.0/2", "holds '/'"},
      {"1:2", "holds ':'"},
      {"1.0\n", "control character"},
  };
  expectProblems(packageVersionProblem, std::begin(rows), std::end(rows));
}

TEST(WingetFields, Locale) {
  const Row rows[] = {
      {"en-US", ""},
      {"en", ""},
      {"ru-RU", ""},
      {"zh-Hant-TW", ""},
      {"fil-PH", ""},
      {"i-klingon", ""},
      {"x-private-ab", ""},
      {"en-abcdefgh", ""},
      {"e", "not a locale"},
      {"engl-US", "not a locale"},
      {"en_US", "not a locale"},
      {"en-", "not a locale"},
      {"-US", "not a locale"},
      {"en-abcdefghi", "not a locale"},
      {"x-abcdefghi", "not a locale"},
      {"en-U5", "not a locale"},
      {"", "not a locale"},
      {"en-aaaaaaaa-bbbbbbbb", ""},  // 20 characters, the most
      {"en-aaaaaaaa-bbbbbbbbb", "is 21 characters long"},
  };
  expectProblems(localeProblem, std::begin(rows), std::end(rows));
}

TEST(WingetFields, InstallerUrl) {
  const std::string host = "https://example.com/";
  const Row rows[] = {
      {"https://example.com/setup.exe", ""},
      {"http://example.com/setup.exe", ""},
      {"HTTPS://EXAMPLE.COM/SETUP.EXE", ""},
      {"HtTp://x", ""},
      {host + std::string(2048 - host.size(), 'a'), ""},
      {host + std::string(2049 - host.size(), 'a'), "is 2049 characters long"},
      {"ftp://example.com/setup.exe", "does not start with https:// or http://"},
      {"example.com/setup.exe", "does not start with"},
      {"https:/example.com", "does not start with"},
      {"file:///C:/setup.exe", "does not start with"},
      {"", "does not start with"},
      {"https://", "names nothing after"},
      {"https://example.com/\nsetup.exe", "line break"},
      {"https://example.com/\r", "line break"},
      {"https://example.com/\xE2\x80\xA8", "line break"},
  };
  expectProblems(installerUrlProblem, std::begin(rows), std::end(rows));
}

TEST(WingetFields, Lengths) {
  EXPECT_EQ(lengthProblem("MIT", kLicenseLimits), "");
  EXPECT_NE(lengthProblem("GP", kLicenseLimits).find("at least 3"), std::string::npos);
  EXPECT_EQ(lengthProblem(std::string(512, 'x'), kLicenseLimits), "");
  EXPECT_NE(lengthProblem(std::string(513, 'x'), kLicenseLimits).find("at most 512"),
            std::string::npos);
  EXPECT_EQ(lengthProblem("Zo", kPublisherLimits), "");
  EXPECT_NE(lengthProblem("Z", kPublisherLimits).find("at least 2"), std::string::npos);
  // Characters, not bytes: three two-byte characters are three.
  EXPECT_EQ(lengthProblem("\xC3\xA9\xC3\xA9\xC3\xA9", kLicenseLimits), "");
  // Past U+FFFF a character is two UTF-16 units, as winget counts: 128 of them are 256.
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

TEST(WingetPackageProblem, NamesTheValueWhereItCameFromAndTheField) {
  const struct {
    void (*change)(WingetPackage&);
    const char* message;
  } rows[] = {
      {[](WingetPackage&) {}, ""},
      {[](WingetPackage& p) { p.identifier = "Demo"; },
       "--id \"Demo\": has one part; winget takes 2 to 8 parts joined by dots, such as "
       "Publisher.App (PackageIdentifier)"},
      {[](WingetPackage& p) { p.installerUrl = "ftp://x"; },
       "--url \"ftp://x\": does not start with https:// or http:// (InstallerUrl)"},
      {[](WingetPackage& p) { p.locale = "english"; }, "--locale \"english\": "},
      {[](WingetPackage& p) { p.license = "GP"; },
       "--license \"GP\": is 2 characters long; winget needs at least 3 (License)"},
      {[](WingetPackage& p) { p.shortDescription = "ab"; }, "--description \"ab\": "},
      {[](WingetPackage& p) {
         p.shortDescription = "ab";
         p.descriptionOrigin = "the setup's FileDescription";
       },
       "the setup's FileDescription \"ab\": "},
      {[](WingetPackage& p) { p.version = "1.0/beta"; },
       "[application] version \"1.0/beta\": holds '/', one of \\/:*?\"<>| (PackageVersion)"},
      {[](WingetPackage& p) { p.publisher = "Z"; }, "[application] publisher \"Z\": "},
      {[](WingetPackage& p) { p.name = "Z"; }, "[application] name \"Z\": "},
  };
  for (const auto& r : rows) {
    WingetPackage p = demo();
    r.change(p);
    const std::string problem = wingetPackageProblem(p);
    if (*r.message == '\0')
      EXPECT_EQ(problem, "");
    else
      EXPECT_TRUE(problem.starts_with(r.message)) << problem << "\nexpected: " << r.message;
  }
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
  for (const auto& [code, response] : {std::pair{kExitCancelled, "cancelledByUser"},
                                       std::pair{kExitFileInUse, "fileInUse"},
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

TEST(WingetManifests, NamesAndScope) {
  WingetPackage p = demo();
  p.locale = "ru-RU";
  const auto files = wingetManifests(p);
  EXPECT_EQ(files[0].suffix, ".yaml");
  EXPECT_EQ(files[1].suffix, ".locale.ru-RU.yaml");
  EXPECT_EQ(files[2].suffix, ".installer.yaml");
  EXPECT_EQ(valueOf(files[2].text, "Scope"), "machine");
  p.userScope = true;
  EXPECT_EQ(valueOf(wingetManifests(p)[2].text, "Scope"), "user");
  for (const ManifestFile& f : files) {
    EXPECT_TRUE(f.text.starts_with("# yaml-language-server: $schema=https://aka.ms/"));
    EXPECT_TRUE(f.text.ends_with("ManifestVersion: 1.10.0\n")) << f.suffix;
  }
}

}  // namespace
}  // namespace zorv
