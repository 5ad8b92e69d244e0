#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <functional>
#include <vector>

#include "package/byte_writer.h"
#include "wizard/bitmap_check.h"

namespace zorv {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Header {
  std::uint32_t size = 40;
  std::int32_t width = 3;
  std::int32_t height = -2;
  std::uint16_t planes = 1;
  std::uint16_t bits = 8;
  std::uint32_t compression = 0;
  std::uint32_t colorsUsed = 0;
};

// A BITMAPINFOHEADER, `tableBytes` of colour table and `pixelBytes` of rows.
Bytes body(const Header& h, std::size_t tableBytes, std::size_t pixelBytes) {
  Bytes b(40 + tableBytes + pixelBytes, 0xAB);
  auto put16 = [&](std::size_t at, std::uint16_t v) {
    b[at] = std::uint8_t(v);
    b[at + 1] = std::uint8_t(v >> 8);
  };
  storeLE32(&b[0], h.size);                   // biSize
  storeLE32(&b[4], std::uint32_t(h.width));   // biWidth
  storeLE32(&b[8], std::uint32_t(h.height));  // biHeight
  put16(12, h.planes);                        // biPlanes
  put16(14, h.bits);                          // biBitCount
  storeLE32(&b[16], h.compression);           // biCompression
  storeLE32(&b[20], 0);                       // biSizeImage
  storeLE32(&b[24], 2835);                    // biXPelsPerMeter
  storeLE32(&b[28], 2835);                    // biYPelsPerMeter
  storeLE32(&b[32], h.colorsUsed);            // biClrUsed
  storeLE32(&b[36], 0);                       // biClrImportant
  return b;
}

TEST(BitmapCheck, APackageImageOf256ColoursTopDown) {
  // "pic1": 445 x 130, rows of 448 bytes, 59,304 bytes in all.
  Header h;
  h.width = 445;
  h.height = -130;
  Bytes b = body(h, 1024, 448 * 130);
  ASSERT_EQ(b.size(), 59304u);
  auto checked = checkPackageBitmap(b);
  ASSERT_TRUE(checked);
  EXPECT_EQ(checked->colorTable.size(), 1024u);
  EXPECT_EQ(checked->colorTable.data(), b.data() + 40);
  EXPECT_EQ(checked->pixels.data(), b.data() + 40 + 1024);
  EXPECT_EQ(checked->pixels.size(), 448u * 130u);
}

TEST(BitmapCheck, SixteenColoursAt8BitsHaveA64ByteTable) {
  Header h;
  h.colorsUsed = 16;
  auto checked = checkPackageBitmap(body(h, 64, 4 * 2));
  ASSERT_TRUE(checked);
  EXPECT_EQ(checked->colorTable.size(), 64u);
  EXPECT_EQ(checked->pixels.size(), 8u);
}

TEST(BitmapCheck, TrueColourHasNoTable) {
  for (std::uint16_t bits : {16, 24, 32}) {
    Header h;
    h.bits = bits;
    h.height = 2;  // bottom-up
    std::size_t stride = (3 * bits / 8 + 3) / 4 * 4;
    auto checked = checkPackageBitmap(body(h, 0, stride * 2));
    ASSERT_TRUE(checked) << bits;
    EXPECT_TRUE(checked->colorTable.empty());
    EXPECT_EQ(checked->pixels.size(), stride * 2);
  }
}

TEST(BitmapCheck, AColourCountAtTrueColourIsIgnored) {
  Header h;
  h.bits = 24;
  h.colorsUsed = 5;
  auto checked = checkPackageBitmap(body(h, 0, 12 * 2));
  ASSERT_TRUE(checked);
  EXPECT_TRUE(checked->colorTable.empty());
  EXPECT_EQ(checked->colorsUsed, 0u) << "the header given to the system announces no table";
  EXPECT_EQ(checked->pixels.size(), 24u);
}

TEST(BitmapCheck, BytesAfterTheRowsAreNotHandedOn) {
  auto checked = checkPackageBitmap(body(Header{}, 1024, 4 * 2 + 100));
  ASSERT_TRUE(checked);
  EXPECT_EQ(checked->pixels.size(), 8u);
}

struct BadCase {
  const char* what;
  std::function<Bytes()> make;
};
void PrintTo(const BadCase& c, std::ostream* os) { *os << c.what; }

class BitmapRefused : public testing::TestWithParam<BadCase> {};

TEST_P(BitmapRefused, LeavesThePictureEmpty) {
  EXPECT_FALSE(checkPackageBitmap(GetParam().make())) << GetParam().what;
}

Header with(std::function<void(Header&)> change) {
  Header h;
  change(h);
  return h;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BitmapRefused,
    testing::Values(
        BadCase{"empty", [] { return Bytes{}; }},
        BadCase{"header cut short", [] { return Bytes(39, 0); }},
        BadCase{"a version 4 header",
                [] { return body(with([](Header& h) { h.size = 108; }), 1024, 8); }},
        BadCase{"two planes", [] { return body(with([](Header& h) { h.planes = 2; }), 1024, 8); }},
        BadCase{"run-length compressed",
                [] { return body(with([](Header& h) { h.compression = 1; }), 1024, 8); }},
        BadCase{"4 bits per pixel",
                [] { return body(with([](Header& h) { h.bits = 4; }), 64, 8); }},
        BadCase{"257 colours",
                [] { return body(with([](Header& h) { h.colorsUsed = 257; }), 1028, 8); }},
        BadCase{"zero width", [] { return body(with([](Header& h) { h.width = 0; }), 1024, 8); }},
        BadCase{"negative width",
                [] { return body(with([](Header& h) { h.width = -3; }), 1024, 8); }},
        BadCase{"zero height", [] { return body(with([](Header& h) { h.height = 0; }), 1024, 8); }},
        BadCase{"colour table cut short", [] { return body(Header{}, 1000, 0); }},
        BadCase{"last row one byte short", [] { return body(Header{}, 1024, 7); }},
        BadCase{"the widest image at 32 bits",
                [] {
                  return body(with([](Header& h) {
                                h.width = INT_MAX;
                                h.bits = 32;
                              }),
                              0, 64);
                }},
        BadCase{"the tallest image",
                [] { return body(with([](Header& h) { h.height = INT_MIN; }), 1024, 64); }},
        BadCase{"rows whose total wraps in 32 bits",
                [] {
                  // 65,536 x 65,537 bytes at 8 bits: the product is 2^32 + 2^16.
                  return body(with([](Header& h) {
                                h.width = 65536;
                                h.height = 65537;
                              }),
                              1024, 65536);
                }}),
    [](const auto& info) {
      std::string name;
      for (const char* p = info.param.what; *p; ++p)
        if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
      return name;
    });

}  // namespace
}  // namespace zorv
