// Round trips through the setup's own reader: every entry, every file byte, the layout
// conventions of the package, and byte-identical output for any number of threads.
#include "tools/builder/build.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <map>

#include "package/byte_cursor.h"
#include "package/package.h"
#include "install/records.h"
#include "tests/builder/test_support.h"
#include "tests/pe/pe_test_image.h"
#include "tools/builder/bmp.h"
#include "tools/examine/verify.h"
#include "tools/writer/records.h"

namespace zorv {
namespace {

using test::Bytes;
using test::TempTree;

// A file record or a folder record read the way the setup reads them.
struct CopyRead {
  std::string name;
  std::uint32_t fileSize = 0;
  std::vector<PackedRange> blocks;
};
struct FolderRead {
  std::string name;
  std::vector<std::pair<std::uint32_t, PackedRange>> members;
};

CopyRead readCopy(std::span<const std::uint8_t> body) {
  ByteCursor c(body);
  CopyRead r;
  const std::uint8_t n = c.u8();
  r.name = std::string(c.textField(n + 1u));
  r.fileSize = c.u32();
  const std::int32_t count = c.i32();
  for (std::int32_t i = 0; i < count; ++i) {
    EXPECT_EQ(c.u32(), kTagBlockMarker);
    r.blocks.push_back({c.u32(), c.u32(), c.u32()});
  }
  EXPECT_TRUE(c.ok() && c.remaining() == 0) << r.name;
  return r;
}

FolderRead readFolder(std::span<const std::uint8_t> body) {
  ByteCursor c(body);
  FolderRead r;
  r.name = std::string(c.textField(c.u8()));
  const std::int32_t count = c.i32();
  for (std::int32_t i = 0; i < count; ++i) {
    const std::uint32_t tag = c.u32();
    r.members.push_back({tag, {c.u32(), c.u32(), c.u32()}});
  }
  EXPECT_TRUE(c.ok() && c.remaining() == 0) << r.name;
  return r;
}

// Unpacks a file's blocks and checks the block conventions on the way.
Bytes fileBytes(Package& p, const CopyRead& r) {
  Bytes out;
  for (std::size_t i = 0; i < r.blocks.size(); ++i) {
    const PackedRange& b = r.blocks[i];
    if (i + 1 < r.blocks.size()) {
      EXPECT_EQ(b.unpacked, kBlockSize) << r.name;
    }
    auto data = p.readRange(b);
    EXPECT_TRUE(data) << r.name << ": " << p.lastError();
    if (!data) return out;
    // A zlib stream, checked by its Adler-32: level 9, or stored deflate blocks where level 9
    // did not shrink the data.
    EXPECT_FALSE(b.isStored()) << r.name;
    const std::uint8_t flags = p.readRange({b.offset, 2, 2})->bytes()[1];
    if (b.packed < b.unpacked)
      EXPECT_EQ(flags, 0xDA) << r.name << ": a level-9 stream";
    else
      EXPECT_TRUE(flags == 0xDA || flags == 0x01) << r.name;
    out.insert(out.end(), data->bytes().begin(), data->bytes().end());
  }
  EXPECT_EQ(out.size(), r.fileSize) << r.name;
  return out;
}

// Every file below a folder record, by name.
void collectFolder(Package& p, std::span<const std::uint8_t> body,
                   std::map<std::string, Bytes>& files, std::vector<std::string>& folders) {
  const FolderRead f = readFolder(body);
  folders.push_back(f.name);
  bool seenFolder = false;
  for (const auto& [tag, range] : f.members) {
    auto data = p.readRange(range);
    ASSERT_TRUE(data) << p.lastError();
    if (tag == kTagCopy) {
      EXPECT_FALSE(seenFolder) << "files come before sub-folders in " << f.name;
      const CopyRead c = readCopy(data->bytes());
      EXPECT_TRUE(c.name.starts_with(f.name + "\\")) << c.name;
      files[c.name] = fileBytes(p, c);
    } else {
      ASSERT_EQ(tag, kTagCopyDir);
      seenFolder = true;
      collectFolder(p, data->bytes(), files, folders);
    }
  }
}

std::string bodyText(Package& p, std::uint32_t tag) {
  const std::int32_t i = p.findByTag(tag, 0, -1);
  if (i < 0) return "<none>";
  auto body = p.acquireEntry(i);
  std::string text(reinterpret_cast<const char*>(body->data()) + 1);
  p.releaseEntry(i);
  return text;
}

Bytes entryBody(Package& p, std::int32_t i) {
  auto body = p.acquireEntry(i);
  Bytes out(body->begin(), body->end());
  p.releaseEntry(i);
  return out;
}

class BuildRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    expected_["empty.txt"] = {};
    expected_["one.bin"] = test::noiseBytes(1, 1);
    expected_["text.txt"] = test::textBytes(1'000'000, 2);
    expected_["noise.bin"] = test::noiseBytes(kBlockSize, 3);
    expected_["mixed.bin"] = test::noiseBytes(kBlockSize + 1, 4);
    expected_["sub\\a.txt"] = test::textBytes(100, 5);
    expected_["sub\\deeper\\file.dat"] = test::textBytes(700'000, 6);
    expected_["sub\\deeper\\most\\x.txt"] = test::textBytes(10, 7);
    for (const auto& [name, bytes] : expected_) {
      std::string path = "app/" + name;
      std::replace(path.begin(), path.end(), '\\', '/');
      tree_.write(path, bytes);
    }
    tree_.write("art/title.bmp", test::makeBmp({240, 40, 8}));
    tree_.write("art/pic1.bmp", test::makeBmp({445, 130, 24}));
    tree_.write("tools/uninstall.exe", pe_test::buildImage(pe_test::typicalStub()));
  }

