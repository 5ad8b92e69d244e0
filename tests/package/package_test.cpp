// The reader's real risks: lookups and their bounds, reference counting, inline entries, the
// stream's sticky failure, the data base, and every way a zlib stream can be wrong.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "package/byte_cursor.h"
#include "package/byte_writer.h"
#include "package/package.h"
#include "tools/writer/package_writer.h"
#include "tools/writer/records.h"

namespace zorv {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes text(std::string_view s) { return Bytes(s.begin(), s.end()); }

Bytes zlibOf(const Bytes& data, int level = 9) {
  uLongf n = compressBound(uLong(data.size()));
  Bytes out(n);
  compress2(out.data(), &n, data.data(), uLong(data.size()), level);
  out.resize(n);
  return out;
}

Bytes pattern(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = std::uint8_t((i * 7) ^ (i >> 5));
  return b;
}

// Empty slots first, then Copy, AppN, Copy, SumC (inline), root, valr, root, valr.
struct Sample {
  Bytes bytes;
  std::unique_ptr<Package> pkg;
  explicit Sample(std::uint32_t dataBase = 0) {
    PackageWriter w("setup.exe", dataBase);
    w.addEmptySlot();                                                           // 0
    w.addEmptySlot();                                                           // 1
    w.addEntry(kTagCopy, "Copy", pattern(3000));                                // 2, packed
    w.addEntryAt(kTagAppName, "Application", w.addStored(nameRecord("Demo")));  // 3, stored
    w.addEntry(kTagCopy, "Copy", text("xyz"));                                  // 4
    w.addInline(kTagSum, "Copy", 123456, 123456);                               // 5
    w.addEntry(kTagRoot, "root", text("r1"));                                   // 6
    w.addEntry(kTagValue, "valr", text("v1"));                                  // 7
    w.addEntry(kTagRoot, "root", text("r2"));                                   // 8
    w.addEntry(kTagValue, "valr", text("v2"));                                  // 9
    bytes = w.finish().value();
    pkg = openPackage(bytes);
  }
};

TEST(FindByTag, BoundsRules) {
  Sample s;
  ASSERT_TRUE(s.pkg);
  struct Row {
    std::uint32_t tag;
    std::int32_t from, to, expected;
    const char* what;
  } rows[] = {
      {kTagCopy, 0, -1, 2, "first of its tag"},
      {kTagCopy, 3, -1, 4, "again from the hit + 1"},
      {kTagCopy, 5, -1, -1, "walk ends"},
      {kTagCopy, 0, 1000, 2, "to beyond the count counts as the count"},
      {kTagCopy, 0, 0, -1, "to = 0 finds nothing"},
      {kTagCopy, 0, 2, -1, "to is exclusive"},
      {kTagCopy, -1, -1, -1, "negative from"},
      {kTagCopy, -5, 100, -1, "negative from whatever to"},
      {kTagCopy, 10, -1, -1, "from equal to the count"},
      {kTagCopy, 11, -1, -1, "from beyond the count"},
      {kTagEmpty, 0, -1, 0, "tag 0 is an ordinary value"},
      {kTagValue, 6, s.pkg->findByTag(kTagRoot, 7, -1), 7, "valr within its root"},
      {kTagValue, 8, s.pkg->findByTag(kTagRoot, 9, -1), 9, "no next root: up to the end"},
      {makeTag("copy"), 0, -1, -1, "tags are case-sensitive"},
  };
  for (const Row& r : rows) EXPECT_EQ(s.pkg->findByTag(r.tag, r.from, r.to), r.expected) << r.what;
}

TEST(FindByName, ExactAndIndexField) {
  Sample s;
  EXPECT_EQ(s.pkg->findByName("Copy"), 2);
  EXPECT_EQ(s.pkg->findByName("copy"), -1);
  EXPECT_EQ(s.pkg->findByName("Application"), 3);
  EXPECT_EQ(s.pkg->findByName(""), 0) << "an empty name matches an empty slot";
  EXPECT_EQ(s.pkg->findByName("Cop"), -1);
}

TEST(FindByName, YieldsTheStoredIndexFieldAndBoundsUnterminatedNames) {
  PackageWriter w;
  w.addEntry(kTagCopy, "a", text("1"));
  w.addEntry(kTagCopy, "b", text("2"));
  Bytes pkg = w.finish().value();
  // Rewrite the directory: entry 1 gets index field 7 and a 16-byte name without NUL.
  auto p = openPackage(pkg);
  ASSERT_TRUE(p);
  Bytes dir(2 * kEntrySize);
  std::memcpy(dir.data(), p->entryBytes(0).data(), kEntrySize);
  std::memcpy(dir.data() + kEntrySize, p->entryBytes(1).data(), kEntrySize);
  storeLE32(&dir[kEntrySize + kEntryIndexOffset], 7);
  std::memset(&dir[kEntrySize + kEntryNameOffset], 'N', kNameFieldSize);
  Bytes z = zlibOf(dir);
  std::uint32_t at = loadLE32(&pkg[kHeaderDirectoryOffset]);
  pkg.resize(at);
  pkg.insert(pkg.end(), z.begin(), z.end());
  storeLE32(&pkg[kHeaderDirectoryPackedOffset], std::uint32_t(z.size()));
  p = openPackage(pkg);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->findByName(std::string(16, 'N')), 7);
  EXPECT_EQ(p->findByName(std::string(17, 'N')), -1);
  EXPECT_EQ(p->entry(1).name.size(), 16u);
}

