// One package written out by hand from the format (a 52-byte header, stored bodies, a directory
// of 44-byte entries as one zlib stream), not by our writer: the reader must read it field by
// field, and the writer must make exactly these bytes from the same inputs. Every other
// package in the tests comes from the writer, so a misreading that both share would pass.
#include <gtest/gtest.h>
#include <libdeflate.h>

#include <cstdint>
#include <string>
#include <vector>

#include "install/records.h"
#include "package/package.h"
#include "tools/writer/package_writer.h"

namespace zorv {
namespace {

using Bytes = std::vector<std::uint8_t>;

void le32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(v >> (8 * i)));
}
void text(Bytes& b, std::string_view s, std::size_t width) {  // NUL-filled to its width
  b.insert(b.end(), s.begin(), s.end());
  b.resize(b.size() + width - s.size(), 0);
}
void entry(Bytes& b, const char* tag, std::uint32_t offset, std::uint32_t unpacked,
           std::uint32_t packed, std::uint32_t index, std::string_view name) {
  text(b, std::string_view(tag, 4), 4);  // +0 the tag, first character first
  le32(b, offset);                       // +4 relative to the data base; 0: inline
  le32(b, unpacked);                     // +8
  le32(b, packed);                       // +12 equal to +8: stored
  le32(b, 0);                            // +16 cache slot
  le32(b, 0);                            // +20 count slot
  le32(b, index);                        // +24 the entry's own position
  text(b, name, 16);                     // +28 the name, NUL-filled
}

const Bytes kAppName = {5, 'D', 'e', 'm', 'o', 0};  // length byte counts the NUL
const Bytes kBlock = {'a', 'b', 'c'};

// "Copy" a.txt: length byte without the NUL, the name and its NUL, the file size, one block as
// a TaggedRange (marker 20 65 69 50, then a PackedRange of the stored block at offset 58).
Bytes copyRecord() {
  Bytes r = {5, 'a', '.', 't', 'x', 't', 0};
  le32(r, 3);  // fileSize
  le32(r, 1);  // blockCount
  r.insert(r.end(), {0x20, 0x65, 0x69, 0x50});
  le32(r, 58);  // offset
  le32(r, 3);   // unpacked
  le32(r, 3);   // packed: stored
  return r;
}

// Bodies from offset 52: "AppN" (52, 6 bytes), the block (58, 3), the "Copy" record (61, 31);
// the directory of four entries (an empty slot, "AppN", the inline "SumC", "Copy") at 92.
Bytes goldenPackage() {
  Bytes directory;
  entry(directory, "\0\0\0\0", 0, 0, 0, 0, "");
  entry(directory, "AppN", 52, 6, 6, 1, "Application");
  entry(directory, "SumC", 0, 3, 3, 2, "Copy");  // inline: the total size in both sizes
  entry(directory, "Copy", 61, 31, 31, 3, "Copy");
  // The directory as libdeflate packs it at the builder's level, 9.
  libdeflate_compressor* c = libdeflate_alloc_compressor(9);
  Bytes packed(libdeflate_zlib_compress_bound(c, directory.size()));
  packed.resize(libdeflate_zlib_compress(c, directory.data(), directory.size(), packed.data(),
                                         packed.size()));
  libdeflate_free_compressor(c);
  EXPECT_GT(packed.size(), 0u);

  Bytes p;
  le32(p, 0), le32(p, 0), le32(p, 0);     // 0, 4, 8: reserved
  text(p, "1cra", 4);                     // 12: magic
  text(p, "setup.exe", 16);               // 16: the name
  le32(p, 0);                             // 32: data base
  le32(p, 92);                            // 36: directory offset
  le32(p, 0);                             // 40: reserved
  le32(p, 4);                             // 44: entry count
  le32(p, std::uint32_t(packed.size()));  // 48: the directory's packed size
  p.insert(p.end(), kAppName.begin(), kAppName.end());
  p.insert(p.end(), kBlock.begin(), kBlock.end());
  const Bytes record = copyRecord();
  p.insert(p.end(), record.begin(), record.end());
  EXPECT_EQ(p.size(), 92u);
  p.insert(p.end(), packed.begin(), packed.end());
  return p;
}

TEST(GoldenPackage, TheReaderReadsEveryField) {
  const Bytes bytes = goldenPackage();
  std::string why;
  const auto package = openPackage(bytes, &why);
  ASSERT_TRUE(package) << why;
  ASSERT_EQ(package->entryCount(), 4u);
  const struct {
    std::uint32_t tag, offset, unpacked;
    const char* name;
  } rows[] = {{0, 0, 0, ""},
              {kTagAppName, 52, 6, "Application"},
              {kTagSum, 0, 3, "Copy"},
              {kTagCopy, 61, 31, "Copy"}};
  for (std::int32_t i = 0; i < 4; ++i) {
    const EntryInfo e = package->entry(i);
    EXPECT_EQ(e.tag, rows[i].tag) << i;
    EXPECT_EQ(e.offset, rows[i].offset) << i;
    EXPECT_EQ(e.unpacked, rows[i].unpacked) << i;
    EXPECT_EQ(e.index, std::uint32_t(i));
    EXPECT_EQ(e.name, rows[i].name) << i;
  }
  EXPECT_EQ(package->findByTag(kTagSum, 0, -1), 2);
  const auto app = package->acquireEntry(1);
  ASSERT_TRUE(app);
  EXPECT_EQ(Bytes(app->begin(), app->end()), kAppName);
  package->releaseEntry(1);

  const auto body = package->acquireEntry(3);
  ASSERT_TRUE(body);
  const std::optional<CopyRecord> file = parseCopyRecord(*body);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->name, "a.txt");
  ASSERT_EQ(file->blocks.size(), 1u);
  const auto block = package->readRange(file->blocks[0].range);
  ASSERT_TRUE(block);
  EXPECT_EQ(Bytes(block->bytes().begin(), block->bytes().end()), kBlock);
  package->releaseEntry(3);
}

TEST(GoldenPackage, TheWriterMakesTheSameBytes) {
  PackageWriter w("setup.exe", 0);
  w.addEmptySlot();
  w.addEntryAt(kTagAppName, "Application", w.addStored(kAppName));
  w.addInline(kTagSum, "Copy", 3, 3);
  const PackedRange block = w.addStored(kBlock);
  EXPECT_EQ(block.offset, 58u);
  w.addEntryAt(kTagCopy, "Copy", w.addStored(copyRecord()));
  EXPECT_EQ(w.finish().value(), goldenPackage());
}

}  // namespace
}  // namespace zorv