  // `identity` goes into [application]; `program` is the [uninstall] key.
  std::optional<Bytes> build(unsigned threads, Diagnostics& d, std::string_view identity = "",
                             std::string_view program = "false") {
    BuildOptions options;
    options.threads = threads;
    options.best = best_;
    options.headerName = "demo.exe";
    options.uninstaller = tree_.path("tools/uninstall.exe").string();
    return buildFromManifest(tree_.manifest(R"([application]
name = "Round Trip"
default-parent = 'D:\Apps'
run = "one.bin"
)" + std::string(identity) + R"(
[[files]]
source = "app"
target = ""
[[shortcut]]
name = 'Tools\Text'
target = "text.txt"
desktop = false
[[shortcut]]
name = "Noise"
target = "noise.bin"
desktop = true
[registry]
key = 'HLM\Software\Round Trip'
[registry.values]
Path = "DESTDIR"
From = 'SRCDIR\setup.exe'
When = "DATEINSTALL"
[uninstall]
folders = ["cache"]
files = ["*.tmp", 'sub\*.log']
program = )" + std::string(program) + "\n" + bitmaps_),
                             options, d);
  }

  TempTree tree_;
  std::string bitmaps_ = "[bitmaps]\ntitle = \"art/title.bmp\"\npic1 = \"art/pic1.bmp\"\n";
  std::map<std::string, Bytes> expected_;
  bool best_ = false;  // --best
};

// The bodies follow the header back to back, each one zlib stream, and the directory follows
// them: zlib's inflate (the setup's) must read every stream there, each to its end with its
// Adler-32 checked, covering every byte from 52 to the end. The number of streams, or why the
// stream at that offset is not one.
std::expected<int, std::string> zlibStreamsFrom52(const Bytes& pkg) {
  int streams = 0;
  for (std::size_t at = 52; at < pkg.size(); ++streams) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return std::unexpected(std::string("inflateInit"));
    Bytes out(1 << 16);
    z.next_in = const_cast<Bytef*>(&pkg[at]);
    z.avail_in = static_cast<uInt>(pkg.size() - at);
    int rc = Z_OK;
    while (rc == Z_OK) {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      rc = inflate(&z, Z_NO_FLUSH);
    }
    at += z.total_in;
    inflateEnd(&z);
    if (rc != Z_STREAM_END) return std::unexpected("no zlib stream at " + std::to_string(at));
  }
  return streams;
}

