// The manifest: what it reads into, and every limit error naming the line it concerns.
#include "tools/builder/manifest.h"

#include <gtest/gtest.h>

#include "tests/builder/test_support.h"

namespace zorv {
namespace {

std::optional<Manifest> parse(std::string_view toml, Diagnostics& d) {
  return parseManifest(toml, "m.toml", "/base", d);
}

TEST(Manifest, ReadsEverySection) {
  Diagnostics d;
  auto m = parse(R"([application]
name = "Demo App"
default-parent = 'C:\Apps'
run = "bin/demo.exe"

[[files]]
source = "app"
target = ""
exclude = ["*.bak"]

[[files]]
source = "notes.txt"
target = "docs/notes.txt"

[[shortcut]]
name = 'Tools\Demo'
target = 'bin\demo.exe'

[[shortcut]]
name = "Demo"
target = 'bin\demo.exe'
desktop = true
group = false

[registry]
key = 'hcu\Software\Demo'
[registry.values]
"Zeta" = "DESTDIR"
"Alpha" = 'SRCDIR\x'
"" = "default value"

[uninstall]
folders = ["saves"]
files = ["*.log"]

[bitmaps]
pic1 = "art/pic1.bmp"
)",
                 d);
  ASSERT_TRUE(m) << d.text();
  EXPECT_EQ(m->appName.text, "Demo App");
  EXPECT_EQ(m->appName.line, 2);
  EXPECT_EQ(m->defaultParent->text, "C:\\Apps");
  EXPECT_EQ(m->run->text, "bin\\demo.exe");
  ASSERT_EQ(m->files.size(), 2u);
  EXPECT_EQ(m->files[0].source, std::filesystem::path("/base/app"));
  EXPECT_TRUE(m->files[0].targetGiven);
  EXPECT_EQ(m->files[0].target, "");
  ASSERT_EQ(m->files[0].exclude.size(), 1u);
  EXPECT_EQ(m->files[0].exclude[0].pattern, "*.bak");
  EXPECT_EQ(m->files[0].exclude[0].line, 9);
  EXPECT_EQ(m->files[1].target, "docs\\notes.txt");
  EXPECT_EQ(m->files[1].line, 12);  // the line of its source
  ASSERT_EQ(m->shortcuts.size(), 2u);
  EXPECT_EQ(m->shortcuts[0].name, "Tools\\Demo");
  EXPECT_TRUE(m->shortcuts[0].group);
  EXPECT_FALSE(m->shortcuts[0].desktop);
  EXPECT_FALSE(m->shortcuts[1].group);
  EXPECT_TRUE(m->shortcuts[1].desktop);
  ASSERT_TRUE(m->registry);
  EXPECT_EQ(m->registry->root, "HCU");
  EXPECT_EQ(m->registry->path, "Software\\Demo");
  // The manifest's order, not the table's alphabetical one.
  ASSERT_EQ(m->registry->values.size(), 3u);
  EXPECT_EQ(m->registry->values[0].name, "Zeta");
  EXPECT_EQ(m->registry->values[1].name, "Alpha");
  EXPECT_EQ(m->registry->values[2].name, "");
  EXPECT_EQ(m->deleteFolders[0].text, "saves");
  EXPECT_EQ(m->deleteFiles[0].text, "*.log");
  EXPECT_FALSE(m->bitmaps[0]);
  ASSERT_TRUE(m->bitmaps[3]);
  EXPECT_EQ(m->bitmaps[3]->source, std::filesystem::path("/base/art/pic1.bmp"));
}

const std::string kApp = "[application]\nname = \"Demo\"\n";  // lines 1 and 2

TEST(Manifest, ReadsTheProductIdentity) {
  Diagnostics d;
  auto m = parse(R"([application]
name = "Demo"
version = "1.2.3"
publisher = "Zorv"
copyright = "\u00A9 2026 Zorv"
icon = "art/demo.ico"
[uninstall]
program = false
)",
                 d);
  ASSERT_TRUE(m) << d.text();
  EXPECT_EQ(m->version->text, "1.2.3");
  EXPECT_EQ(m->publisher->text, "Zorv");
  EXPECT_EQ(m->copyright->text, "\xA9 2026 Zorv");  // in code page 1252
  EXPECT_EQ(m->copyright->line, 5);
  EXPECT_EQ(m->icon->source, std::filesystem::path("/base/art/demo.ico"));
  EXPECT_EQ(m->icon->line, 6);
  EXPECT_FALSE(m->uninstaller);
  auto plain = parse(kApp, d);
  ASSERT_TRUE(plain) << d.text();
  EXPECT_TRUE(plain->uninstaller) << "carried unless the manifest says otherwise";
  EXPECT_FALSE(plain->version || plain->publisher || plain->copyright || plain->icon);
}

