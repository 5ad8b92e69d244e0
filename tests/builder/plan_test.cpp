// From a manifest and a tree of files to the records of a package: folder expansion, names,
// sizes, and the errors that need the files to be seen.
#include "tools/builder/plan.h"

#include <gtest/gtest.h>

#include "install/package_limits.h"
#include "tests/builder/test_support.h"

namespace zorv {
namespace {

using test::Bytes;
using test::TempTree;

std::optional<Plan> planOf(const TempTree& t, std::string_view toml, Diagnostics& d) {
  auto m = loadManifest(t.manifest(toml), d);
  if (!m) return std::nullopt;
  return makePlan(*m, d);
}

bool hasError(const Diagnostics& d, int line, std::string_view part) {
  for (const Diagnostic& item : d.items())
    if (!item.warning && item.line == line && item.message.find(part) != std::string::npos)
      return true;
  return false;
}

std::vector<std::string> namesOf(const std::vector<PlannedFile>& files) {
  std::vector<std::string> out;
  for (const PlannedFile& f : files) out.push_back(f.name);
  return out;
}

TEST(Plan, ExpandsFoldersIntoNestedRecords) {
  TempTree t;
  t.write("app/run.exe", "MZ");
  t.write("app/b.txt", "b");
  t.write("app/a.txt", "aa");
  t.write("app/old.bak", "skip me");
  t.write("app/docs/guide.txt", "guide");
  t.write("app/docs/deep/er/most.txt", "most");
  t.write("app/data/x.dat", std::string(kBlockSize + 1, 'x'));
  t.write("single.txt", "one");
  Diagnostics d;
  auto plan = planOf(t, R"([application]
name = "Demo"
[[files]]
source = "app"
target = ""
exclude = ["*.bak"]
[[files]]
source = "single.txt"
target = 'notes\single.txt'
[[files]]
source = "app/docs"
target = "manual"
)",
                     d);
  ASSERT_TRUE(plan) << d.text();
  // Top-level files in name order, then the single file; folders after them.
  EXPECT_EQ(namesOf(plan->files),
            (std::vector<std::string>{"a.txt", "b.txt", "run.exe", "notes\\single.txt"}));
  ASSERT_EQ(plan->folders.size(), 3u);
  EXPECT_EQ(plan->folders[0].name, "data");
  EXPECT_EQ(namesOf(plan->folders[0].files), std::vector<std::string>{"data\\x.dat"});
  EXPECT_EQ(plan->folders[1].name, "docs");
  EXPECT_EQ(namesOf(plan->folders[1].files), std::vector<std::string>{"docs\\guide.txt"});
  ASSERT_EQ(plan->folders[1].folders.size(), 1u);
  EXPECT_EQ(plan->folders[1].folders[0].name, "docs\\deep");
  EXPECT_EQ(plan->folders[1].folders[0].folders[0].name, "docs\\deep\\er");
  EXPECT_EQ(namesOf(plan->folders[1].folders[0].folders[0].files),
            std::vector<std::string>{"docs\\deep\\er\\most.txt"});
  EXPECT_EQ(plan->folders[2].name, "manual");
  EXPECT_EQ(namesOf(plan->folders[2].files), std::vector<std::string>{"manual\\guide.txt"});
  EXPECT_EQ(plan->folders[2].folders[0].folders[0].name, "manual\\deep\\er");
  EXPECT_EQ(plan->totalBytes, 2u + 1 + 2 + 3 + (kBlockSize + 1) + 5 + 4 + 5 + 4);
  EXPECT_EQ(plan->blockCount, 4u + 2 + 1 + 1 + 1 + 1);
  EXPECT_EQ(plan->fileCount, 9u);
  EXPECT_EQ(plan->folderCount, 7u);