TEST(AcquireEntry, ReferenceCountingSharesOneBody) {
  Sample s;
  Package& p = *s.pkg;
  auto a = p.acquireEntry(2);
  auto b = p.acquireEntry(2);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->data(), b->data());
  EXPECT_EQ(p.cachedCount(2), 2);
  EXPECT_EQ(Bytes(a->begin(), a->end()), pattern(3000));
  p.releaseEntry(2);
  EXPECT_EQ(p.cachedCount(2), 1);
  p.releaseEntry(2);
  EXPECT_EQ(p.cachedCount(2), 0);
  p.releaseEntry(2);  // a third release changes nothing
  EXPECT_EQ(p.cachedCount(2), 0);
  auto c = p.acquireEntry(2);  // unpacked anew
  ASSERT_TRUE(c);
  EXPECT_EQ(p.cachedCount(2), 1);
  EXPECT_EQ(Bytes(c->begin(), c->end()), pattern(3000));
}

TEST(AcquireEntry, InlineEntryIsItsOwn44Bytes) {
  Sample s;
  Package& p = *s.pkg;
  auto sum = p.acquireEntry(p.findByTag(kTagSum, 0, -1));
  ASSERT_TRUE(sum);
  ASSERT_EQ(sum->size(), kEntrySize);
  EXPECT_EQ(loadLE32(sum->data() + kEntryUnpackedOffset), 123456u);
  EXPECT_EQ(p.cachedCount(5), 0) << "the count of an inline entry is not touched";
  auto empty = p.acquireEntry(0);
  ASSERT_TRUE(empty) << "empty slots are inline too";
  EXPECT_EQ(empty->size(), kEntrySize);
}

TEST(AcquireEntry, OutOfRangeNumbersYieldNothing) {
  Sample s;
  EXPECT_FALSE(s.pkg->acquireEntry(-1));
  EXPECT_FALSE(s.pkg->acquireEntry(10));
  s.pkg->releaseEntry(-1);
  s.pkg->releaseEntry(10);
  EXPECT_FALSE(s.pkg->acquireByName("nothing"));
  s.pkg->releaseByName("nothing");
  s.pkg->closePackage();
  EXPECT_FALSE(s.pkg->acquireEntry(2));
  EXPECT_EQ(s.pkg->findByTag(kTagCopy, 0, -1), -1);
}

