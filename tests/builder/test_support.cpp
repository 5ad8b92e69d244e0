#include "tests/builder/test_support.h"

#include <fstream>
#include <random>

#include "package/byte_writer.h"

namespace zorv::test {

namespace fs = std::filesystem;

TempTree::TempTree() {
  std::random_device rd;
  root_ = fs::temp_directory_path() /
          ("zorv-builder-test-" + std::to_string(rd()) + std::to_string(rd()));
  fs::create_directories(root_);
}

TempTree::~TempTree() {
  std::error_code ec;
  fs::remove_all(root_, ec);
}

void TempTree::write(std::string_view relative, std::span<const std::uint8_t> bytes) const {
  const fs::path p = path(relative);
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void TempTree::write(std::string_view relative, std::string_view text) const {
  write(relative, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::string TempTree::manifest(std::string_view toml) const {
  write("zorv.toml", toml);
  return path("zorv.toml").string();
}

Bytes textBytes(std::size_t n, std::uint32_t seed) {
  static constexpr std::string_view kWords[] = {"setup ",  "package ", "file ", "the ",
                                                "folder ", "install ", "zorv ", "block\n",
                                                "data ",   "of "};
  std::minstd_rand gen(seed + 1);
  Bytes out;
  out.reserve(n);
  while (out.size() < n) {
    std::string_view w = kWords[gen() % std::size(kWords)];
    out.insert(out.end(), w.begin(), w.end());
  }
  out.resize(n);
  return out;
}

Bytes noiseBytes(std::size_t n, std::uint32_t seed) {
  std::mt19937 gen(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(gen());
  return out;
}

Bytes readFileBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint8_t bmpPixelByte(std::int32_t x, std::int32_t y, int channel, std::uint32_t colours) {
  const unsigned v = static_cast<unsigned>(x * 7 + y * 31 + channel);
  return static_cast<std::uint8_t>(colours ? v % colours : v);
}

Bytes makeBmp(const BmpSpec& s) {
  const std::uint32_t colours = s.bitCount == 8 ? (s.clrUsed ? s.clrUsed : 256) : 0;
  const std::uint32_t stride = (std::uint32_t(s.width) * s.bitCount + 31) / 32 * 4;
  const bool bitfields = s.compression == 3;
  const std::uint32_t tableAt = 14 + s.headerSize + (bitfields && s.headerSize == 40 ? 12 : 0);
  const std::uint32_t pixelsAt = tableAt + colours * 4;
  Bytes b{'B', 'M'};
  ByteWriter w(b);
  w.u32(pixelsAt + stride * std::uint32_t(s.height));
  w.u32(0);
  w.u32(pixelsAt);
  w.u32(s.headerSize);
  w.u32(std::uint32_t(s.width));
  w.u32(std::uint32_t(s.topDown ? -s.height : s.height));
  w.u16(1);
  w.u16(s.bitCount);
  w.u32(s.compression);
  w.u32(stride * std::uint32_t(s.height));
  w.u32(2835);
  w.u32(2835);
  w.u32(s.clrUsed);
  w.u32(0);
  if (bitfields) {
    w.u32(0x00FF0000);
    w.u32(0x0000FF00);
    w.u32(0x000000FF);
  }
  b.resize(tableAt, 0);  // the rest of a longer header
  for (std::uint32_t i = 0; i < colours; ++i)
    b.insert(b.end(), {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2), 0x77});
  for (std::int32_t r = 0; r < s.height; ++r) {
    const std::int32_t y = s.topDown ? r : s.height - 1 - r;
    Bytes row;
    for (std::int32_t x = 0; x < s.width; ++x)
      for (int ch = 0; ch < s.bitCount / 8; ++ch) row.push_back(bmpPixelByte(x, y, ch, colours));
    row.resize(stride, 0);
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

std::string messages(const Diagnostics& d) { return d.text(); }

}  // namespace zorv::test