  std::vector<std::string> order;
  forEachFileInPackageOrder(*plan, [&](const PlannedFile& f) { order.push_back(f.name); });
  EXPECT_EQ(order,
            (std::vector<std::string>{"a.txt", "b.txt", "run.exe", "notes\\single.txt",
                                      "data\\x.dat", "docs\\guide.txt", "docs\\deep\\er\\most.txt",
                                      "manual\\guide.txt", "manual\\deep\\er\\most.txt"}));
}

struct PlanError {
  const char* what;
  std::string files;  // [[files]] tables, from line 3
  int line;
  const char* message;
};

class PlanErrors : public ::testing::TestWithParam<PlanError> {};

TEST_P(PlanErrors, NamesTheLine) {
  const PlanError& c = GetParam();
  TempTree t;
  t.write("app/A.txt", "a");
  t.write("app/sub/file.txt", "f");
  t.write("long/" + std::string(120, 'd') + "/" + std::string(100, 'f') + ".txt", "x");
  t.write("bad/what?.txt", "x");
  t.write("other/a.TXT", "b");
  t.write("log/UnInstall.LOG", "not the setup's");
  Diagnostics d;
  EXPECT_FALSE(planOf(t, "[application]\nname = \"Demo\"\n" + c.files, d)) << c.what;
  EXPECT_TRUE(hasError(d, c.line, c.message)) << c.what << ": got\n" << d.text();
}

INSTANTIATE_TEST_SUITE_P(
    Plan, PlanErrors,
    ::testing::Values(PlanError{"a missing source", "[[files]]\nsource = \"nothing/here\"\n", 4,
                                "does not exist"},
                      PlanError{"the same name twice, case aside",
                                "[[files]]\nsource = \"app\"\ntarget = \"\"\n[[files]]\nsource = "
                                "\"other\"\ntarget = \"\"\n",
                                7, "installed twice (also from line 4)"},
                      PlanError{"a file where a folder goes",
                                "[[files]]\nsource = \"app/A.txt\"\ntarget = "
                                "\"sub\"\n[[files]]\nsource = \"app\"\ntarget = \"\"\n",
                                7, "both a file and a folder"},
                      PlanError{"a path past 259 characters inside a folder",
                                "[[files]]\nsource = \"long\"\n", 4, "at most 259"},
                      PlanError{"a file name Windows cannot hold", "[[files]]\nsource = \"bad\"\n",
                                4, "what?.txt"},
                      PlanError{"a file without a target name",
                                "[[files]]\nsource = \"app/A.txt\"\ntarget = \"\"\n", 4,
                                "needs a target"},
                      PlanError{"the uninstall log at the top, from a folder",
                                "[[files]]\nsource = \"log\"\ntarget = \"\"\n", 4,
                                "is the uninstall log"},
                      PlanError{"a folder named like the uninstall log",
                                "[[files]]\nsource = \"app\"\ntarget = \"UNINSTALL.log\"\n", 5,
                                "is the uninstall log"}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

// Names that differ only in letters Windows does not tell apart, in the manifest's code page.
TEST(Plan, RefusesNamesThatDifferOnlyInCase) {
  const struct {
    int codePage;
    const char* a;  // UTF-8
    const char* b;
  } rows[] = {
      {1251, "\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB.txt",
       "\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB.txt"},                  // Файл, файл
      {1252, "\xC3\x89t\xC3\xA9.txt", "\xC3\xA9t\xC3\xA9.txt"},  // Été, été
      {1252, "\xC5\xB8", "\xC3\xBF"},                            // Ÿ, ÿ
  };
  for (const auto& r : rows) {
    TempTree t;
    t.write(std::string("one/") + r.a, "a");
    t.write(std::string("two/") + r.b, "b");
    Diagnostics d;
    EXPECT_FALSE(planOf(t,
                        "[application]\nname = \"Demo\"\ncodepage = " + std::to_string(r.codePage) +
                            "\n[[files]]\nsource = \"one\"\ntarget = \"\"\n[[files]]\nsource = "
                            "\"two\"\ntarget = \"\"\n",
                        d));
    EXPECT_TRUE(hasError(d, 8, "installed twice")) << r.a << ":\n" << d.text();
  }
}

// The log's name is refused only where the setup writes its log.
TEST(Plan, AcceptsTheLogsNameBelowTheTop) {
  TempTree t;
  t.write("logs/UnInstall.log", "an application's own");
  Diagnostics d;
  auto plan = planOf(t, "[application]\nname = \"Demo\"\n[[files]]\nsource = \"logs\"\n", d);
  ASSERT_TRUE(plan) << d.text();
  EXPECT_EQ(namesOf(plan->folders.at(0).files), std::vector<std::string>{"logs\\UnInstall.log"});
}

// A top-level folder is level 1; the setup walks kMaxDirectoryDepth levels and no more.
TEST(Plan, RefusesFoldersNestedDeeperThanTheSetupWalks) {
  for (const int levels : {kMaxDirectoryDepth, kMaxDirectoryDepth + 1}) {
    TempTree t;
    std::string path = "tree";
    for (int i = 0; i < levels; ++i) path += "/a";
    t.write(path + "/f.txt", "deep");
    Diagnostics d;
    auto plan = planOf(t,
                       "[application]\nname = \"D\"\ndefault-parent = 'C:\\'\n[[files]]\n"
                       "source = \"tree\"\ntarget = \"\"\n",
                       d);
    if (levels <= kMaxDirectoryDepth) {
      ASSERT_TRUE(plan) << d.text();
      EXPECT_EQ(plan->folderCount, std::size_t(levels));
    } else {
      EXPECT_FALSE(plan);
      EXPECT_TRUE(hasError(d, 5, "65 folders deep")) << d.text();
    }
  }
}

// Links that lead to a folder being walked are named, and the walk ends.
TEST(Plan, RefusesSymbolicLinksThatLeadBackUp) {
  TempTree t;
  t.write("app/f.txt", "f");
  t.write("app/sub/g.txt", "g");
  std::filesystem::create_directory_symlink(".", t.path("app/here"));
  std::filesystem::create_directory_symlink(".", t.path("app/sub/again"));
  std::filesystem::create_directory_symlink("..", t.path("app/sub/up"));
  Diagnostics d;
  EXPECT_FALSE(planOf(t, "[application]\nname = \"Demo\"\n[[files]]\nsource = \"app\"\n", d));
  for (const char* link : {"app/here\"", "app/sub/again\"", "app/sub/up\""})
    EXPECT_TRUE(hasError(d, 4, std::string(link) + " leads back to")) << link << ":\n" << d.text();
  EXPECT_EQ(d.errorCount(), 3u) << d.text();
}

TEST(Plan, WarnsAboutTargetsThatAreNotInstalled) {
  TempTree t;
  t.write("app/run.exe", "MZ");
  Diagnostics d;
  auto plan = planOf(t, R"([application]
name = "Demo"
run = "RUN.EXE"
[[files]]
source = "app"
target = ""
[[shortcut]]
name = "Demo"
target = "missing.exe"
)",
                     d);
  ASSERT_TRUE(plan) << d.text();
  ASSERT_EQ(d.items().size(), 1u) << d.text();
  EXPECT_TRUE(d.items()[0].warning);
  EXPECT_EQ(d.items()[0].line, 8);
  EXPECT_NE(d.items()[0].message.find("missing.exe"), std::string::npos);
}

TEST(Plan, RefusesBitmapsItCannotConvertAndWarnsAboutSizes) {
  TempTree t;
  t.write("title.bmp", test::makeBmp({240, 40, 8}));
  t.write("pic.bmp", test::makeBmp({10, 10, 24}));
  t.write("zorv.bmp", test::makeBmp({200, 40, 16}));
  Diagnostics d;
  EXPECT_FALSE(planOf(t, R"([application]
name = "Demo"
[bitmaps]
title = "title.bmp"
pic = "pic.bmp"
zorv = "zorv.bmp"
pic1 = "none.bmp"
)",
                      d));
  EXPECT_TRUE(hasError(d, 6, "16-bit")) << d.text();
  EXPECT_TRUE(hasError(d, 7, "cannot read the bitmap")) << d.text();
  bool sizeWarning = false;
  for (const Diagnostic& item : d.items())
    sizeWarning = sizeWarning || (item.warning && item.line == 5 &&
                                  item.message.find("220 x 80") != std::string::npos);
  EXPECT_TRUE(sizeWarning) << d.text();
}

// The builder puts uninstall.exe at the top of the destination; nothing of the manifest's may
// take its name there, in any case, unless the manifest leaves the uninstaller out.
TEST(Plan, KeepsTheUninstallersNameFree) {
  const struct Row {
    const char* files;  // [[files]] tables from line 3 on
    const char* program;
    int line;  // of the error; 0 for none
  } rows[] = {
      {"[[files]]\nsource = 'one.txt'\ntarget = 'uninstall.exe'\n", "true", 4},
      {"[[files]]\nsource = 'one.txt'\ntarget = 'UNINSTALL.EXE'\n", "true", 4},
      {"[[files]]\nsource = 'app'\ntarget = ''\n", "true", 4},               // app/Uninstall.exe
      {"[[files]]\nsource = 'app'\ntarget = 'uninstall.exe'\n", "true", 4},  // as a folder
      {"[[files]]\nsource = 'one.txt'\ntarget = 'bin\\uninstall.exe'\n", "true", 0},
      {"[[files]]\nsource = 'one.txt'\ntarget = 'uninstall.exe'\n", "false", 0},
      {"[[files]]\nsource = 'app'\ntarget = ''\n", "false", 0},
  };
  TempTree t;
  t.write("one.txt", "1");
  t.write("app/Uninstall.exe", "mine");
  for (const Row& row : rows) {
    Diagnostics d;
    auto plan = planOf(t,
                       std::string("[application]\nname = 'Demo'\n") + row.files +
                           "[uninstall]\nprogram = " + row.program + "\n",
                       d);
    EXPECT_EQ(plan.has_value(), row.line == 0) << row.files << d.text();
    if (row.line) EXPECT_TRUE(hasError(d, row.line, "is the uninstaller")) << d.text();
  }
}

TEST(Plan, ALinkToTheUninstallerNamesAFileOfThePackage) {
  TempTree t;
  t.write("one.txt", "1");
  Diagnostics d;
  auto plan = planOf(t, R"([application]
name = "Demo"
[[files]]
source = "one.txt"
[[shortcut]]
name = "Remove Demo"
target = "Uninstall.exe"
)",
                     d);
  ASSERT_TRUE(plan) << d.text();
  EXPECT_TRUE(d.items().empty()) << d.text();
}