// The uninstaller removes a key only two or more levels below a root's Software: the builder
// warns of one it would leave, and only when it carries the uninstaller.
TEST(Manifest, WarnsOfAKeyTheUninstallerLeaves) {
  const std::pair<const char*, bool> rows[] = {
      {"HCU\\Software\\Zorv Demo", true}, {"HCU\\Software\\Zorv\\Demo", false},
      {"hlm\\SOFTWARE\\A\\B\\C", false},  {"HCU\\Softwarex\\A\\B", true},
      {"HCR\\.zorv\\shell\\open", true},  {"HLM\\Software", true},
  };
  for (const auto& [key, warned] : rows) {
    for (bool carried : {true, false}) {
      Diagnostics d;
      const std::string toml = kApp + "[registry]\nkey = '" + key + "'\n" +
                               (carried ? "" : "[uninstall]\nprogram = false\n");
      ASSERT_TRUE(parse(toml, d)) << d.text();
      const bool found = d.text().find("m.toml:4: warning: the uninstaller removes only keys") !=
                         std::string::npos;
      EXPECT_EQ(found, warned && carried) << key << (carried ? "" : " (no uninstaller)") << "\n"
                                          << d.text();
    }
  }
}

TEST(Manifest, KeepsAVersionSuffixInTheTextsWithAWarning) {
  Diagnostics d;
  auto m = parse(kApp +
                     "version = \"2.1-beta\"\nscope = \"user\"\n[signing]\n"
                     "command = [\"signer\", \"--in-place\", \"{file}\"]\n",
                 d);
  ASSERT_TRUE(m) << d.text();
  EXPECT_EQ(m->version->text, "2.1-beta");
  EXPECT_TRUE(m->userScope);
  EXPECT_FALSE(m->bestCompression);
  EXPECT_EQ(m->signing->command, (std::vector<std::string>{"signer", "--in-place", "{file}"}));
  EXPECT_NE(d.text().find("file version 2.1.0.0: its suffix \"-beta\""), std::string::npos)
      << d.text();
}

TEST(Manifest, ReadsTheCompression) {
  for (const auto& [text, best] : {std::pair{"default", false}, std::pair{"best", true}}) {
    Diagnostics d;
    auto m = parse(kApp + "[build]\ncompression = \"" + text + "\"\n", d);
    ASSERT_TRUE(m) << d.text();
    EXPECT_EQ(m->bestCompression, best) << text;
  }
}

TEST(Manifest, ConvertsTextsToTheCodePage) {
  Diagnostics d;
  auto m =
      parse("[application]\nname = \"\xD0\x94\xD0\xB5\xD0\xBC\xD0\xBE\"\ncodepage = 1251\n", d);
  ASSERT_TRUE(m) << d.text();
  EXPECT_EQ(m->appName.text, "\xC4\xE5\xEC\xEE");  // Демо
}

// The setup proposes the default parent as written; absolute folders on a drive or a share
// are the ones it can use wherever it is started.
TEST(Manifest, AcceptsAbsoluteDefaultParents) {
  for (const char* parent : {"C:\\", "C:\\Program Files", "d:\\Games\\", "\\\\server\\share",
                             "\\\\server\\share\\Apps"}) {
    Diagnostics d;
    auto m = parse(kApp + "default-parent = '" + parent + "'\n", d);
    ASSERT_TRUE(m) << parent << ": " << d.text();
    EXPECT_EQ(m->defaultParent->text, parent);
  }
}

struct LimitCase {
  const char* what;
  std::string toml;
  int line;
  const char* message;  // a part of the error
};

class ManifestLimits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(ManifestLimits, NamesTheLine) {
  const LimitCase& c = GetParam();
  Diagnostics d;
  EXPECT_FALSE(parse(c.toml, d)) << c.what;
  bool found = false;
  for (const Diagnostic& item : d.items())
    found = found || (!item.warning && item.line == c.line &&
                      item.message.find(c.message) != std::string::npos);
  EXPECT_TRUE(found) << c.what << ": expected an error on line " << c.line << " with \""
                     << c.message << "\", got:\n"
                     << d.text();
}

