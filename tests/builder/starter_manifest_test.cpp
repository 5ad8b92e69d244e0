// The manifest of zorv init over folders of every shape: the real reader takes it without an
// error or a warning, with the program, the link and the icon the folder suggests.
#include "tools/builder/starter_manifest.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "tools/builder/manifest.h"

namespace zorv {
namespace {

TEST(StarterManifest, EveryFolderShapeReadsCleanly) {
  const struct {
    std::string folder;
    std::vector<std::string> files;
    std::string name;  // UTF-8
    int codePage;
    std::optional<std::string> run, icon;
  } rows[] = {
      {"Quick Notes", {"readme.txt", "notes.ico", "notes.exe"}, "Quick Notes", 1252, "notes.exe",
       "notes.ico"},
      // The icon named as the program; builds and installs leave setup.exe and uninstall.exe.
      {"Tools", {"a.ico", "tool.ico", "Tool.EXE", "setup.exe", "Uninstall.exe", "old.pkg"},
       "Tools", 1252, "Tool.EXE", "tool.ico"},
      {"Suite", {"b.exe", "c.ico", "A.EXE", "b.ico"}, "Suite", 1252, std::nullopt, "b.ico"},
      {"Data", {"data.txt"}, "Data", 1252, std::nullopt, std::nullopt},
      {"  My:  App?. ", {}, "My App", 1252, std::nullopt, std::nullopt},
      {"Bob's Café", {}, "Bob's Café", 1252, std::nullopt, std::nullopt},
      {"Заметки", {"Игра.exe"}, "Заметки", 1251, "Игра.exe", std::nullopt},
      {"日本語 Notes", {"app.exe"}, "Notes", 1252, "app.exe", std::nullopt},
      {"CON", {}, "Application", 1252, std::nullopt, std::nullopt},
      {"", {}, "Application", 1252, std::nullopt, std::nullopt},
      {std::string(100, 'a'), {}, std::string(79, 'a'), 1252, std::nullopt, std::nullopt},
  };
  for (const auto& row : rows) {
    const StarterManifest s = starterManifest({row.folder, row.files});
    Diagnostics d;
    const auto m = parseManifest(s.text, "zorv.toml", "/base", d);
    ASSERT_TRUE(m) << row.folder << '\n' << d.text() << s.text;
    EXPECT_TRUE(d.items().empty()) << row.folder << '\n' << d.text();
    EXPECT_EQ(ansiToUtf8(m->appName.text, m->codePage), row.name) << row.folder;
    EXPECT_EQ(m->codePage, row.codePage) << row.folder;
    EXPECT_EQ(s.appName, row.name);
    EXPECT_EQ(m->run ? std::optional(ansiToUtf8(m->run->text, m->codePage)) : std::nullopt,
              row.run)
        << row.folder;
    EXPECT_EQ(m->icon ? std::optional(m->icon->sourceText) : std::nullopt, row.icon) << row.folder;
    ASSERT_EQ(m->shortcuts.size(), row.run ? 1u : 0u) << row.folder;
    if (row.run) {
      EXPECT_EQ(m->shortcuts[0].target, m->run->text);
      EXPECT_EQ(m->shortcuts[0].name, m->appName.text);
      EXPECT_TRUE(m->shortcuts[0].desktop && m->shortcuts[0].group);
    }
    ASSERT_EQ(m->files.size(), 1u);
    EXPECT_EQ(m->files[0].sourceText, ".");
    EXPECT_EQ(m->files[0].exclude[0].pattern, "/zorv.toml");
    ASSERT_TRUE(m->registry);
    EXPECT_EQ(m->registry->root, "HCU");
    EXPECT_EQ(m->registry->path, "Software\\Your Company\\" + m->appName.text);
    EXPECT_EQ(m->registry->values[0].data, "DESTDIR");
    EXPECT_TRUE(m->uninstaller);
    EXPECT_EQ(s.text.find("\n# change: ") != std::string::npos, row.name != row.folder)
        << row.folder;
  }
}

TEST(StarterManifest, SeveralProgramsAreChoicesInByteOrder) {
  const std::string text = starterManifest({"Suite", {"b.exe", "A.EXE"}}).text;
  for (const char* line : {"# run = \"A.EXE\"\n# run = \"b.exe\"\n",
                           "# target = \"A.EXE\"\n# target = \"b.exe\"\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
}

// What builds and installs left at the top is not packed again; the rest of the folder is.
TEST(StarterManifest, LeftoversAtTheTopAreExcluded) {
  Diagnostics d;
  const auto m = parseManifest(
      starterManifest({"App", {"setup.exe", "App.pkg", "UnInstall.log", "app.exe"}}).text,
      "zorv.toml", "/base", d);
  ASSERT_TRUE(m) << d.text();
  std::vector<std::string> patterns;
  for (const ExcludePattern& p : m->files[0].exclude) patterns.push_back(p.pattern);
  EXPECT_EQ(patterns, (std::vector<std::string>{"/zorv.toml", "/App.pkg", "/UnInstall.log",
                                                "/setup.exe"}));
}

}  // namespace
}  // namespace zorv