TEST(Plan, ReadsEveryImageOfTheIconOrSaysWhyNot) {
  TempTree t;
  Bytes ico(6 + 16, 0);
  ico[2] = 1, ico[4] = 1, ico[6] = ico[7] = 16;
  ico[14] = 44, ico[18] = 22;  // 44 bytes at offset 22
  Bytes dib(44, 0);
  dib[0] = 40;
  ico.insert(ico.end(), dib.begin(), dib.end());
  t.write("good.ico", ico);
  // A second entry naming the same 44 bytes: the directory grows by 16, the image moves to 38.
  Bytes shared(ico.begin(), ico.begin() + 22);
  shared[4] = 2;
  shared[18] = 38;
  shared.insert(shared.end(), shared.begin() + 6, shared.begin() + 22);
  shared.insert(shared.end(), dib.begin(), dib.end());
  t.write("shared.ico", shared);
  ico[4] = 0;
  t.write("empty.ico", ico);
  const std::pair<const char*, const char*> rows[] = {
      {"good.ico", nullptr},
      {"empty.ico", "the icon \"empty.ico\" cannot be used: it holds no image"},
      {"shared.ico",
       "the icon \"shared.ico\" cannot be used: image 2 of 2 (44 bytes at offset 38) shares "
       "bytes with image 1 (44 bytes at offset 38)"},
      {"missing.ico", "cannot read the icon \"missing.ico\""},
      {".", "cannot read the icon \".\" (is it a file?)"},
  };
  for (const auto& [icon, error] : rows) {
    Diagnostics d;
    auto plan =
        planOf(t, "[application]\nname = 'Demo'\n\nicon = '" + std::string(icon) + "'\n", d);
    if (!error) {
      ASSERT_TRUE(plan) << d.text();
      ASSERT_EQ(plan->icon.size(), 1u);
      EXPECT_EQ(plan->icon[0].bytes, dib);
    } else {
      EXPECT_FALSE(plan);
      EXPECT_TRUE(hasError(d, 4, error)) << d.text();
    }
  }
}

