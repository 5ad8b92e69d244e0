// One table of streams for both inflaters behind unpack(): zlib's, which the setup carries, and
// libdeflate's, which the tools read with. Each program links one of them (CMakeLists.txt), so
// a case where they would disagree fails in one of the two.
#include "package/unpack.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zorv {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes packed(const Bytes& data, int level) {
  uLongf n = compressBound(uLong(data.size()));
  Bytes out(n);
  EXPECT_EQ(compress2(out.data(), &n, data.data(), uLong(data.size()), level), Z_OK);
  out.resize(n);
  return out;
}

Bytes sample(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = std::uint8_t((i * 7) ^ (i >> 5));
  return b;
}

struct UnpackCase {
  const char* name;
  Bytes stream;
  std::size_t size;  // of the buffer given
  bool ok;
};

class Unpack : public ::testing::TestWithParam<UnpackCase> {};

TEST_P(Unpack, AcceptsExactlyOneWholeStreamOfTheSize) {
  const UnpackCase& c = GetParam();
  Bytes out(c.size, 0xEE);
  EXPECT_EQ(unpack(c.stream, out), c.ok);
  if (c.ok && c.size == 100'000) {
    EXPECT_EQ(out, sample(100'000));
  }
}

Bytes with(Bytes b, std::size_t at, std::uint8_t x) {
  b[at < b.size() ? at : b.size() + at] ^= x;  // a negative `at` counts from the end
  return b;
}

const Bytes kStream = packed(sample(100'000), 9);

INSTANTIATE_TEST_SUITE_P(
    Streams, Unpack,
    ::testing::Values(
        UnpackCase{"exact", kStream, 100'000, true},
        UnpackCase{"stored_blocks", packed(sample(100'000), 0), 100'000, true},
        UnpackCase{"empty_data", packed({}, 9), 0, true},
        // zlib's uncompress stops at the stream's end; so does libdeflate.
        UnpackCase{"bytes_after_the_stream",
                   [] {
                     Bytes b = kStream;
                     b.push_back(0);
                     return b;
                   }(),
                   100'000, true},
        UnpackCase{"buffer_one_byte_longer", kStream, 100'001, false},
        UnpackCase{"buffer_one_byte_shorter", kStream, 99'999, false},
        UnpackCase{"adler32_wrong", with(kStream, std::size_t(-1), 1), 100'000, false},
        UnpackCase{"adler32_missing", Bytes(kStream.begin(), kStream.end() - 4), 100'000, false},
        UnpackCase{"cut_in_the_middle", Bytes(kStream.begin(), kStream.begin() + 100), 100'000,
                   false},
        UnpackCase{"header_check_wrong", with(kStream, 1, 1), 100'000, false},
        UnpackCase{"not_deflate", with(kStream, 0, 0x01), 100'000, false},
        UnpackCase{"preset_dictionary", Bytes{0x78, 0xBB, 0, 0, 0, 1, 3, 0, 0, 0, 0, 1}, 0, false},
        UnpackCase{"nothing", Bytes{}, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zorv
