// The verifier against packages damaged on purpose: each damage is reported in words, and a
// sound package passes.
#include "tools/examine/verify.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>

#include "install/package_limits.h"
#include "package/byte_cursor.h"
#include "package/byte_writer.h"
#include "tests/builder/test_support.h"
#include "tools/writer/records.h"

namespace zorv {
namespace {

using test::Bytes;
using Fill = std::function<void(PackageWriter&)>;

const Bytes kFileData = test::textBytes(5000, 9);

// AppN, then whatever `fill` adds, then SumC holding `sum`.
Bytes package(const Fill& fill, std::uint32_t sum = std::uint32_t(kFileData.size())) {
  PackageWriter w;
  w.addEntry(kTagAppName, "Application", nameRecord("Verify Test"));
  fill(w);
  w.addInline(kTagSum, "Copy", sum, sum);
  return w.finish().value();
}

void addFile(PackageWriter& w) {
  w.addEntry(kTagCopy, "Copy", addFileBlocks(w, "file.txt", kFileData));
}

// The package with its directory unpacked, changed and packed again.
Bytes withDirectory(Bytes pkg, const std::function<void(Bytes&)>& change) {
  const std::uint32_t at = loadLE32(&pkg[kHeaderDirectoryOffset]);
  const std::uint32_t count = loadLE32(&pkg[kHeaderEntryCountOffset]);
  Bytes dir(count * kEntrySize);
  uLongf size = static_cast<uLongf>(dir.size());
  EXPECT_EQ(uncompress(dir.data(), &size, &pkg[at], static_cast<uLong>(pkg.size() - at)), Z_OK);
  change(dir);
  uLongf packedSize = compressBound(static_cast<uLong>(dir.size()));
  Bytes packed(packedSize);
  compress2(packed.data(), &packedSize, dir.data(), static_cast<uLong>(dir.size()), 9);
  pkg.resize(at);
  pkg.insert(pkg.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packedSize));
  storeLE32(&pkg[kHeaderDirectoryPackedOffset], static_cast<std::uint32_t>(packedSize));
  return pkg;
}

struct Damage {
  const char* what;
  std::function<Bytes()> make;
  const char* problem;  // a part of the message
};

std::string allProblems(const VerifyReport& r) {
  std::string s;
  for (const std::string& p : r.problems) s += p + "\n";
  return s;
}

// `levels` folder records, each the only member of the one above; the top one is an entry.
void addNestedFolders(PackageWriter& w, int levels) {
  std::vector<TaggedRange> members;
  for (int level = levels; level > 1; --level) {
    const PackedRange inner = w.addData(directoryRecord("d", members));
    members = {{kTagCopyDir, inner}};
  }
  w.addEntry(kTagCopyDir, "Folder", directoryRecord("d", members));
}

// A folder entry `name` of `files` empty files of its own: 1 + files records of the walk.
void addFolderOfFiles(PackageWriter& w, const std::string& name, std::size_t files) {
  std::vector<TaggedRange> members;
  for (std::size_t f = 0; f < files; ++f)
    members.push_back(
        {kTagCopy, w.addData(copyRecord(name + "\\f" + std::to_string(f) + ".txt", 0, {}))});
  w.addEntry(kTagCopyDir, "Folder", directoryRecord(name, members));
}

TEST(Verify, ASoundPackagePasses) {
  const VerifyReport r = verifyPackage(package(addFile));
  EXPECT_TRUE(r.ok()) << r.summary();
  EXPECT_TRUE(r.warnings.empty()) << r.summary();
  EXPECT_EQ(r.files, 1u);
  EXPECT_EQ(r.blocks, 1u);
  EXPECT_EQ(r.bytes, kFileData.size());
  EXPECT_EQ(r.summary().substr(0, 14), "OK: 3 entries ");
}

TEST(Verify, ReportsEveryKindOfDamage) {
  const Damage cases[] = {
      {"a sum that disagrees", [] { return package(addFile, 4999); }, "SumC says 4999 bytes"},
      {"no AppN",
       [] {
         PackageWriter w;
         w.addInline(kTagSum, "Copy", 0, 0);
         return w.finish().value();
       },
       "no AppN"},
      {"no SumC",
       [] {
         PackageWriter w;
         w.addEntry(kTagAppName, "A", nameRecord("A"));
         return w.finish().value();
       },
       "no SumC"},
      {"a SumC with a body",
       [] {
         return package([](PackageWriter& w) { w.addEntry(kTagSum, "Copy", Bytes(8, 0)); }, 0);
       },
       "must be inline"},
      {"an AppN without a body",
       [] {
         PackageWriter w;
         w.addInline(kTagAppName, "A", 3, 3);
         w.addInline(kTagSum, "Copy", 0, 0);
         return w.finish().value();
       },
       "has no body"},
      {"a file size that disagrees with its blocks",
       [] {
         return package([](PackageWriter& w) {
           std::vector<TaggedRange> blocks{{kTagBlockMarker, w.addData(kFileData)}};
           w.addEntry(kTagCopy, "Copy", copyRecord("f.txt", 4000, blocks));
         });
       },
       "size field says 4000"},
      {"a block that is no zlib stream",
       [] {
         return package([](PackageWriter& w) {
           std::vector<TaggedRange> blocks{{kTagBlockMarker, w.addRaw(Bytes(100, 0x55), 5000)}};
           w.addEntry(kTagCopy, "Copy", copyRecord("f.txt", 5000, blocks));
         });
       },
       "block 0 cannot be read"},
      {"a packed block with a flipped byte",
       [] {
         Bytes pkg = package(addFile);
         pkg[52 + 40] ^= 0x10;  // inside the file's only block, which is packed
         return pkg;
       },
       "block 0 cannot be read"},
      {"a block count beyond the record",
       [] {
         return package([](PackageWriter& w) {
           Bytes rec = addFileBlocks(w, "f.txt", kFileData);
           rec[1 + 5 + 1 + 4] = 2;  // the count of a one-block record
           w.addEntry(kTagCopy, "Copy", rec);
         });
       },
       "not a file record"},
      {"a name that climbs out",
       [] {
         return package([](PackageWriter& w) {
           w.addEntry(kTagCopy, "Copy", addFileBlocks(w, "..\\evil.txt", kFileData));
         });
       },
       "leaves the folder"},
      {"a folder that contains itself",
       [] {
         return package(
             [](PackageWriter& w) {
               const auto self = static_cast<std::uint32_t>(w.dataSize());
               const std::uint32_t size = 1 + 5 + 4 + 16;
               std::vector<TaggedRange> members{{kTagCopyDir, {self, size, size}}};
               Bytes rec = directoryRecord("loop", members);
               w.addEntryAt(kTagCopyDir, "Folder", w.addRaw(rec, size));
             },
             0);
       },
       "loop"},
      {"HKLM as the registry root",
       [] {
         return package([](PackageWriter& w) {
           addFile(w);
           w.addEntry(kTagRoot, "R", rootRecord("HKLM", "Software\\X"));
         });
       },
       "HLM"},
      {"a bitmap with a 124-byte header",
       [] {
         return package([](PackageWriter& w) {
           addFile(w);
           Bytes bmp = test::makeBmp({4, 4, 24});
           Bytes body(bmp.begin() + 14, bmp.end());  // header as the file has it, 40 bytes
           body[0] = 124;
           w.addEntry(kTagBitmap, "pic", body);
         });
       },
       "reads 40"},
      {"a link record cut short",
       [] {
         return package([](PackageWriter& w) {
           addFile(w);
           Bytes rec = linkRecord("Demo", "file.txt");
           rec.pop_back();
           w.addEntry(kTagGroupLink, "ShortCut", rec);
         });
       },
       "not a link record"},
      {"an entry that shadows a bitmap's name",
       [] {
         return package([](PackageWriter& w) {
           addFile(w);
           const Bytes bmp = test::makeBmp({240, 40, 24});
           w.addEntry(kTagDeleteFile, "title", nameRecord("x.log"));
           w.addEntry(kTagBitmap, "title", Bytes(bmp.begin() + 14, bmp.end()));
         });
       },
       "stands before the bitmap"},
      {"an index field that is not the entry's position",
       [] {
         return withDirectory(package(addFile), [](Bytes& dir) {
           storeLE32(&dir[kEntrySize + kEntryIndexOffset], 7);
         });
       },
       "index field says 7"},
      {"a count slot that is not 0",
       [] {
         return withDirectory(package(addFile),
                              [](Bytes& dir) { storeLE32(&dir[kEntryCountOffset], 1); });
       },
       "cache and count slots"},
      {"a header name without its NUL",
       [] {
         Bytes pkg = package(addFile);
         for (std::size_t i = 0; i < kNameFieldSize; ++i) pkg[kHeaderNameOffset + i] = 'n';
         return pkg;
       },
       "header's name"},
      {"not a package at all", [] { return Bytes(30, 0); }, "not a readable package"},
      {"a file named like the uninstall log",
       [] {
         return package([](PackageWriter& w) {
           w.addEntry(kTagCopy, "Copy", addFileBlocks(w, "UnInstall.log", kFileData));
         });
       },
       "is the uninstall log"},
      {"a folder member named like the uninstall log",
       [] {
         return package([](PackageWriter& w) {
           const PackedRange file = w.addData(addFileBlocks(w, ".\\UNINSTALL.LOG", kFileData));
           const std::vector<TaggedRange> members{{kTagCopy, file}};
           w.addEntry(kTagCopyDir, "Folder", directoryRecord("f", members));
         });
       },
       "is the uninstall log"},
      {"a key path with a line feed",
       [] {
         return package([](PackageWriter& w) {
           addFile(w);
           w.addEntry(kTagRoot, "R", rootRecord("HCU", "Software\\X\n[HKEY_LOCAL_MACHINE\\Y]"));
         });
       },
       "control character (byte 0x0A)"},
      {"a value name with DEL",
       [] {
         return package([](PackageWriter& w) {
           addFile(w);
           w.addEntry(kTagRoot, "R", rootRecord("HCU", "Software\\X"));
           w.addEntry(kTagValue, "R", valueRecord("Name\x7F", "REG_SZ", "x"));
         });
       },
       "control character (byte 0x7F)"},
      {"a folder that lists one file record twice",
       [] {
         return package(
             [](PackageWriter& w) {
               const TaggedRange file{kTagCopy, w.addData(copyRecord("d\\e.txt", 0, {}))};
               w.addEntry(kTagCopyDir, "D", directoryRecord("d", std::vector{file, file}));
             },
             0);
       },
       "entry 1 (CopD \"D\") folder \"d\" member 1: its record is reached twice"},
      {"two folder entries that name one folder record",
       [] {
         return package(
             [](PackageWriter& w) {
               const TaggedRange tree{kTagCopyDir, w.addData(directoryRecord("t", {}))};
               w.addEntry(kTagCopyDir, "A", directoryRecord("a", std::vector{tree}));
               w.addEntry(kTagCopyDir, "B", directoryRecord("b", std::vector{tree}));
             },
             0);
       },
       "entry 2 (CopD \"B\") folder \"b\" member 0: its record is reached twice"},
      {"two file entries with one body",
       [] {
         return package([](PackageWriter& w) {
           const PackedRange body = w.addData(addFileBlocks(w, "file.txt", kFileData));
           w.addEntryAt(kTagCopy, "Copy", body);
           w.addEntryAt(kTagCopy, "Copy", body);
         });
       },
       "entry 2 (Copy \"Copy\"): its record is reached twice"},
      {"folders nested one level deeper than the setup walks",
       [] {
         return package([](PackageWriter& w) { addNestedFolders(w, kMaxDirectoryDepth + 1); }, 0);
       },
       "deeper than 64 levels"},
  };
  for (const Damage& c : cases) {
    const VerifyReport r = verifyPackage(c.make());
    EXPECT_FALSE(r.ok()) << c.what;
    EXPECT_NE(allProblems(r).find(c.problem), std::string::npos) << c.what << ":\n" << r.summary();
  }
}

// Packages from other tools may keep bodies as they are: readable, but nothing checks them.
TEST(Verify, WarnsOfStoredBodiesWhichNothingChecks) {
  const VerifyReport r = verifyPackage(package([](PackageWriter& w) {
    std::vector<TaggedRange> blocks{{kTagBlockMarker, w.addStored(kFileData)}};
    w.addEntryAt(kTagCopy, "Copy", w.addStored(copyRecord("file.txt", 5000, blocks)));
    w.addEntryAt(makeTag("Zzzz"), "Empty", w.addStored(Bytes{}));
  }));
  EXPECT_TRUE(r.ok()) << r.summary();
  EXPECT_EQ(r.stored, 2u) << "an empty body has no bytes to damage";
  ASSERT_EQ(r.warnings.size(), 2u) << r.summary();
  EXPECT_NE(r.warnings[1].find("2 bodies are stored"), std::string::npos) << r.warnings[1];
  EXPECT_NE(r.warnings[1].find("the first: entry 1 (Copy"), std::string::npos) << r.warnings[1];
}

// As deep as the setup goes passes.
TEST(Verify, PassesFoldersAsDeepAsTheSetupWalks) {
  const VerifyReport r =
      verifyPackage(package([](PackageWriter& w) { addNestedFolders(w, kMaxDirectoryDepth); }, 0));
  EXPECT_TRUE(r.ok()) << r.summary();
}

// One budget for the whole package, top-level files and folders and their members together,
// as in the setup; a real one of a million records takes half a minute under the sanitizers,
// so a small one stands in.
TEST(Verify, CountsTheRecordsOfThePackageAgainstOneBudget) {
  constexpr std::uint32_t kBudget = 100;
  const Fill twoFolders = [](PackageWriter& w) {
    addFolderOfFiles(w, "a", 49);  // 1 + 49 records
    addFolderOfFiles(w, "b", 49);
  };
  VerifyReport r = verifyPackage(package(twoFolders, 0), kBudget);
  EXPECT_TRUE(r.ok()) << r.summary();
  EXPECT_EQ(r.files, 98u);

  const std::pair<Fill, const char*> past[] = {
      {[&](PackageWriter& w) {
         w.addEntry(kTagCopy, "Copy", addFileBlocks(w, "top.txt", {}));
         twoFolders(w);
       },
       "a top-level file"},
      {[&](PackageWriter& w) {
         twoFolders(w);
         addFolderOfFiles(w, "c", 1);
       },
       "a third folder"},
      {[&](PackageWriter& w) {
         twoFolders(w);
         twoFolders(w);
       },
       "twice as many"},
  };
  for (const auto& [fill, what] : past) {
    r = verifyPackage(package(fill, 0), kBudget);
    EXPECT_EQ(r.problems.size(), 1u) << what << ":\n" << r.summary();
    EXPECT_NE(allProblems(r).find("more than 100 file and folder records"), std::string::npos)
        << what << ":\n"
        << r.summary();
  }
}

// The application name becomes the program group's folder below Programs.
TEST(Verify, RefusesApplicationNamesThatLeaveThePrograms) {
  for (const char* name :
       {"..", "...", ".. ", "a:b", "\\\\server\\share", "x\\..\\..\\y", "../y"}) {
    PackageWriter w;
    w.addEntry(kTagAppName, "Application", nameRecord(name));
    w.addInline(kTagSum, "Copy", 0, 0);
    const VerifyReport r = verifyPackage(w.finish().value());
    EXPECT_NE(allProblems(r).find("leaves the Programs folder"), std::string::npos) << name << ":\n"
                                                                                    << r.summary();
  }
}

// A package carrying "uninstall.exe" at the top and an "UnIn" entry with `record`.
Bytes withUninstaller(const Bytes& record) {
  return package([&record](PackageWriter& w) {
    addFile(w);
    w.addEntry(kTagCopy, "Copy", addFileBlocks(w, "Uninstall.EXE", {}));
    w.addEntry(kTagUninstaller, "Uninstaller", record);
  });
}

TEST(Verify, ChecksTheUninstallerEntry) {
  const VerifyReport sound =
      verifyPackage(withUninstaller(uninstallerRecord("uninstall.exe", "1.0", "Zorv", "file.txt")));
  EXPECT_TRUE(sound.ok()) << sound.summary();
  EXPECT_TRUE(sound.warnings.empty()) << sound.summary();

  const std::pair<Bytes, const char*> rows[] = {
      {uninstallerRecord("..\\uninstall.exe", "", "", ""), "leaves the folder"},
      {uninstallerRecord("C:\\uninstall.exe", "", "", ""), "drive"},
      {uninstallerRecord("UnInstall.log", "", "", ""), "is the uninstall log"},
      {uninstallerRecord("file.txt\\x", "", "", ""), "not a file at the top"},
      {uninstallerRecord("setup.exe", "", "", ""), "not a file at the top"},
      {uninstallerRecord("uninstall.exe", "", "", "..\\..\\icon.ico"), "icon"},
      {uninstallerRecord("", "", "", ""), "names no program"},
      {Bytes{14, 1, 1, 1}, "not an uninstaller record"},          // a length past the body
      {Bytes{1, 0, 1, 1, 0, 0, 0}, "not an uninstaller record"},  // a length without its NUL
      {Bytes{2, 1, 1, 1, 'x', 'y', 0, 0, 0}, "not an uninstaller record"},  // the NUL missing
  };
  for (const auto& [record, part] : rows) {
    const VerifyReport r = verifyPackage(withUninstaller(record));
    EXPECT_NE(allProblems(r).find(part), std::string::npos) << part << ":\n" << r.summary();
  }
}

// A package of one file and the uninstaller's program with `record` as an entry of `tag`: as
// its "AppN" for that tag, after a registry key for a value.
Bytes packageWith(std::uint32_t tag, const std::function<Bytes(PackageWriter&)>& record) {
  PackageWriter w;
  const Bytes body = record(w);
  w.addEntry(kTagAppName, "Application", tag == kTagAppName ? body : nameRecord("Verify Test"));
  addFile(w);
  w.addEntry(kTagCopy, "Copy", addFileBlocks(w, "uninstall.exe", {}));
  if (tag == kTagValue) w.addEntry(kTagRoot, "R", rootRecord("HCU", "Software\\X"));
  if (tag != kTagAppName) w.addEntry(tag, "E", body);
  const auto sum = std::uint32_t(kFileData.size());
  w.addInline(kTagSum, "Copy", sum, sum);
  return w.finish().value();
}

Bytes plus(Bytes record, std::initializer_list<std::uint8_t> more) {
  record.insert(record.end(), more);
  return record;
}

// Verify reads every record with the setup's parser: what the setup reads passes, with a
// warning for bytes it passes over; what it refuses is a problem.
TEST(Verify, ReadsEveryRecordAsTheSetupDoes) {
  const struct {
    const char* what;
    std::uint32_t tag;
    std::function<Bytes(PackageWriter&)> record;
    bool installs;
    const char* part;  // of a warning when it installs, of a problem when not
  } rows[] = {
      {"bytes after a file's blocks", kTagCopy,
       [](auto&) {
         return plus(copyRecord("e.txt", 0, {}), {0, 0});
       },
       true, "file \"e.txt\": 2 bytes that the setup does not read"},
      {"a negative block count", kTagCopy,
       [](auto&) {
         Bytes r = copyRecord("e.txt", 0, {});
         storeLE32(&r[1 + 5 + 1 + 4], 0xFFFFFFFF);  // the count
         return r;
       },
       true, "a negative block count, read as no block"},
      {"a byte after a folder's members", kTagCopyDir,
       [](auto&) { return plus(directoryRecord("d", {}), {0}); }, true,
       "folder \"d\": 1 byte that the setup does not read"},
      {"a byte after a folder member's blocks", kTagCopyDir,
       [](PackageWriter& w) {
         const PackedRange f = w.addData(plus(copyRecord("d\\e.txt", 0, {}), {7}));
         return directoryRecord("d", std::vector<TaggedRange>{{kTagCopy, f}});
       },
       true, "member 0 file \"d\\e.txt\": 1 byte that"},
      {"a link's NUL before the end of its field", kTagGroupLink,
       [](auto&) { return Bytes{3, 9, 'a', 0, 0, 'f', 'i', 'l', 'e', '.', 't', 'x', 't', 0}; },
       true, "1 byte that the setup does not read"},
      {"a byte after a key path's NUL", kTagRoot,
       [](auto&) { return plus(rootRecord("HCU", "Software\\X"), {'x'}); }, true, "1 byte that"},
      {"two NULs after a value's data", kTagValue,
       [](auto&) { return plus(valueRecord("N", "REG_SZ", "x"), {0}); }, true, "1 byte that"},
      {"a byte after the uninstaller's icon", kTagUninstaller,
       [](auto&) { return plus(uninstallerRecord("uninstall.exe", "1", "Z", ""), {'x'}); }, true,
       "1 byte that"},
      {"a byte after a clean-up name's NUL", kTagDeleteDir,
       [](auto&) { return plus(nameRecord("saves"), {'x'}); }, true, "1 byte that"},
      {"a clean-up name's length byte that disagrees", kTagDeleteFile,
       [](auto&) {
         Bytes r = nameRecord("x.log");
         r[0] = 9;
         return r;
       },
       true, "its length byte says 9 for a text of 6 bytes"},
      {"an application name without its NUL", kTagAppName,
       [](auto&) { return Bytes{7, 'V', 'e', 'r', 'i', 'f', 'y'}; }, true, "ends without a NUL"},
      {"a file name whose NUL comes early", kTagCopy,
       [](auto&) { return Bytes{3, 'a', 0, 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0}; }, false,
       "not a file record"},
      {"a folder member that is no folder record", kTagCopyDir,
       [](PackageWriter& w) {
         const PackedRange d = w.addData(Bytes{9, 'x'});
         return directoryRecord("d", std::vector<TaggedRange>{{kTagCopyDir, d}});
       },
       false, "folder \"d\" member 0: not a folder record"},
      {"a link of length 0", kTagGroupLink,
       [](auto&) {
         return Bytes{0, 2, 'b', 0};
       },
       false, "not a link record"},
      {"a key path without its NUL", kTagRoot,
       [](auto&) { return Bytes{4, 0, 0, 'H', 'C', 'U', 0, 'K'}; }, false,
       "not a registry key record"},
      {"a value's data without its NUL", kTagValue,
       [](auto&) { return Bytes{2, 7, 0, 'N', 0, 'R', 'E', 'G', '_', 'S', 'Z', 0, 'x'}; }, false,
       "not a registry value record"},
      {"a clean-up name without its NUL", kTagDeleteFile,
       [](auto&) {
         return Bytes{6, 'x'};
       },
       false, "not a name record"},
  };
  for (const auto& row : rows) {
    const VerifyReport r = verifyPackage(packageWith(row.tag, row.record));
    std::string all;
    for (const std::string& s : row.installs ? r.warnings : r.problems) all += s + "\n";
    EXPECT_EQ(r.ok(), row.installs) << row.what << ":\n" << r.summary();
    EXPECT_NE(all.find(row.part), std::string::npos) << row.what << ":\n" << r.summary();
  }
}

TEST(Verify, WarnsOfUninstallerEntriesTheSetupSkips) {
  const VerifyReport r = verifyPackage(package([](PackageWriter& w) {
    addFile(w);
    w.addEntry(kTagCopy, "Copy", addFileBlocks(w, "uninstall.exe", {}));
    w.addEntry(kTagUninstaller, "U", uninstallerRecord("uninstall.exe", "1.0\t", "Z\x7F", ""));
    w.addEntry(kTagUninstaller, "U", uninstallerRecord("other.exe", "", "", ""));
  }));
  EXPECT_TRUE(r.ok()) << r.summary();
  std::string all;
  for (const std::string& w : r.warnings) all += w + "\n";
  for (const char* part :
       {"the version \"1.0?\" holds control characters",
        "the publisher \"Z?\" holds control characters", "only the first uninstaller entry"})
    EXPECT_NE(all.find(part), std::string::npos) << part << " in:\n" << all;
}

TEST(Verify, WarnsAboutWhatTheSetupIgnores) {
  const VerifyReport r = verifyPackage(package([](PackageWriter& w) {
    addFile(w);
    w.addEntry(kTagValue, "R", valueRecord("Early", "REG_SZ", "x"));
    w.addEntry(kTagRoot, "R", rootRecord("HCU", "Software\\X"));
    w.addEntry(kTagValue, "R", valueRecord("Late", "REG_SZ", "at DESTDIR"));
    w.addEntry(kTagValue, "R", valueRecord("Binary", "REG_BINARY", "1"));
    w.addEntry(makeTag("Zzzz"), "?", nameRecord("?"));
  }));
  EXPECT_TRUE(r.ok()) << r.summary();
  std::string all;
  for (const std::string& w : r.warnings) all += w + "\n";
  for (const char* part :
       {"outside the first registry key", "must start the data", "only REG_SZ", "does not use"})
    EXPECT_NE(all.find(part), std::string::npos) << part << " in:\n" << all;
}

}  // namespace
}  // namespace zorv