TEST(Plan, MatchesNamePatterns) {
  struct Row {
    const char* name;
    const char* pattern;
    bool match;
  } rows[] = {{"a.bak", "*.bak", true},
              {"a.bak.txt", "*.bak", false},
              {".git", ".*", true},
              {"x", "?", true},
              {"xy", "?", false},
              {"abcabd", "*abd", true},
              {"thumbs.db", "thumbs.db", true},
              {"", "*", true},
              {"a", "", false}};
  for (const Row& r : rows)
    EXPECT_EQ(matchesPattern(r.name, r.pattern), r.match) << r.name << " / " << r.pattern;
}

TEST(Plan, MatchesExcludePatternsOnPathsBelowTheSource) {
  struct Row {
    const char* path;
    const char* pattern;
    bool match;
  } rows[] = {{"data/old.bak", "*.bak", true},
              {"a/b/c.bak", "*.bak", true},
              {"data/old.bak", "data/*.bak", true},
              {"data/sub/old.bak", "data/*.bak", false},
              {"old.bak", "data/*.bak", false},
              {"other/data/old.bak", "data/*.bak", false},
              {"data/old.bak", "/data/*.bak", true},
              {"data/sub/old.bak", "data/*/*.bak", true},
              {"data", "data/*", false},
              {"data/sub", "*/sub", true},
              {"data/sub", "d?ta/sub", true},
              {"data/sub", "data/sub/x", false}};
  for (const Row& r : rows)
    EXPECT_EQ(matchesExcludePattern(r.path, r.pattern), r.match) << r.path << " / " << r.pattern;
}

