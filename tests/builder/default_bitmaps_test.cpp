// The bitmaps the builder draws for a manifest without [bitmaps]: which image of the icon goes
// on them, and how it is blended onto the panel. (build_test.cpp builds and verifies them.)
#include "tools/builder/default_bitmaps.h"

#include <gtest/gtest.h>

#include "package/byte_writer.h"
#include "tests/builder/test_support.h"
#include "tools/builder/bmp.h"

namespace zorv {

void PrintTo(Rgb c, std::ostream* o) {
  *o << int(c.red) << " " << int(c.green) << " " << int(c.blue);
}

namespace {

using test::Bytes;

// An icon image's DIB of side x side pixels, every one the same: colour table entry 1 (blue
// 10, green 20, red 30) at 1, 4 and 8 bits, else blue 200, green 100, red 50 with `alpha`;
// the AND mask all set (transparent) or all clear. `cut` bytes short of the end.
IconImage dib(std::int32_t side, std::uint16_t bits, std::uint8_t alpha = 255, bool masked = false,
              std::size_t cut = 0) {
  IconImage image;
  ByteWriter w(image.bytes);
  w.u32(40);
  w.u32(std::uint32_t(side));
  w.u32(std::uint32_t(side * 2));
  w.u16(1);
  w.u16(bits);
  for (int i = 0; i < 6; ++i) w.u32(0);  // BI_RGB, sizes, resolution, biClrUsed, important
  if (bits <= 8)
    for (std::uint32_t i = 0; i < (1u << bits); ++i) w.u32(i == 1 ? 0x1E140A : 0);
  const std::uint8_t index = bits == 1 ? 0xFF : bits == 4 ? 0x11 : 0x01;
  for (std::int32_t y = 0; y < side; ++y) {
    const std::size_t rowEnd = image.bytes.size() + bitmapStride(side, bits);
    for (std::int32_t x = 0; x < side && bits >= 24; ++x) {
      w.u8(200), w.u8(100), w.u8(50);
      if (bits == 32) w.u8(alpha);
    }
    image.bytes.resize(rowEnd, bits <= 8 ? index : 0);
  }
  image.bytes.resize(image.bytes.size() + bitmapStride(side, 1) * std::size_t(side),
                     masked ? 0xFF : 0);
  image.bytes.resize(image.bytes.size() - cut);
  return image;
}

IconImage png() {
  IconImage image;
  image.bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  return image;
}

Rgb pixelAt(const Bytes& body, std::int32_t x, std::int32_t y) {
  BitmapShape shape;
  EXPECT_EQ(bitmapBodyProblem(body, &shape), "");
  const std::uint8_t* q = &body[40 + y * bitmapStride(shape.width, 24) + x * 3];
  return {q[2], q[1], q[0]};
}

TEST(DefaultBitmaps, ChoosesTheLargestImageThatFitsInsideTheMargin) {
  const std::vector<IconImage> icon = {
      dib(16, 32), dib(32, 8), dib(32, 32), dib(48, 32),
      dib(72, 32, 255, false, 1000),  // colour rows cut short: never drawn
      dib(64, 4),  png()};
  const struct {
    std::int32_t width, height;
    std::optional<std::size_t> chosen;
  } rows[] = {
      {240, 40, 2},  // 32 x 32 in 32 bits rather than in 8
      {220, 80, 5},  // 64 x 64 in 4 bits rather than 48 x 48 in 32
      {24, 24, 0},   // 16 fits exactly: 4 on each side
      {23, 24, std::nullopt},
  };
  for (const auto& r : rows)
    EXPECT_EQ(chooseIconImage(icon, r.width, r.height), r.chosen) << r.width << " x " << r.height;
  const std::vector<IconImage> onlyPng = {png(), dib(256, 32)};
  EXPECT_EQ(chooseIconImage(onlyPng, 240, 40), std::nullopt);
}

TEST(DefaultBitmaps, BlendsTheIconOntoTheCentre) {
  const struct {
    const char* what;
    IconImage image;
    Rgb centre;
  } rows[] = {
      {"32 bits, opaque", dib(32, 32, 255), {50, 100, 200}},
      // 50 * 128 + 240 * 127 over 255, and so on.
      {"32 bits, half transparent", dib(32, 32, 128), {145, 170, 220}},
      {"32 bits without alpha: the mask", dib(32, 32, 0), {50, 100, 200}},
      {"32 bits without alpha, masked", dib(32, 32, 0, true), kPanelColour},
      {"24 bits", dib(32, 24), {50, 100, 200}},
      {"8 bits", dib(32, 8), {30, 20, 10}},
      {"4 bits, masked", dib(32, 4, 255, true), kPanelColour},
      {"1 bit", dib(32, 1), {30, 20, 10}},
      {"a PNG", png(), kPanelColour},
  };
  for (const auto& r : rows) {
    const Bytes body = defaultBitmapBody(240, 40, std::span(&r.image, 1));
    EXPECT_EQ(pixelAt(body, 120, 20), r.centre) << r.what;
    EXPECT_EQ(pixelAt(body, 103, 20), kPanelColour) << r.what << ": left of the icon";
    EXPECT_EQ(pixelAt(body, 104, 4), r.centre) << r.what << ": its top left corner";
  }
}

}  // namespace
}  // namespace zorv