TEST(AcquireEntry, StoredBodyComesBackVerbatimEvenWhenItLooksLikeZlib) {
  Bytes looksPacked = zlibOf(text("hello hello hello hello"));
  PackageWriter w;
  w.addEntryAt(kTagCopy, "x", w.addStored(looksPacked));
  Bytes bytes = w.finish().value();
  auto p = openPackage(bytes);
  ASSERT_TRUE(p);
  auto body = p->acquireEntry(0);
  ASSERT_TRUE(body);
  EXPECT_EQ(Bytes(body->begin(), body->end()), looksPacked);
}

TEST(ReadRange, FreshBuffersAndEmptyRanges) {
  PackageWriter w;
  PackedRange r = w.addData(pattern(10000));
  PackedRange empty = w.addRaw({}, 0);
  w.addEntryAt(kTagCopy, "empty", empty);
  Bytes bytes = w.finish().value();
  auto p = openPackage(bytes);
  ASSERT_TRUE(p);
  auto a = p->readRange(r);
  auto b = p->readRange(r);
  ASSERT_TRUE(a && b);
  EXPECT_NE(a->data.get(), b->data.get());
  EXPECT_EQ(Bytes(a->bytes().begin(), a->bytes().end()), pattern(10000));
  EXPECT_EQ(std::memcmp(a->data.get(), b->data.get(), 10000), 0);
  auto e = p->readRange(empty);
  ASSERT_TRUE(e) << "an empty range is a body, not a failure";
  EXPECT_EQ(e->size, 0u);
  auto eb = p->acquireEntry(0);
  ASSERT_TRUE(eb);
  EXPECT_EQ(eb->size(), 0u);
}

// Bytes that deflate does not shrink at all, from a seed.
Bytes noise(std::size_t n, std::uint32_t seed) {
  Bytes b(n);
  for (std::uint8_t& x : b) {
    seed = seed * 1103515245u + 12345u;
    x = std::uint8_t(seed >> 16);
  }
  return b;
}

// Noise after a run of one letter, the run as long as makes level 9 come out exactly as long
// as the data: a packed size that the reader would take for a stored body.
Bytes asLongAtLevel9() {
  const Bytes tail = noise(4000, 1);
  for (std::size_t run = 0; run < 400; ++run) {
    Bytes b(run, 'a');
    b.insert(b.end(), tail.begin(), tail.end() - std::ptrdiff_t(run));
    if (zlibOf(b).size() == b.size()) return b;
  }
  return {};
}

// Every body the writer prepares is a zlib stream, which unpacks to the data and whose
// damage the reader refuses: no packed size ever equals the unpacked size.
TEST(PrepareBody, EveryBodyIsAStreamTheReaderChecks) {
  const Bytes tricky = asLongAtLevel9();
  ASSERT_FALSE(tricky.empty()) << "no data found that level 9 leaves exactly as long";
  struct Row {
    const char* what;
    Bytes data;
  } rows[] = {
      {"empty", {}},
      {"one byte", text("x")},
      {"text", pattern(3000)},
      {"noise", noise(1000, 7)},
      {"a block of noise", noise(kBlockSize, 8)},
      {"level 9 exactly as long as the data", tricky},
  };
  for (const Row& r : rows) {
    const PreparedBody body = prepareBody(r.data).value();
    EXPECT_EQ(body.unpacked, r.data.size()) << r.what;
    EXPECT_NE(body.bytes.size(), r.data.size()) << r.what;
    EXPECT_LE(body.bytes.size(), r.data.size() + 6 + 5 * (r.data.size() / 65535 + 1)) << r.what;
    PackageWriter w;
    const PackedRange range = w.addPrepared(body);
    const Bytes good = w.finish().value();
    auto p = openPackage(good);
    ASSERT_TRUE(p) << r.what;
    auto back = p->readRange(range);
    ASSERT_TRUE(back) << r.what << ": " << p->lastError();
    EXPECT_EQ(Bytes(back->bytes().begin(), back->bytes().end()), r.data) << r.what;

    Bytes damaged = good;
    damaged[range.offset + range.packed / 2] ^= 0x01;
    p = openPackage(damaged);
    ASSERT_TRUE(p) << r.what;
    EXPECT_FALSE(p->readRange(range)) << r.what << ": a flipped bit passed";
  }
}

