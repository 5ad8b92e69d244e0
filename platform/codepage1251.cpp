#include "platform/codepage1251.h"

namespace zorv {

namespace {

// 0x80..0xBF; from 0xC0 on the code page is the Cyrillic alphabet А..я in order.
constexpr char16_t kHighHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

// Lower-case letters of 0x80..0xBF and their capitals; the pairs are scattered in this half.
struct CasePair {
  std::uint8_t lower, upper;
};
constexpr CasePair kHighCasePairs[] = {
    {0x90, 0x80}, {0x83, 0x81}, {0x9A, 0x8A}, {0x9C, 0x8C}, {0x9D, 0x8D},
    {0x9E, 0x8E}, {0x9F, 0x8F}, {0xA2, 0xA1}, {0xBC, 0xA3}, {0xB4, 0xA5},
    {0xB8, 0xA8}, {0xBA, 0xAA}, {0xBF, 0xAF}, {0xB3, 0xB2}, {0xBE, 0xBD},
};

}  // namespace

char16_t cp1251ToUtf16(std::uint8_t byte) {
  if (byte < 0x80) return byte;
  if (byte < 0xC0) return kHighHalf[byte - 0x80];
  return static_cast<char16_t>(0x0410 + (byte - 0xC0));
}

std::u16string widenCp1251(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (char c : text) wide.push_back(cp1251ToUtf16(static_cast<std::uint8_t>(c)));
  return wide;
}

std::uint8_t upperCp1251(std::uint8_t byte) {
  if (byte >= 'a' && byte <= 'z') return byte - 0x20;
  if (byte >= 0xE0) return byte - 0x20;
  if (byte >= 0x80 && byte < 0xC0)
    for (const CasePair& p : kHighCasePairs)
      if (p.lower == byte) return p.upper;
  return byte;
}

bool equalsIgnoreCaseCp1251(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (upperCp1251(static_cast<std::uint8_t>(a[i])) != upperCp1251(static_cast<std::uint8_t>(b[i])))
      return false;
  return true;
}

}  // namespace zorv