TEST(Plan, ExcludesPathsAndWarnsOfPatternsThatMatchNothing) {
  TempTree t;
  t.write("app/a.bak", "top");
  t.write("app/data/b.bak", "in data");
  t.write("app/data/sub/c.bak", "deeper");
  t.write("app/data/keep.txt", "kept");
  t.write("app/cache/x.tmp", "whole folder");
  t.write("single.txt", "one");
  Diagnostics d;
  auto plan = planOf(t, R"([application]
name = "Demo"
[[files]]
source = "app"
target = ""
exclude = [
  "data/*.bak",
  "/cache",
  "*.old",
  "app/data/*.bak",
]
[[files]]
source = "single.txt"
target = "single.txt"
exclude = ["*.txt"]
)",
                     d);
  ASSERT_TRUE(plan) << d.text();
  std::vector<std::string> order;
  forEachFileInPackageOrder(*plan, [&](const PlannedFile& f) { order.push_back(f.name); });
  EXPECT_EQ(order, (std::vector<std::string>{"a.bak", "single.txt", "data\\keep.txt",
                                             "data\\sub\\c.bak"}));
  struct Warning {
    int line;
    const char* part;
  } expected[] = {{9, "\"*.old\" matches nothing in \"app\""},
                  {10, "a path below that folder"},
                  {15, "a file: patterns apply to the contents of folders"}};
  ASSERT_EQ(d.items().size(), std::size(expected)) << d.text();
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_TRUE(d.items()[i].warning) << d.text();
    EXPECT_EQ(d.items()[i].line, expected[i].line) << d.text();
    EXPECT_NE(d.items()[i].message.find(expected[i].part), std::string::npos) << d.text();
  }
}

}  // namespace
}  // namespace zorv
