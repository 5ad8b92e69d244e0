// A package the builder made proves its own integrity: every body and every data block is a
// zlib stream, so one flipped byte anywhere the setup reads is refused, and verify names where.
#include <gtest/gtest.h>

#include <functional>

#include "install/records.h"
#include "package/byte_cursor.h"
#include "package/package.h"
#include "tests/builder/test_support.h"
#include "tools/builder/build.h"
#include "tools/examine/verify.h"

namespace zorv {
namespace {

using test::Bytes;

// Two blocks at the top, one file in a folder, a record or two of every other kind.
Bytes builtPackage() {
  test::TempTree tree;
  tree.write("app/big.txt", test::textBytes(kBlockSize + 1000, 1));
  tree.write("app/noise.bin", test::noiseBytes(3000, 2));
  tree.write("app/sub/small.txt", "small");
  Diagnostics d;
  auto pkg = buildFromManifest(tree.manifest(R"([application]
name = "Integrity"
default-parent = 'C:\Apps'
[[files]]
source = "app"
target = ""
[[shortcut]]
name = "Big"
target = "big.txt"
[uninstall]
program = false
)"),
                               BuildOptions{}, d);
  EXPECT_TRUE(pkg) << d.text();
  return pkg.value_or(Bytes{});
}

// The range of the first entry with `tag`.
PackedRange entryRange(const Package& p, std::uint32_t tag) {
  const EntryInfo e = p.entry(p.findByTag(tag, 0, -1));
  return {e.offset, e.unpacked, e.packed};
}

// The record that `range` holds, unpacked, for finding the ranges it lists.
Bytes body(Package& p, PackedRange range) {
  auto b = p.readRange(range);
  return b ? Bytes(b->bytes().begin(), b->bytes().end()) : Bytes{};
}

PackedRange firstBlock(Package& p, PackedRange record) {
  const Bytes b = body(p, record);
  auto file = parseCopyRecord(b);
  return file && file->blocks.size() > 0 ? file->blocks[0].range : PackedRange{};
}

PackedRange firstMember(Package& p, PackedRange folder) {
  const Bytes b = body(p, folder);
  auto dir = parseDirectoryRecord(b);
  return dir && dir->members.size() > 0 ? dir->members[0].range : PackedRange{};
}

TEST(Integrity, ABuiltPackageHasNoStoredBodyAtAll) {
  const Bytes pkg = builtPackage();
  auto p = openPackage(pkg);
  ASSERT_TRUE(p);
  std::size_t bodies = 0;
  const std::function<void(PackedRange, std::uint32_t)> walk = [&](PackedRange r,
                                                                   std::uint32_t tag) {
    EXPECT_NE(r.packed, r.unpacked) << "a stored body at offset " << r.offset;
    ++bodies;
    const Bytes b = body(*p, r);
    if (tag == kTagCopy) {
      const RangeList blocks = parseCopyRecord(b)->blocks;
      for (std::uint32_t k = 0; k < blocks.size(); ++k) walk(blocks[k].range, 0);
    }
    if (tag == kTagCopyDir) {
      const RangeList members = parseDirectoryRecord(b)->members;
      for (std::uint32_t k = 0; k < members.size(); ++k) walk(members[k].range, members[k].tag);
    }
  };
  for (std::uint32_t i = 0; i < p->entryCount(); ++i) {
    const EntryInfo e = p->entry(std::int32_t(i));
    if (!e.isInline()) walk({e.offset, e.unpacked, e.packed}, e.tag);
  }
  // AppN, DirD, Grup, CPag, Rels; the three bitmaps drawn without [bitmaps]; two records and
  // three blocks at the top; a folder, its file and block.
  EXPECT_EQ(bodies, 5u + 3u + 5u + 3u);
  const VerifyReport r = verifyPackage(pkg);
  EXPECT_TRUE(r.ok()) << r.summary();
  EXPECT_EQ(r.stored, 0u);
  EXPECT_TRUE(r.warnings.empty()) << r.summary();
}

// One byte flipped in the middle of what the row picks; verify must refuse the package and say
// where, naming the file for its blocks.
TEST(Integrity, VerifyNamesEveryFlippedByte) {
  const Bytes good = builtPackage();
  auto p = openPackage(good);
  ASSERT_TRUE(p);
  const PackedRange file = entryRange(*p, kTagCopy);
  const PackedRange folder = entryRange(*p, kTagCopyDir);
  const PackedRange nested = firstMember(*p, folder);
  const std::uint32_t dirAt = loadLE32(&good[kHeaderDirectoryOffset]);
  const std::uint32_t dirPacked = loadLE32(&good[kHeaderDirectoryPackedOffset]);
  struct Row {
    const char* what;
    PackedRange where;
    const char* problem;  // a part of the message
  } rows[] = {
      {"a file's first data block", firstBlock(*p, file),
       "file \"big.txt\" block 0 cannot be read"},
      {"a file's last data block",
       [&] {
         const Bytes b = body(*p, file);
         const RangeList blocks = parseCopyRecord(b)->blocks;
         return blocks[blocks.size() - 1].range;
       }(),
       "file \"big.txt\" block 1 cannot be read"},
      {"a file record", file, "(Copy \"Copy\"): its body cannot be read"},
      {"a folder record", folder, "(CopD \"Folder\"): its body cannot be read"},
      {"a file record in a folder", nested, "folder \"sub\" member 0: cannot be read"},
      {"a data block of a file in a folder", firstBlock(*p, nested),
       "file \"sub\\small.txt\" block 0 cannot be read"},
      {"the directory", {dirAt, 0, dirPacked}, "directory is damaged"},
  };
  for (const Row& r : rows) {
    ASSERT_GT(r.where.packed, 0u) << r.what;
    Bytes bad = good;
    bad[r.where.offset + r.where.packed / 2] ^= 0x01;
    const VerifyReport report = verifyPackage(bad);
    EXPECT_FALSE(report.ok()) << r.what;
    std::string all;
    for (const std::string& s : report.problems) all += s + "\n";
    EXPECT_NE(all.find(r.problem), std::string::npos) << r.what << ":\n" << all;
    EXPECT_EQ(report.problems.size(), 1u) << r.what << ": one damage, one problem:\n" << all;
  }
}

}  // namespace
}  // namespace zorv
