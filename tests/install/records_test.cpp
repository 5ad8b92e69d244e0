// The record parsers on good and malformed bodies.
#include <functional>

#include "tests/install/install_fixture.h"

namespace zorv {
namespace {

using Parse = std::function<bool(std::span<const std::uint8_t>)>;
const Parse kCopy = [](auto b) { return parseCopyRecord(b).has_value(); };
const Parse kDir = [](auto b) { return parseDirectoryRecord(b).has_value(); };
const Parse kLink = [](auto b) { return parseLinkRecord(b).has_value(); };
const Parse kRoot = [](auto b) { return parseRootRecord(b).has_value(); };
const Parse kValue = [](auto b) { return parseValueRecord(b).has_value(); };
const Parse kName = [](auto b) { return parseNameRecord(b).has_value(); };

Bytes withCount(Bytes b, std::uint32_t count) {
  for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(count >> (8 * i)));
  return b;
}

struct RecordRow {
  const char* what;
  Parse parse;
  Bytes body;
  bool readable;
};

TEST(Records, MalformedBodiesAreUnreadable) {
  const TaggedRange one[] = {{kTagBlockMarker, {52, 4, 4}}};
  const Bytes copy = copyRecord("a.txt", 4, one);
  const RecordRow rows[] = {
      {"copy as written", kCopy, copy, true},
      {"copy with trailing bytes", kCopy,
       [&] {
         Bytes b = copy;
         b.push_back(9);
         return b;
       }(),
       true},
      {"copy cut inside its block", kCopy, Bytes(copy.begin(), copy.end() - 1), false},
      {"copy name NUL too early", kCopy, {3, 'a', 0, 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0}, false},
      {"copy name NUL missing", kCopy, {2, 'a', 'b', 'c', 0, 0, 0, 0, 0, 0, 0, 0, 0}, false},
      // A length byte that counts the NUL, as every other record does, is one too many.
      {"copy length counting the NUL", kCopy, withCount({2, 'a', 0, 0, 0, 0, 0}, 0), false},
      {"copy negative block count", kCopy, withCount({1, 'a', 0, 0, 0, 0, 0}, 0xFFFFFFFF), true},
      {"copy count times 16 overflows", kCopy, withCount({1, 'a', 0, 0, 0, 0, 0}, 0x10000001),
       false},
      {"copy without its count", kCopy, {1, 'a', 0, 0, 0, 0, 0, 0, 0}, false},
      {"empty body", kCopy, {}, false},
      {"directory as written", kDir, directoryRecord("d", {}), true},
      {"directory length 0", kDir, withCount({0}, 0), false},
      {"directory member missing", kDir, withCount({2, 'd', 0}, 1), false},
      {"directory count 2^31 - 1", kDir, withCount({2, 'd', 0}, 0x7FFFFFFF), false},
      {"link as written", kLink, linkRecord("App", "app.exe"), true},
      {"link target runs past the end", kLink, {2, 9, 'a', 0, 'b', 0}, false},
      {"link name without NUL", kLink, {2, 2, 'a', 'b', 'c', 0}, false},
      {"link of two bytes", kLink, {1, 1}, false},
      {"root as written", kRoot, rootRecord("HLM", "Software\\Demo"), true},
      {"root path without NUL", kRoot, {4, 0, 0, 'H', 'L', 'M', 0, 'S'}, false},
      {"root abbreviation past the end", kRoot, {9, 0, 0, 'H', 0}, false},
      {"root without its unread bytes", kRoot, {1}, false},
      {"value as written", kValue, valueRecord("v", "REG_SZ", "1"), true},
      {"value without data", kValue, {2, 2, 0, 'v', 0, 'T', 0}, false},
      {"value type past the end", kValue, {2, 200, 0, 'v', 0, 'T', 0, 'd', 0}, false},
      {"name as written", kName, nameRecord("*.tmp"), true},
      {"name without NUL", kName, {3, 'a', 'b'}, false},
      {"name of one byte", kName, {1}, false},
  };
  for (const RecordRow& row : rows) EXPECT_EQ(row.parse(row.body), row.readable) << row.what;
}

TEST(Records, FieldsOfGoodBodies) {
  const TaggedRange blocks[] = {{kTagBlockMarker, {1, 2, 3}}, {kTagCopy, {4, 5, 6}}};
  const Bytes copy = copyRecord("sub\\f.dat", 7, blocks);
  const auto file = parseCopyRecord(copy);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->name, "sub\\f.dat");
  EXPECT_EQ(file->fileSize, 7u);
  ASSERT_EQ(file->blocks.size(), 2u);
  EXPECT_EQ(file->blocks[1].tag, kTagCopy);
  EXPECT_EQ(file->blocks[1].range.offset, 4u);
  EXPECT_EQ(file->blocks[1].range.unpacked, 5u);
  EXPECT_EQ(file->blocks[1].range.packed, 6u);

  const Bytes v = valueRecord("Path", "REG_SZ", "DESTDIR\\x");
  const auto value = parseValueRecord(v);
  ASSERT_TRUE(value);
  EXPECT_EQ(value->name, "Path");
  EXPECT_EQ(value->type, "REG_SZ");
  EXPECT_EQ(value->data, "DESTDIR\\x");

  const Bytes r = rootRecord("HCU", "Software\\A b");
  const auto root = parseRootRecord(r);
  ASSERT_TRUE(root);
  EXPECT_EQ(root->root, "HCU");
  EXPECT_EQ(root->keyPath, "Software\\A b");

  const Bytes l = linkRecord("Tools\\Viewer", "bin\\v.exe");
  const auto link = parseLinkRecord(l);
  ASSERT_TRUE(link);
  EXPECT_EQ(link->link, "Tools\\Viewer");
  EXPECT_EQ(link->target, "bin\\v.exe");
}

}  // namespace
}  // namespace zorv
