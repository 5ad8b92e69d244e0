// Writes a 16x16 32-bit icon file for the test stub's resource script: an ICONDIR with one
// entry, then a BITMAPINFOHEADER (twice the height, for the XOR and AND images), the BGRA
// pixels bottom-up, and an all-opaque AND mask of 4-byte rows.
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

void put16(std::vector<std::uint8_t>& b, std::uint16_t v) {
  b.push_back(std::uint8_t(v));
  b.push_back(std::uint8_t(v >> 8));
}
void put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  put16(b, std::uint16_t(v));
  put16(b, std::uint16_t(v >> 16));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_test_icon out.ico\n");
    return 2;
  }
  constexpr std::uint32_t kSide = 16;
  constexpr std::uint32_t kPixels = kSide * kSide * 4;
  constexpr std::uint32_t kMask = kSide * 4;
  constexpr std::uint32_t kImage = 40 + kPixels + kMask;
  std::vector<std::uint8_t> b;
  put16(b, 0);  // reserved
  put16(b, 1);  // icon
  put16(b, 1);  // one image
  b.push_back(kSide);
  b.push_back(kSide);
  b.push_back(0);  // no palette
  b.push_back(0);
  put16(b, 1);   // planes
  put16(b, 32);  // bits per pixel
  put32(b, kImage);
  put32(b, 6 + 16);  // image offset
  put32(b, 40);
  put32(b, kSide);
  put32(b, kSide * 2);
  put16(b, 1);
  put16(b, 32);
  put32(b, 0);  // BI_RGB
  put32(b, kPixels + kMask);
  put32(b, 0);
  put32(b, 0);
  put32(b, 0);
  put32(b, 0);
  for (std::uint32_t y = 0; y < kSide; ++y) {
    for (std::uint32_t x = 0; x < kSide; ++x) {
      const bool ring = x == 0 || y == 0 || x == kSide - 1 || y == kSide - 1;
      b.push_back(ring ? 0x20 : std::uint8_t(x * 16));  // blue
      b.push_back(ring ? 0x20 : std::uint8_t(y * 16));  // green
      b.push_back(ring ? 0x20 : 0xC0);                  // red
      b.push_back(0xFF);                                // alpha
    }
  }
  b.insert(b.end(), kMask, 0);
  std::FILE* f = std::fopen(argv[1], "wb");
  if (!f) return 1;
  const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
  return std::fclose(f) == 0 && ok ? 0 : 1;
}
