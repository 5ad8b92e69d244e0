// ByteWriter and ByteCursor as a pair: the writer's bytes in little-endian order, the cursor's
// 16-bit reads and sub-cursors at the edges of their bytes.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "package/byte_cursor.h"
#include "package/byte_writer.h"

namespace zorv {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct WriteCase {
  const char* what;
  std::function<void(ByteWriter&)> write;
  Bytes expected;
};

TEST(ByteWriter, WritesEachFieldLowByteFirst) {
  const WriteCase cases[] = {
      {"u8", [](ByteWriter& w) { w.u8(0xAB); }, {0xAB}},
      {"u16", [](ByteWriter& w) { w.u16(0x1234); }, {0x34, 0x12}},
      {"u32", [](ByteWriter& w) { w.u32(0x12345678); }, {0x78, 0x56, 0x34, 0x12}},
      {"u64", [](ByteWriter& w) { w.u64(0x0102030405060708); }, {8, 7, 6, 5, 4, 3, 2, 1}},
      {"text without a terminator", [](ByteWriter& w) { w.text("ab"); }, {'a', 'b'}},
      {"UTF-16 units", [](ByteWriter& w) { w.utf16(u"A\u0416"); }, {'A', 0, 0x16, 0x04}},
      {"padding from 1 to 4", [](ByteWriter& w) { w.u8(9), w.padTo(4); }, {9, 0, 0, 0}},
      {"no padding when aligned", [](ByteWriter& w) { w.u32(0), w.padTo(4); }, {0, 0, 0, 0}},
      {"no padding when empty", [](ByteWriter& w) { w.padTo(4); }, {}},
      {"a patch over earlier bytes",
       [](ByteWriter& w) { w.u32(0), w.u8(7), w.patch16(1, 0xBEEF), w.patch32(0, 0x11223344); },
       {0x44, 0x33, 0x22, 0x11, 7}},
  };
  for (const WriteCase& c : cases) {
    Bytes out{};
    ByteWriter w(out);
    c.write(w);
    EXPECT_EQ(out, c.expected) << c.what;
    EXPECT_EQ(w.size(), c.expected.size()) << c.what;
  }
}

TEST(ByteWriter, WhatItWritesTheCursorReadsBack) {
  Bytes out{0xFF};  // the writer appends to what the vector holds
  ByteWriter w(out);
  w.u16(0xFFFE);
  w.u32(0x80000001);
  w.u16(0);
  ByteCursor c(out);
  EXPECT_EQ(c.u8(), 0xFF);
  EXPECT_EQ(c.u16(), 0xFFFE);
  EXPECT_EQ(c.u32(), 0x80000001u);
  EXPECT_EQ(c.u16(), 0);
  EXPECT_TRUE(c.ok());
  EXPECT_EQ(c.remaining(), 0u);
}

TEST(ByteCursor, A16BitReadOfOneByteFailsAndStaysFailed) {
  const Bytes one{0x41, 0x42, 0x43};
  ByteCursor c(one);
  EXPECT_EQ(c.u16(), 0x4241);
  EXPECT_EQ(c.u16(), 0);  // one byte left
  EXPECT_FALSE(c.ok());
  EXPECT_EQ(c.u8(), 0);  // the byte is there, but failure is sticky
  EXPECT_FALSE(c.ok());
}

struct AtCase {
  const char* what;
  std::size_t skipped;  // read from the parent before at()
  std::size_t offset;
  bool ok;
  std::size_t remaining;
  std::uint8_t first;
};

TEST(ByteCursor, AtCountsFromTheStartAndLeavesTheParentWhereItIs) {
  const Bytes bytes{10, 11, 12, 13};
  const AtCase cases[] = {
      {"the start", 0, 0, true, 4, 10},
      {"counted from the start, not the position", 3, 1, true, 3, 11},
      {"the end: empty but not failed", 0, 4, true, 0, 0},
      {"past the end", 0, 5, false, 0, 0},
      {"far past the end, where offset + size would wrap", 0, ~std::size_t(0), false, 0, 0},
      {"a failed parent", 5, 0, false, 0, 0},
  };
  for (const AtCase& c : cases) {
    ByteCursor parent(bytes);
    parent.skip(c.skipped);
    const std::size_t position = parent.position();
    ByteCursor sub = parent.at(c.offset);
    EXPECT_EQ(sub.ok(), c.ok) << c.what;
    EXPECT_EQ(sub.remaining(), c.remaining) << c.what;
    EXPECT_EQ(sub.u8(), c.first) << c.what;
    EXPECT_EQ(parent.position(), position) << c.what;
  }
}

}  // namespace
}  // namespace zorv