// Both levels: every stream that the builder writes is one that the setup's inflater reads,
// and the best level is the smaller.
TEST_F(BuildRoundTrip, ZlibReadsEveryStreamAtBothLevels) {
  std::size_t sizes[2] = {};
  for (const bool best : {false, true}) {
    best_ = best;
    Diagnostics d;
    auto pkg = build(2, d);
    ASSERT_TRUE(pkg) << d.text();
    const auto streams = zlibStreamsFrom52(*pkg);
    ASSERT_TRUE(streams) << streams.error();
    // Entries with a body, the files' 10 blocks (6 at the top, 4 in the folder), the 5 records
    // of the folder's members (3 files, 2 folders), and the directory.
    auto p = openPackage(*pkg);
    ASSERT_TRUE(p);
    int bodies = 0;
    for (std::uint32_t i = 0; i < p->entryCount(); ++i)
      bodies += !p->entry(std::int32_t(i)).isInline();
    EXPECT_EQ(*streams, bodies + 10 + 5 + 1) << (best ? "--best" : "default");
    EXPECT_TRUE(verifyPackage(*pkg).ok());
    sizes[best] = pkg->size();
  }
  EXPECT_LT(sizes[1], sizes[0]);
}

TEST_F(BuildRoundTrip, TheReaderGetsBackEveryEntryAndFile) {
  Diagnostics d;
  auto pkg = build(2, d);
  ASSERT_TRUE(pkg) << d.text();
  std::string why;
  auto p = openPackage(*pkg, &why);
  ASSERT_TRUE(p) << why;

  const PackageHeader& h = p->header();
  EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(h.magic), 4), "1cra");
  EXPECT_EQ(h.name, "demo.exe");
  EXPECT_EQ(h.dataBase, 0u);
  EXPECT_EQ(h.directoryOffset + h.directoryPacked, pkg->size()) << "the directory comes last";
  EXPECT_EQ(p->entry(0).offset, 52u) << "the first body follows the header";

  // Directory order: the fixed entries, the files, the folders, then the rest.
  std::string tags;
  for (std::uint32_t i = 0; i < p->entryCount(); ++i)
    tags += tagText(p->entry(std::int32_t(i)).tag) + " ";
  EXPECT_EQ(
      tags,
      "AppN SumC DirD BmpT BmpT Copy Copy Copy Copy Copy CopD Grup Grup Desk root valr valr valr "
      "DelD DelF DelF RunS CPag Rels ");
  EXPECT_EQ(entryBody(*p, p->findByTag(kTagCodePage, 0, -1)), codePageRecord(1252));

  EXPECT_EQ(bodyText(*p, kTagAppName), "Round Trip");
  EXPECT_EQ(bodyText(*p, kTagDefaultDir), "D:\\Apps");
  EXPECT_EQ(bodyText(*p, kTagRunProgram), "one.bin");
  const EntryInfo sum = p->entry(p->findByTag(kTagSum, 0, -1));
  EXPECT_TRUE(sum.isInline());
  std::uint64_t total = 0;
  for (const auto& [name, bytes] : expected_) total += bytes.size();
  EXPECT_EQ(sum.unpacked, total);
  EXPECT_EQ(sum.packed, total);

  for (const char* name : {"title", "pic1"}) {
    const std::int32_t i = p->findByName(name);
    ASSERT_GE(i, 0) << name;
    EXPECT_EQ(p->entry(i).tag, kTagBitmap);
    std::string file = std::string("art/") + name + ".bmp";
    EXPECT_EQ(entryBody(*p, i), *bmpToBitmapBody(test::readFileBytes(tree_.path(file)))) << name;
  }
  EXPECT_LT(p->findByName("pic"), 0);

  std::map<std::string, Bytes> files;
  std::vector<std::string> folders;
  for (std::int32_t i = p->findByTag(kTagCopy, 0, -1); i >= 0;
       i = p->findByTag(kTagCopy, i + 1, -1)) {
    const CopyRead c = readCopy(entryBody(*p, i));
    files[c.name] = fileBytes(*p, c);
    // The blocks lie just before the record, one after the other.
    std::uint32_t at = c.blocks.empty() ? p->entry(i).offset : c.blocks.front().offset;
    for (const PackedRange& b : c.blocks) {
      EXPECT_EQ(b.offset, at) << c.name;
      at = b.offset + b.packed;
    }
    EXPECT_EQ(at, p->entry(i).offset) << c.name;
  }
  for (std::int32_t i = p->findByTag(kTagCopyDir, 0, -1); i >= 0;
       i = p->findByTag(kTagCopyDir, i + 1, -1))
    collectFolder(*p, entryBody(*p, i), files, folders);
  EXPECT_EQ(files, expected_);
  EXPECT_EQ(folders, (std::vector<std::string>{"sub", "sub\\deeper", "sub\\deeper\\most"}));

  const auto body = [&](std::uint32_t tag, int nth) {
    std::int32_t i = p->findByTag(tag, 0, -1);
    while (nth-- > 0) i = p->findByTag(tag, i + 1, -1);
    return i < 0 ? Bytes{} : entryBody(*p, i);
  };
  EXPECT_EQ(body(kTagGroupLink, 0), linkRecord("Tools\\Text", "text.txt"));
  EXPECT_EQ(body(kTagGroupLink, 1), linkRecord("Noise", "noise.bin"));
  EXPECT_EQ(body(kTagDesktopLink, 0), linkRecord("Noise", "noise.bin"));
  EXPECT_EQ(body(kTagRoot, 0), rootRecord("HLM", "Software\\Round Trip"));
  EXPECT_EQ(body(kTagValue, 0), valueRecord("Path", "REG_SZ", "DESTDIR"));
  EXPECT_EQ(body(kTagValue, 1), valueRecord("From", "REG_SZ", "SRCDIR\\setup.exe"));
  EXPECT_EQ(body(kTagValue, 2), valueRecord("When", "REG_SZ", "DATEINSTALL"));
  EXPECT_EQ(body(kTagDeleteDir, 0), nameRecord("cache"));
  EXPECT_EQ(body(kTagDeleteFile, 1), nameRecord("sub\\*.log"));

  const VerifyReport report = verifyPackage(*pkg);
  EXPECT_TRUE(report.ok()) << report.summary();
  EXPECT_TRUE(report.warnings.empty()) << report.summary();
  EXPECT_EQ(report.files, expected_.size());
  EXPECT_EQ(report.bytes, total);
}

