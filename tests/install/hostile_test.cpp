// Packages made by an attacker, through the whole run on the fake: each must end the way the
// row says, and nothing may be written, linked, logged or registered where it does not belong.
#include <functional>
#include <set>

#include "tests/install/install_fixture.h"

namespace zorv {
namespace {

constexpr std::uint32_t kSmallBudget = 500;

// `levels` directory records, each listing the next level twice: 2^levels visits.
TaggedRange doublingChain(TestPackage& p, int levels) {
  TaggedRange item = p.nestedFile("same.txt", "x");
  for (int i = 0; i < levels; ++i) item = p.nestedDir("d", {item, item});
  return item;
}

// `count` distinct one-byte files below `folder`.
std::vector<TaggedRange> filesIn(TestPackage& p, const std::string& folder, int count) {
  std::vector<TaggedRange> files;
  for (int i = 0; i < count; ++i)
    files.push_back(p.nestedFile(folder + "\\f" + std::to_string(i) + ".txt", "x"));
  return files;
}

// `levels` levels of distinct folders below `folder`, two in each, with a file at the bottom:
// 2^levels - 1 folders and 2^(levels-1) files, none shared.
TaggedRange distinctTree(TestPackage& p, const std::string& folder, int levels) {
  if (levels == 1) return p.nestedDir(folder, {p.nestedFile(folder + "\\f.txt", "x")});
  return p.nestedDir(folder, {distinctTree(p, folder + "\\a", levels - 1),
                              distinctTree(p, folder + "\\b", levels - 1)});
}

// Top-level folders "e0".."e<entries-1>", each of `files` files of its own: entries * (1 + files)
// visits of the one budget.
void folderEntries(TestPackage& p, int entries, int files) {
  for (int e = 0; e < entries; ++e) {
    const std::string name = "e" + std::to_string(e);
    p.dir(name, filesIn(p, name, files));
  }
}

// The "DelD" lines of folders "e0".."e<entries-1>", which the run logs before their walks.
std::string folderLines(int entries) {
  std::string lines;
  for (int e = 0; e < entries; ++e) lines += "DelD C:\\Apps\\Demo\\e" + std::to_string(e) + "\n";
  return lines;
}

struct HostileRow {
  const char* name;
  std::function<void(TestPackage&, SetupState&)> setUp;
  bool completes;
  std::string logTail;  // what the log holds after "Name" and "Work"
};
void PrintTo(const HostileRow& row, std::ostream* os) { *os << row.name; }

class Hostile : public InstallTest, public ::testing::WithParamInterface<HostileRow> {};

TEST_P(Hostile, EndsAsExpectedAndStaysInside) {
  GetParam().setUp(pkg, state);
  bytes = pkg.writer.finish().value();
  state.package = openPackage(bytes);
  ASSERT_TRUE(state.package);
  const std::set<std::string> before = fake.directories;
  runInstall(state, fake, fake, kSmallBudget);

  EXPECT_EQ(completed(), GetParam().completes);
  EXPECT_EQ(fake.closed, !GetParam().completes);
  if (!GetParam().completes) {
    ASSERT_FALSE(fake.messages.empty());
    EXPECT_TRUE(fake.messages[0].text.starts_with("Error create")) << fake.messages[0].text;
  }
  EXPECT_EQ(log(), "Name Remove " + state.appName + "\nWork C:\\Apps\\Demo\n" + GetParam().logTail);
  EXPECT_LE(callsOf("openOutput").size(), kSmallBudget + 1) << "the walk outran its budget";
  const std::string kPrograms = "C:\\Menu\\Programs\\";
  for (const auto& l : fake.links) EXPECT_TRUE(l.path.starts_with(kPrograms)) << l.path;
  for (const std::string& d : fake.directories)
    EXPECT_TRUE(before.count(d) || d.starts_with("C:\\Apps\\Demo\\") || d.starts_with(kPrograms))
        << d;
  for (const auto& [key, values] : fake.registry)
    for (char c : key) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << key;
}

INSTANTIATE_TEST_SUITE_P(
    Packages, Hostile,
    ::testing::Values(
        HostileRow{"SharedRecordsDoublingEachLevel",
                   [](TestPackage& p, SetupState&) { p.dir("top", {doublingChain(p, 40)}); }, false,
                   "DelD C:\\Apps\\Demo\\top\n"},
        HostileRow{"ADistinctTreeWithinTheBudgetIsFine",
                   [](TestPackage& p, SetupState&) { p.dir("top", {distinctTree(p, "t", 7)}); },
                   true, "DelD C:\\Apps\\Demo\\top\n"},
        // One tree that the budget allows, named by many entries: the second one reaches it
        // again, where a budget per entry would have written it eight times.
        HostileRow{"ManyEntriesNamingOneTree",
                   [](TestPackage& p, SetupState&) {
                     const TaggedRange tree = p.nestedDir("t", filesIn(p, "t", 100));
                     for (int e = 0; e < 8; ++e) p.dir("e" + std::to_string(e), {tree});
                   },
                   false, folderLines(2)},
        // Five entries of 99 files are 500 visits; one more top-level file is past the budget.
        HostileRow{"EntriesFillingTheOneBudget",
                   [](TestPackage& p, SetupState&) { folderEntries(p, 5, 99); }, true,
                   folderLines(5)},
        HostileRow{"EntriesTogetherPastTheOneBudget",
                   [](TestPackage& p, SetupState&) { folderEntries(p, 6, 90); }, false,
                   folderLines(6)},
        HostileRow{"TopLevelFilesDrawOnTheOneBudget",
                   [](TestPackage& p, SetupState&) {
                     p.file("a.txt", "a");
                     folderEntries(p, 5, 99);
                   },
                   false, "DelF C:\\Apps\\Demo\\a.txt\n" + folderLines(5)},
        HostileRow{"FolderListingOneFileTwice",
                   [](TestPackage& p, SetupState&) {
                     const TaggedRange file = p.nestedFile("top\\a.txt", "a");
                     p.dir("top", {file, file});
                   },
                   false, "DelD C:\\Apps\\Demo\\top\n"},
        HostileRow{"FolderListingOneFolderTwice",
                   [](TestPackage& p, SetupState&) {
                     const TaggedRange sub = p.nestedDir("top\\s", filesIn(p, "top\\s", 3));
                     p.dir("top", {sub, sub});
                   },
                   false, "DelD C:\\Apps\\Demo\\top\n"},
        HostileRow{"FileEntriesSharingOneRecord",
                   [](TestPackage& p, SetupState&) {
                     const PackedRange body =
                         p.writer.addData(addFileBlocks(p.writer, "a.txt", asBytes("a")));
                     p.writer.addEntryAt(kTagCopy, "Copy", body);
                     p.writer.addEntryAt(kTagCopy, "Copy", body);
                   },
                   false, "DelF C:\\Apps\\Demo\\a.txt\n"},
        HostileRow{"FileNamedLikeTheLog",
                   [](TestPackage& p, SetupState&) {
                     p.file("a.txt", "a");
                     p.file("UnInstall.log", "DelD C:\\Windows\n");
                   },
                   false, "DelF C:\\Apps\\Demo\\a.txt\n"},
        HostileRow{"LogNameInOtherCaseAndDress",
                   [](TestPackage& p, SetupState&) { p.file(".\\uninstall.LOG. ", "x"); }, false,
                   ""},
        HostileRow{"LogNameAsAFolderMember",
                   [](TestPackage& p, SetupState&) {
                     p.dir("top", {p.nestedFile("/UnInstall.log", "DelD C:\\Windows\n")});
                   },
                   false, "DelD C:\\Apps\\Demo\\top\n"},
        HostileRow{"LogNameBelowAFolderIsAnOrdinaryFile",
                   [](TestPackage& p, SetupState&) { p.file("doc\\UnInstall.log", "x"); }, true,
                   "DelF C:\\Apps\\Demo\\doc\\UnInstall.log\n"},
        HostileRow{"ApplicationNameClimbsOutOfPrograms",
                   [](TestPackage& p, SetupState& s) {
                     s.appName = "..\\outside\\grp";
                     p.link(kTagGroupLink, "Evil", "a.exe");
                   },
                   true, ""},
        HostileRow{"ApplicationNameIsProgramsItself",
                   [](TestPackage& p, SetupState& s) {
                     s.appName = ". ";
                     p.link(kTagGroupLink, "Evil", "a.exe");
                   },
                   true, ""},
        HostileRow{"KeyNameWithLineBreaks",
                   [](TestPackage& p, SetupState&) {
                     p.root("HLM", "Software\\Demo]\r\n[HKEY_LOCAL_MACHINE\\Software\\Run");
                     p.value("x", "REG_SZ", "y");
                   },
                   false, ""},
        HostileRow{"KeyNameWithAnEscape",
                   [](TestPackage& p, SetupState&) { p.root("HCU", "Software\\\x1b[2J"); }, false,
                   ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zorv