INSTANTIATE_TEST_SUITE_P(
    Manifest, ManifestLimits,
    ::testing::Values(
        LimitCase{"not TOML", kApp + "files = [\n", 3, "not valid TOML"},
        LimitCase{"an 80-character name",
                  "[application]\n\nname = \"" + std::string(80, 'a') + "\"\n", 3, "at most 79"},
        LimitCase{"no name", "\n[application]\nrun = \"x.exe\"\n", 2,
                  "application name is missing"},
        LimitCase{"a name that is no folder name", "[application]\nname = \"A/B\"\n", 2,
                  "folder name"},
        LimitCase{"an unknown key", kApp + "author = 2\n", 3, "unknown key \"author\""},
        LimitCase{"an unknown scope", kApp + "scope = \"all\"\n", 3, "\"machine\""},
        LimitCase{"a machine key for the user alone",
                  kApp + "scope = \"user\"\n[registry]\nkey = 'HLM\\Software\\Z\\Demo'\n", 5,
                  "only an administrator"},
        LimitCase{"a version without numbers", kApp + "version = \"v2.0-beta\"\n", 3,
                  "does not start with a number"},
        LimitCase{"a version number over 65535", kApp + "version = \"2026.12.9.70000\"\n", 3,
                  "70000, over 65535"},
        LimitCase{"a signing table without a command", kApp + "[signing]\n", 3, "needs command"},
        LimitCase{"a signing command with both forms",
                  kApp + "[signing]\ncommand = [\"t\", \"{file}\", \"{in}\", \"{out}\"]\n", 4,
                  "not both"},
        LimitCase{"a signing command without {out}",
                  kApp + "[signing]\ncommand = [\"t\", \"{in}\"]\n", 4, "{in} and {out}"},
        LimitCase{"an unknown table", kApp + "[extras]\n", 3, "unknown key \"extras\""},
        LimitCase{"an unknown compression", kApp + "[build]\ncompression = \"fast\"\n", 4,
                  "not \"fast\""},
        LimitCase{"an unknown key of [build]", kApp + "[build]\nlevel = 12\n", 4,
                  "unknown key \"level\""},
        LimitCase{"a wrong code page", kApp + "codepage = 437\n", 3, "1252"},
        LimitCase{"a character the code page lacks", kApp + "run = \"\xD0\x96.exe\"\n", 3,
                  "1252 lacks"},
        LimitCase{"a default parent too long",
                  kApp + "default-parent = 'C:\\" + std::string(250, 'p') + "'\n", 3,
                  "destination"},
        LimitCase{"a default parent with a variable", kApp + "default-parent = '%ProgramFiles%'\n",
                  3, "expands no environment variables"},
        LimitCase{"a relative default parent", kApp + "default-parent = 'Apps'\n", 3,
                  "not an absolute Windows path"},
        LimitCase{"a default parent relative to a drive", kApp + "default-parent = 'C:Apps'\n", 3,
                  "not an absolute Windows path"},
        LimitCase{"a drive alone", kApp + "default-parent = 'C:'\n", 3, "relative to the folder"},
        LimitCase{"a default parent below the current drive's root",
                  kApp + "default-parent = '\\Apps'\n", 3, "not an absolute Windows path"},
        LimitCase{"a default parent with slashes", kApp + "default-parent = 'C:/Apps'\n", 3,
                  "not an absolute Windows path"},
        LimitCase{"a server without a share", kApp + "default-parent = '\\\\server\\'\n", 3,
                  "not an absolute Windows path"},
        LimitCase{"an exclude pattern with an empty name",
                  kApp + "[[files]]\nsource = \"a\"\nexclude = [\n  '*.bak',\n  'data//x',\n]\n", 7,
                  "empty name"},
        LimitCase{"an exclude pattern ending in a slash",
                  kApp + "[[files]]\nsource = \"a\"\nexclude = ['cache/']\n", 5, "empty name"},
        LimitCase{"a target that climbs out",
                  kApp + "[[files]]\nsource = \"a\"\ntarget = '..\\a'\n", 5, "leaves the folder"},
        LimitCase{"an absolute target", kApp + "[[files]]\nsource = \"a\"\ntarget = '\\a'\n", 5,
                  "absolute"},
        LimitCase{"a target with a drive", kApp + "[[files]]\nsource = \"a\"\ntarget = 'C:\\a'\n",
                  5, "drive letter"},
        LimitCase{"a device name", kApp + "[[files]]\nsource = \"a\"\ntarget = 'logs\\con.txt'\n",
                  5, "device name"},
        LimitCase{"a target past 259 characters",
                  kApp + "default-parent = 'C:\\Apps'\n[[files]]\nsource = \"a\"\ntarget = '" +
                      std::string(250, 't') + "'\n",
                  6, "at most 259"},
        LimitCase{"a target past 259 characters with the stand-in parent",
                  kApp + "[[files]]\nsource = \"a\"\ntarget = '" + std::string(190, 't') + "'\n", 5,
                  "64-character"},
        LimitCase{"a files entry without a source", kApp + "[[files]]\ntarget = 'x'\n", 3,
                  "source"},
        LimitCase{
            "a desktop link in a sub-folder",
            kApp + "[[shortcut]]\nname = 'Tools\\Demo'\ntarget = 'demo.exe'\ndesktop = true\n", 4,
            "desktop"},
        LimitCase{
            "a group link past 259 characters",
            kApp + "[[shortcut]]\nname = '" + std::string(190, 'n') + "'\ntarget = 'demo.exe'\n", 4,
            "program group"},
        LimitCase{"a link in neither place",
                  kApp + "[[shortcut]]\nname = 'Demo'\ntarget = 'demo.exe'\ngroup = false\n", 4,
                  "neither"},
        LimitCase{"a link target that climbs out",
                  kApp + "[[shortcut]]\nname = 'Demo'\ntarget = '..\\demo.exe'\n", 5,
                  "leaves the folder"},
        LimitCase{"HKLM for HLM", kApp + "[registry]\nkey = 'HKLM\\Software\\Demo'\n", 4, "HLM"},
        LimitCase{"a key without a path", kApp + "[registry]\nkey = 'HCU'\n", 4, "path"},
        LimitCase{
            "a key that Windows shares",
            kApp + "[registry]\nkey = 'HLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run'\n",
            4, "other programs share"},
        LimitCase{"a key among the classes",
                  kApp + "[registry]\nkey = 'HCU\\software\\CLASSES\\.zorv'\n", 4,
                  "other programs share"},
        LimitCase{"a key of the installer's vendor",
                  kApp + "[registry]\nkey = 'HLM\\Software\\Zantrel\\Demo'\n", 4,
                  "other programs share"},
        LimitCase{"a marker inside the data",
                  kApp + "[registry]\nkey = 'HCU\\S'\n[registry.values]\nPath = 'at DESTDIR'\n", 6,
                  "must start"},
        LimitCase{"a value that is no string",
                  kApp + "[registry]\nkey = 'HCU\\S'\n[registry.values]\nCount = 3\n", 6, "REG_SZ"},
        LimitCase{"value data of 300 bytes",
                  kApp + "[registry]\nkey = 'HCU\\S'\n[registry.values]\nLong = '" +
                      std::string(300, 'v') + "'\n",
                  6, "at most 254"},
        LimitCase{"a composed value past 259 characters",
                  kApp + "[registry]\nkey = 'HCU\\S'\n[registry.values]\nLong = 'DESTDIR" +
                      std::string(200, 'v') + "'\n",
                  6, "composes"},
        LimitCase{"a folder to remove with a wildcard",
                  kApp + "[uninstall]\nfolders = [\n  'ok',\n  'cache*',\n]\n", 6, "wildcard"},
        LimitCase{"a file to remove that climbs out", kApp + "[uninstall]\nfiles = ['..\\*.log']\n",
                  4, "leaves the folder"},
        LimitCase{"an unknown bitmap", kApp + "[bitmaps]\nlogo = 'x.bmp'\n", 4,
                  "unknown key \"logo\""},
        LimitCase{"a relative program to run that climbs out", kApp + "run = '..\\x.exe'\n", 3,
                  "leaves the folder"},
        LimitCase{"a target that is the uninstall log",
                  kApp + "[[files]]\nsource = \"a\"\ntarget = 'uninstall.LOG'\n", 5,
                  "is the uninstall log"},
        LimitCase{"a key path with DEL", kApp + "[registry]\nkey = \"HCU\\\\S\\u007F\"\n", 4,
                  "control character (byte 0x7F)"},
        LimitCase{"a key path with a line feed", kApp + "[registry]\nkey = \"HCU\\\\S\\nX\"\n", 4,
                  "control character (byte 0x0A)"},
        LimitCase{"a value name with DEL",
                  kApp + "[registry]\nkey = 'HCU\\S'\n[registry.values]\n\"a\\u007F\" = 'x'\n", 6,
                  "control character (byte 0x7F)"},
        LimitCase{"two group links whose names differ in case (1252)",
                  kApp + "[[shortcut]]\nname = '\xC3\x89t\xC3\xA9'\ntarget = 'a.exe'\n"
                         "[[shortcut]]\nname = '\xC3\xA9t\xC3\xA9'\ntarget = 'b.exe'\n",
                  7, "would replace the one of line 4 (in the program group)"},
        LimitCase{
            "two group links in one sub-folder whose names differ in case (1251)",
            kApp +
                "codepage = 1251\n[[shortcut]]\nname = 'Tools\\\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB'\n"
                "target = 'a.exe'\n[[shortcut]]\nname = 'TOOLS\\\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB'\n"
                "target = 'b.exe'\n",
            8, "would replace the one of line 5"},
        LimitCase{"a version that is no string", kApp + "version = 2\n", 3, "must be a string"},
        LimitCase{"an empty version", kApp + "version = ''\n", 3, "the version is empty"},
        LimitCase{"a version with a tab", kApp + "version = \"1.0\\t\"\n", 3,
                  "the version holds a control character"},
        LimitCase{"a publisher with DEL", kApp + "publisher = \"Zorv\\u007F\"\n", 3,
                  "the publisher holds a control character"},
        LimitCase{"a copyright of 255 bytes",
                  kApp + "copyright = '" + std::string(255, 'c') + "'\n", 3, "at most 254"},
        LimitCase{"a publisher the code page lacks", kApp + "publisher = \"\xD0\x96\"\n", 3,
                  "1252 lacks"},
        LimitCase{"an icon that is no string", kApp + "\nicon = ['a.ico']\n", 4,
                  "must be a string"},
        LimitCase{"a program that is no boolean", kApp + "[uninstall]\nprogram = 'no'\n", 4,
                  "true or false"},
        LimitCase{
            "two desktop links of one name",
            kApp + "[[shortcut]]\nname = 'Demo'\ntarget = 'a.exe'\ndesktop = true\n"
                   "[[shortcut]]\nname = 'DEMO'\ntarget = 'b.exe'\ndesktop = true\ngroup = false\n",
            8, "(on the desktop)"}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

// The application name is also the program group's folder below Programs: none that leaves
// it may pass, whatever Windows makes of trailing dots and blanks.
TEST(Manifest, RefusesApplicationNamesThatLeaveTheirFolder) {
  for (const char* name :
       {"..", "...", ".. ", ". .", "a:b", "C:", "\\\\srv", "a\\..\\b", "//x", "a/../b", "."}) {
    Diagnostics d;
    EXPECT_FALSE(parse("[application]\nname = '" + std::string(name) + "'\n", d)) << name;
    EXPECT_NE(d.text().find("m.toml:2: error: the application name"), std::string::npos)
        << name << ":\n"
        << d.text();
  }
}

// One link in the group and one on the desktop are two files, whatever their names.
TEST(Manifest, AcceptsAGroupLinkAndADesktopLinkOfOneName) {
  Diagnostics d;
  auto m = parse(kApp +
                     "[[shortcut]]\nname = 'Demo'\ntarget = 'a.exe'\n[[shortcut]]\n"
                     "name = 'demo'\ntarget = 'a.exe'\ndesktop = true\ngroup = false\n",
                 d);
  ASSERT_TRUE(m) << d.text();
  EXPECT_EQ(m->shortcuts.size(), 2u);
}

TEST(Manifest, ReportsEveryErrorAtOnce) {
  Diagnostics d;
  EXPECT_FALSE(parse(
      kApp + "run = '..\\x.exe'\n[registry]\nkey = 'HKLM\\S'\n[uninstall]\nfiles = ['\\a']\n", d));
  EXPECT_EQ(d.errorCount(), 3u) << d.text();
}

TEST(Manifest, AcceptsAnAbsoluteProgramToRun) {
  Diagnostics d;
  auto m = parse(kApp + "run = 'C:\\Windows\\notepad.exe'\n", d);
  ASSERT_TRUE(m) << d.text();
  EXPECT_EQ(m->run->text, "C:\\Windows\\notepad.exe");
}

}  // namespace
}  // namespace zorv