// The bytes this manifest gives without the uninstaller and the product's identity: those
// must not change the package by a bit, nor the bitmaps the builder draws for a manifest
// without [bitmaps], as this one names two of its own. (The figures were 1,234,715 bytes and 0x631F01FC while
// bodies that deflate could not shrink were stored; every body a zlib stream costs 274 bytes.
// The code page entry and its body, which the setup never reads, added 32 bytes to the
// 1,234,989 of 0xD3F0AEC1; the release entry 27 more to the 1,235,021 of 0x79646099. It was
// 1,235,048 bytes of 0x23D1D64F while zlib compressed; libdeflate's level 9 packs this
// generated text 5,228 bytes less tightly, and the benchmark's payload as tightly.)
TEST_F(BuildRoundTrip, WithoutTheUninstallerThePackageIsAsBefore) {
  Diagnostics d;
  auto pkg = build(2, d);
  ASSERT_TRUE(pkg) << d.text();
  EXPECT_EQ(pkg->size(), 1240276u);
  EXPECT_EQ(crc32(0, pkg->data(), static_cast<uInt>(pkg->size())), 0x60754614u);
}

// The names of the package's bitmaps, each followed by a space.
std::string bitmapNames(const Bytes& pkg) {
  auto p = openPackage(pkg);
  std::string names;
  for (std::int32_t i = p ? p->findByTag(kTagBitmap, 0, -1) : -1; i >= 0;
       i = p->findByTag(kTagBitmap, i + 1, -1))
    names += p->entry(i).name + " ";
  return names;
}

