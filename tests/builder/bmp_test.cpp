// BMP files to "BmpT" bodies: what the page's CreateDIBitmap call needs, for every input
// layout the builder accepts, and clear refusals of the rest.
#include "tools/builder/bmp.h"

#include <gtest/gtest.h>

#include "package/byte_cursor.h"
#include "tests/builder/test_support.h"

namespace zorv {
namespace {

using test::BmpSpec;
using test::Bytes;

struct Converted {
  Bytes body;
  BitmapShape shape;
};

Converted convert(const BmpSpec& s) {
  Converted c;
  auto body = bmpToBitmapBody(test::makeBmp(s), &c.shape);
  EXPECT_TRUE(body) << body.error();
  if (body) c.body = *body;
  return c;
}

struct Accepted {
  const char* what;
  BmpSpec desc;
  std::uint32_t colours;  // table entries in the body
  std::uint32_t clrUsed;  // as written in the body
};

class BmpAccepted : public ::testing::TestWithParam<Accepted> {};

// The header says 40 bytes, top-down rows, no compression; the colour table and every pixel
// row land where the page reads them, top row first.
TEST_P(BmpAccepted, BodyIsTopDownWithItsPalette) {
  const Accepted& a = GetParam();
  const Converted c = convert(a.desc);
  ASSERT_FALSE(c.body.empty());
  const std::uint32_t stride = bitmapStride(a.desc.width, a.desc.bitCount);
  ASSERT_EQ(c.body.size(), 40 + a.colours * 4 + stride * std::uint32_t(a.desc.height));
  ByteCursor h(c.body);
  EXPECT_EQ(h.u32(), 40u);
  EXPECT_EQ(h.i32(), a.desc.width);
  EXPECT_EQ(h.i32(), -a.desc.height);
  EXPECT_EQ(h.u16(), 1);
  EXPECT_EQ(h.u16(), a.desc.bitCount);
  EXPECT_EQ(h.u32(), 0u);  // BI_RGB, bit fields included
  EXPECT_EQ(h.u32(), stride * std::uint32_t(a.desc.height));
  h.skip(8);
  EXPECT_EQ(h.u32(), a.clrUsed);
  for (std::uint32_t i = 0; i < a.colours; ++i) {
    const std::uint8_t* q = &c.body[40 + 4 * i];
    EXPECT_EQ(q[0], std::uint8_t(i));
    EXPECT_EQ(q[1], std::uint8_t(255 - i));
    EXPECT_EQ(q[3], 0) << "the reserved byte of entry " << i;
  }
  const std::size_t pixels = 40 + a.colours * 4;
  const int channels = a.desc.bitCount / 8;
  for (std::int32_t y = 0; y < a.desc.height; ++y)
    for (std::int32_t x = 0; x < a.desc.width; ++x)
      for (int ch = 0; ch < channels; ++ch)
        ASSERT_EQ(c.body[pixels + std::size_t(y) * stride + std::size_t(x) * channels + ch],
                  test::bmpPixelByte(x, y, ch, a.colours))
            << "pixel " << x << "," << y;
  EXPECT_EQ(bitmapBodyProblem(c.body), "");
  EXPECT_EQ(c.shape.width, a.desc.width);
  EXPECT_EQ(c.shape.height, a.desc.height);
}

INSTANTIATE_TEST_SUITE_P(
    Bmp, BmpAccepted,
    ::testing::Values(
        Accepted{"8-bit, 256 colours by biClrUsed 0, bottom-up", {5, 3, 8, 0, false}, 256, 0},
        Accepted{"8-bit, 16 colours", {6, 4, 8, 16, false}, 16, 16},
        Accepted{"8-bit, already top-down", {3, 5, 8, 0, true}, 256, 0},
        Accepted{"24-bit, rows padded", {5, 3, 24, 0, false}, 0, 0},
        Accepted{"24-bit with a V5 header", {7, 2, 24, 0, false, 0, 124}, 0, 0},
        Accepted{"32-bit", {4, 4, 32, 0, false}, 0, 0},
        Accepted{"32-bit with bit fields after a short header", {3, 3, 32, 0, false, 3, 40}, 0, 0},
        Accepted{"32-bit with bit fields in a V4 header", {3, 3, 32, 0, true, 3, 108}, 0, 0}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

struct Refused {
  const char* what;
  Bytes file;
  const char* reason;  // a part of the message
};

Bytes withByte(Bytes b, std::size_t at, std::uint8_t v) {
  b[at] = v;
  return b;
}

Bytes cut(Bytes b, std::size_t n) {
  b.resize(b.size() - n);
  return b;
}

TEST(Bmp, RefusesWhatThePageCannotShow) {
  const Bytes eight = test::makeBmp({4, 3, 8, 16});
  const Refused cases[] = {
      {"not a BMP", Bytes(100, 0), "not a BMP"},
      {"16-bit", test::makeBmp({4, 3, 16}), "16-bit"},
      {"4-bit", withByte(eight, 28, 4), "4-bit"},
      {"RLE8", test::makeBmp({4, 3, 8, 0, false, 1}), "compressed"},
      {"24-bit bit fields", test::makeBmp({4, 3, 24, 0, false, 3}), "compressed"},
      {"OS/2 header", withByte(eight, 14, 12), "OS/2"},
      {"two planes", withByte(eight, 26, 2), "plane"},
      {"zero width", withByte(withByte(eight, 18, 0), 19, 0), "size"},
      {"300 colours", withByte(withByte(eight, 46, 0x2C), 47, 1), "300 colours"},
      {"rows cut short", cut(eight, 1), "cut short"},
      {"a pixel beyond the 16-colour table", withByte(eight, eight.size() - 12, 16),
       "16-colour table"},
  };
  for (const Refused& r : cases) {
    const auto body = bmpToBitmapBody(r.file);
    ASSERT_FALSE(body) << r.what;
    EXPECT_NE(body.error().find(r.reason), std::string::npos) << r.what << ": " << body.error();
  }
}

TEST(Bmp, BodyCheckFindsWhatTheSetupWouldMisread) {
  const Bytes good = convert({4, 3, 8, 0}).body;
  struct Case {
    const char* what;
    Bytes body;
    const char* reason;
  } cases[] = {
      {"header size 124", withByte(good, 0, 124), "reads 40"},
      {"compressed", withByte(good, 16, 1), "compressed"},
      {"4-bit", withByte(good, 14, 4), "4-bit"},
      {"one byte short", cut(good, 1), "needs"},
      {"shorter than a header", Bytes(good.begin(), good.begin() + 20), "shorter"},
  };
  for (const Case& c : cases)
    EXPECT_NE(bitmapBodyProblem(c.body).find(c.reason), std::string::npos) << c.what;
}

}  // namespace
}  // namespace zorv