TEST(Stream, StartBeyondEndFailsAloneRunningPastEndFailsForGood) {
  Sample s;
  Package& p = *s.pkg;
  const std::uint32_t size = std::uint32_t(s.bytes.size());
  auto held = p.acquireEntry(3);  // cached before the stream fails
  ASSERT_TRUE(held);

  EXPECT_FALSE(p.readRange({size + 1, 4, 4}));
  EXPECT_FALSE(p.streamFailed());
  EXPECT_FALSE(p.readRange({0xFFFFFFF0u, 0x20, 0x20})) << "offsets are not wrapped";
  EXPECT_FALSE(p.streamFailed());
  EXPECT_TRUE(p.readRange({60, 4, 4})) << "the stream is still usable";
  EXPECT_TRUE(p.readRange({size, 0, 0})) << "a range ending exactly at the end is inside";

  EXPECT_FALSE(p.readRange({size - 2, 4, 4}));
  EXPECT_TRUE(p.streamFailed());
  EXPECT_FALSE(p.readRange({60, 4, 4}));
  EXPECT_FALSE(p.acquireEntry(4)) << "uncached entries can no longer be read";
  EXPECT_TRUE(p.acquireEntry(3)) << "cached bodies are still served";
  EXPECT_TRUE(p.acquireEntry(5)) << "inline entries too";
  EXPECT_EQ(p.findByTag(kTagCopy, 0, -1), 2) << "lookups still work";
}

TEST(Stream, ResourceStreamSemantics) {
  Bytes data = pattern(16);
  ResourceStream s(data);
  std::uint8_t buf[16];
  EXPECT_EQ(s.read(buf, 20), 0u);
  EXPECT_FALSE(s.failed()) << "a plain read past the end does not fail the stream";
  EXPECT_EQ(s.seek(16), 16u) << "seeking to the size is allowed";
  EXPECT_EQ(s.seek(17), 0u);
  EXPECT_EQ(s.position(), 16u);
  EXPECT_EQ(s.readAt(buf, 4, 17), 0u);
  EXPECT_FALSE(s.failed());
  EXPECT_EQ(s.readAt(buf, 4, 12), 4u);
  EXPECT_EQ(s.readAt(buf, 8, 12), 0u);
  EXPECT_TRUE(s.failed());
  EXPECT_EQ(s.readAt(buf, 1, 0), 0u);
  EXPECT_TRUE(ResourceStream::missing().failed());
}

TEST(DataBase, BodiesMoveWithItTheDirectoryDoesNot) {
  for (std::uint32_t base : {0u, 1u, 20u, 52u}) {
    Sample s(base);
    ASSERT_TRUE(s.pkg) << base;
    EXPECT_EQ(s.pkg->header().dataBase, base);
    auto body = s.pkg->acquireEntry(2);
    ASSERT_TRUE(body) << base;
    EXPECT_EQ(Bytes(body->begin(), body->end()), pattern(3000));
    auto app = s.pkg->acquireEntry(3);
    ASSERT_TRUE(app);
    EXPECT_EQ(Bytes(app->begin(), app->end()), nameRecord("Demo"));
  }
  // A range at offset 0 reads the bytes at the data base itself.
  Sample s(20);
  auto r = s.pkg->readRange({0, 4, 4});
  ASSERT_TRUE(r);
  EXPECT_EQ(std::memcmp(r->data.get(), s.bytes.data() + 20, 4), 0);
}