// Without [bitmaps] the page's opening three are drawn, and verify without a warning (verify
// warns of a page bitmap at another size than the page's); an empty table asks for none.
TEST_F(BuildRoundTrip, DrawsTheOpeningBitmapsOnlyWithoutABitmapsTable) {
  for (const auto& [table, names] :
       {std::pair<std::string, std::string>{"", "title pic zorv "}, {"[bitmaps]\n", ""}}) {
    bitmaps_ = table;
    Diagnostics d;
    auto pkg = build(2, d);
    ASSERT_TRUE(pkg) << d.text();
    EXPECT_EQ(bitmapNames(*pkg), names) << "[bitmaps] as \"" << table << "\"";
    const VerifyReport report = verifyPackage(*pkg);
    EXPECT_TRUE(report.ok() && report.warnings.empty()) << report.summary();
  }
}

TEST_F(BuildRoundTrip, CarriesTheUninstallerAndRegistersIt) {
  Diagnostics d;
  auto pkg = build(3, d, "version = \"4.5\"\npublisher = \"Zorv\"\n", "true");
  ASSERT_TRUE(pkg) << d.text();
  std::string why;
  auto p = openPackage(*pkg, &why);
  ASSERT_TRUE(p) << why;
  // The uninstaller is the last top-level file, and its entry the last before the code page's
  // and the release entry.
  std::int32_t last = -1;
  for (std::int32_t i = p->findByTag(kTagCopy, 0, -1); i >= 0;
       i = p->findByTag(kTagCopy, i + 1, -1))
    last = i;
  ASSERT_GE(last, 0);
  const CopyRead program = readCopy(entryBody(*p, last));
  EXPECT_EQ(program.name, "uninstall.exe");
  const Bytes carried = fileBytes(*p, program);
  EXPECT_TRUE(carried.size() > 2 && carried[0] == 'M' && carried[1] == 'Z');
  EXPECT_EQ(p->entry(last + 1).tag, kTagCopyDir);
  const std::int32_t entry = p->findByTag(kTagUninstaller, 0, -1);
  EXPECT_EQ(entry, std::int32_t(p->entryCount()) - 3);
  EXPECT_EQ(p->entry(entry + 1).tag, kTagCodePage);
  EXPECT_EQ(p->entry(entry + 2).tag, kTagRelease);
  const Bytes record = entryBody(*p, entry);
  EXPECT_EQ(record, uninstallerRecord("uninstall.exe", "4.5", "Zorv", ""));
  // The setup's own reader takes it.
  auto parsed = parseUninstallerRecord(record);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->program, "uninstall.exe");
  EXPECT_EQ(parsed->version, "4.5");
  EXPECT_EQ(parsed->publisher, "Zorv");
  EXPECT_EQ(parsed->icon, "");
  const EntryInfo sum = p->entry(p->findByTag(kTagSum, 0, -1));
  std::uint64_t total = carried.size();
  for (const auto& [name, bytes] : expected_) total += bytes.size();
  EXPECT_EQ(sum.unpacked, total);

  const VerifyReport report = verifyPackage(*pkg);
  EXPECT_TRUE(report.ok()) << report.summary();
  EXPECT_TRUE(report.warnings.empty()) << report.summary();
  EXPECT_EQ(report.files, expected_.size() + 1);
  // The same bytes for any number of threads, the uninstaller's block included.
  EXPECT_TRUE(*build(1, d, "version = \"4.5\"\npublisher = \"Zorv\"\n", "true") == *pkg);
}

TEST_F(BuildRoundTrip, RefusesAFileInTheUninstallersPlace) {
  tree_.write("app/Uninstall.EXE", "mine");
  Diagnostics d;
  EXPECT_FALSE(build(1, d, "", "true"));
  EXPECT_NE(d.text().find("zorv.toml:7: error: \"Uninstall.EXE\" is the uninstaller"),
            std::string::npos)
      << d.text();
  EXPECT_TRUE(build(1, d, "", "false")) << "one's own uninstaller without ours:\n" << d.text();
}

TEST_F(BuildRoundTrip, OutputIsTheSameForAnyNumberOfThreads) {
  Diagnostics d;
  auto one = build(1, d);
  ASSERT_TRUE(one) << d.text();
  for (unsigned threads : {2u, 3u, 8u}) {
    auto many = build(threads, d);
    ASSERT_TRUE(many) << d.text();
    EXPECT_TRUE(*many == *one) << threads << " threads";
  }
  EXPECT_TRUE(*build(4, d) == *one) << "a second run";
}

TEST_F(BuildRoundTrip, ReportsProgressUpToTheTotal) {
  Diagnostics d;
  auto m =
      loadManifest(tree_.manifest("[application]\nname = \"P\"\n[[files]]\nsource = \"app\"\n"), d);
  ASSERT_TRUE(m) << d.text();
  auto plan = makePlan(*m, d);
  ASSERT_TRUE(plan) << d.text();
  std::uint64_t last = 0, calls = 0;
  BuildOptions options;
  options.threads = 2;
  options.progress = [&](std::uint64_t done, std::uint64_t total) {
    EXPECT_GT(done, last);
    EXPECT_EQ(total, plan->totalBytes);
    last = done;
    ++calls;
  };
  const auto package = buildPackage(*m, *plan, options);
  ASSERT_TRUE(package) << package.error();
  EXPECT_EQ(last, plan->totalBytes);
  EXPECT_EQ(calls, plan->blockCount);
}

TEST_F(BuildRoundTrip, RefusesAFileThatChangedAfterThePlan) {
  Diagnostics d;
  auto m =
      loadManifest(tree_.manifest("[application]\nname = \"P\"\n[[files]]\nsource = \"app\"\n"), d);
  ASSERT_TRUE(m) << d.text();
  auto plan = makePlan(*m, d);
  ASSERT_TRUE(plan) << d.text();
  tree_.write("app/sub/deeper/file.dat", "shorter now");
  for (unsigned threads : {1u, 3u}) {
    BuildOptions options;
    options.threads = threads;
    const auto package = buildPackage(*m, *plan, options);
    ASSERT_FALSE(package);
    EXPECT_NE(package.error().find("changed while"), std::string::npos) << package.error();
  }
}

TEST(BuildDemo, TheExampleManifestBuildsAndVerifies) {
  TempTree tree;
  tree.write("uninstall.exe", pe_test::buildImage(pe_test::typicalStub()));
  BuildOptions options;
  options.uninstaller = tree.path("uninstall.exe").string();
  Diagnostics d;
  auto pkg = buildFromManifest(ZORV_SOURCE_DIR "/examples/demo/zorv.toml", options, d);
  ASSERT_TRUE(pkg) << d.text();
  EXPECT_TRUE(d.items().empty()) << d.text();
  const VerifyReport r = verifyPackage(*pkg);
  EXPECT_TRUE(r.ok()) << r.summary();
  EXPECT_TRUE(r.warnings.empty()) << r.summary();
  EXPECT_EQ(r.bitmaps, 5u);
  EXPECT_EQ(r.values, 5u);
}

}  // namespace
}  // namespace zorv