// Bodies whose stream is wrong in one way each: none, the entry stays uncached, the stream
// stays usable.
TEST(Streams, DamagedDictionaryShortLong) {
  const Bytes data = pattern(5000);
  const Bytes good = zlibOf(data);
  Bytes badAdler = good;
  badAdler.back() ^= 1;
  Bytes damaged = good;
  damaged[good.size() / 2] ^= 0x55;
  Bytes truncated(good.begin(), good.end() - 6);
  Bytes dict;  // a stream that asks for a preset dictionary
  {
    z_stream z{};
    deflateInit(&z, 9);
    deflateSetDictionary(&z, reinterpret_cast<const Bytef*>("dictionary"), 10);
    dict.resize(deflateBound(&z, uLong(data.size())));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = dict.data();
    z.avail_out = uInt(dict.size());
    deflate(&z, Z_FINISH);
    dict.resize(z.total_out);
    deflateEnd(&z);
  }
  struct Row {
    const char* what;
    Bytes bytes;
    std::uint32_t unpacked;
    bool ok;
  } rows[] = {
      {"good stream", good, 5000, true},
      {"another level is accepted", zlibOf(data, 1), 5000, true},
      {"Adler-32 mismatch", badAdler, 5000, false},
      {"damaged deflate data", damaged, 5000, false},
      {"truncated stream", truncated, 5000, false},
      {"preset dictionary", dict, 5000, false},
      {"unpacks to more than expected", good, 4999, false},
      {"unpacks to fewer than expected", good, 5001, false},
      {"not zlib at all", pattern(100), 200, false},
      {"absurd unpacked size", good, 0xFFFFFFF0u, false},
  };
  for (const Row& r : rows) {
    PackageWriter w;
    w.addEntryAt(kTagCopy, "x", w.addRaw(r.bytes, r.unpacked));
    PackedRange plain = w.addData(text("plain"));
    Bytes bytes = w.finish().value();
    auto p = openPackage(bytes);
    ASSERT_TRUE(p) << r.what;
    auto body = p->acquireEntry(0);
    EXPECT_EQ(bool(body), r.ok) << r.what;
    EXPECT_EQ(bool(p->readRange(p->entry(0).offset ? PackedRange{p->entry(0).offset, r.unpacked,
                                                                 std::uint32_t(r.bytes.size())}
                                                   : PackedRange{})),
              r.ok)
        << r.what;
    if (!r.ok) {
      EXPECT_EQ(p->cachedCount(0), 0) << r.what;
      EXPECT_FALSE(p->streamFailed()) << r.what;
      EXPECT_TRUE(p->readRange(plain)) << r.what;
      EXPECT_FALSE(p->lastError().empty());
    }
  }
}

// Packages that must not open, each made from a good one by one change.
TEST(OpenPackage, RefusesWhatCannotBeRead) {
  PackageWriter w;
  w.addEntry(kTagCopy, "x", pattern(100));
  w.addEntry(kTagAppName, "a", nameRecord("A"));
  const Bytes good = w.finish().value();
  const std::uint32_t dirAt = loadLE32(&good[kHeaderDirectoryOffset]);
  const std::uint32_t dirLen = loadLE32(&good[kHeaderDirectoryPackedOffset]);
  auto with = [&](std::size_t at, std::uint32_t v) {
    Bytes b = good;
    storeLE32(&b[at], v);
    return b;
  };
  struct Row {
    const char* what;
    Bytes bytes;
  } rows[] = {
      {"empty", {}},
      {"shorter than the header", Bytes(good.begin(), good.begin() + 51)},
      {"directory runs past the end", Bytes(good.begin(), good.end() - 1)},
      {"directory offset beyond the end", with(kHeaderDirectoryOffset, 0xFFFFFFF0u)},
      {"offset + size wraps", with(kHeaderDirectoryPackedOffset, 0xFFFFFFFFu - dirAt + 10)},
      {"more entries than the stream holds", with(kHeaderEntryCountOffset, 3)},
      {"fewer entries than the stream holds", with(kHeaderEntryCountOffset, 1)},
      {"count x 44 would wrap", with(kHeaderEntryCountOffset, 97612894)},
      {"count larger than the package could hold", with(kHeaderEntryCountOffset, 97612893)},
      {"damaged directory",
       [&] {
         Bytes b = good;
         b[dirAt + dirLen / 2] ^= 0xFF;
         return b;
       }()},
  };
  for (const Row& r : rows) {
    std::string why;
    EXPECT_FALSE(openPackage(r.bytes, &why)) << r.what;
    EXPECT_FALSE(why.empty()) << r.what;
  }
  EXPECT_FALSE(openPackage(ResourceStream::missing())) << "a missing resource";
}

TEST(OpenPackage, IgnoresMagicAndReservedWords) {
  PackageWriter w("tool.exe");
  w.addEntry(kTagCopy, "x", text("abc"));
  w.setMagic("XXXX");
  Bytes b = w.finish().value();
  for (std::size_t at : {0u, 4u, 8u, 40u}) storeLE32(&b[at], 0xDEADBEEF);
  auto p = openPackage(b);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->header().name, "tool.exe");
  EXPECT_EQ(std::memcmp(p->header().magic, "XXXX", 4), 0);
  EXPECT_TRUE(p->acquireEntry(0));
}

TEST(OpenPackage, NeverTrustsStoredCacheAndCountSlots) {
  PackageWriter w;
  w.addEntry(kTagCopy, "x", pattern(50));
  Bytes b = w.finish().value();
  auto p0 = openPackage(b);
  Bytes dir(p0->entryBytes(0).begin(), p0->entryBytes(0).end());
  storeLE32(&dir[kEntryCacheOffset], 0x41414141);
  storeLE32(&dir[kEntryCountOffset], 5);
  Bytes z = zlibOf(dir);
  std::uint32_t at = loadLE32(&b[kHeaderDirectoryOffset]);
  b.resize(at);
  b.insert(b.end(), z.begin(), z.end());
  storeLE32(&b[kHeaderDirectoryPackedOffset], std::uint32_t(z.size()));
  auto p = openPackage(b);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->cachedCount(0), 0);
  auto body = p->acquireEntry(0);
  ASSERT_TRUE(body);
  EXPECT_EQ(Bytes(body->begin(), body->end()), pattern(50));
  EXPECT_EQ(p->cachedCount(0), 1);
}

TEST(OpenPackage, ZeroEntriesIsAnEmptyDirectory) {
  PackageWriter w;
  Bytes b = w.finish().value();
  auto p = openPackage(b);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->entryCount(), 0u);
  EXPECT_EQ(p->findByTag(kTagCopy, 0, -1), -1);
  EXPECT_FALSE(p->acquireEntry(0));
}

// The writer's faults come back as values, the first one kept until the package is finished.
TEST(PackageWriter, ReportsItsErrorsAsValues) {
  const Bytes data = text("abc");
  const auto body = prepareBody(data, 13);
  ASSERT_FALSE(body);
  EXPECT_EQ(body.error(), "cannot compress 3 bytes at level 13: levels are 0 to 12");

  PackageWriter beyond("setup.exe", kHeaderSize + 1);
  beyond.addEntry(kTagAppName, "AppN", nameRecord("A"));
  const auto package = beyond.finish();
  ASSERT_FALSE(package);
  EXPECT_EQ(package.error(), "a data base of 53 lies beyond the header");

  // A stream the writes cannot go to: the first failed write's reason, at the end.
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / "zorv-package-writer-read-only.bin";
  std::fclose(std::fopen(path.string().c_str(), "wb"));
  std::FILE* readOnly = std::fopen(path.string().c_str(), "rb");
  ASSERT_TRUE(readOnly);
  PackageWriter streamed(readOnly, 0, "setup.exe");
  streamed.addEntry(kTagAppName, "AppN", nameRecord("A"));
  const auto size = streamed.finishInto();
  std::fclose(readOnly);
  std::filesystem::remove(path);
  ASSERT_FALSE(size);
  EXPECT_FALSE(size.error().empty());
}

}  // namespace
}  // namespace zorv
