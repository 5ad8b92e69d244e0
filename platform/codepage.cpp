#include "platform/codepage.h"

#include <cstdint>

#include "platform/codepage1251.h"
#include "platform/utf8.h"

namespace zorv {

namespace {

// Code page 1252, bytes 0x80..0x9F; 0xA0..0xFF equal U+00A0..U+00FF. 0 marks unassigned bytes.
constexpr char16_t kWestern80[32] = {
    0x20AC, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x0000, 0x017D, 0x0000,  // 88
    0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0000, 0x017E, 0x0178,  // 98
};

char32_t toUnicode(std::uint8_t b, int codePage) {
  if (b < 0x80) return b;
  // 0x98 is the one byte that code page 1251 leaves unassigned: nothing maps to it.
  if (codePage == kCodePageCyrillic) return b == 0x98 ? 0 : cp1251ToUtf16(b);
  return b < 0xA0 ? kWestern80[b - 0x80] : b;
}

// The byte of a character, or -1. A scan of the 128 upper bytes is fast enough for names.
int fromUnicode(char32_t c, int codePage) {
  if (c < 0x80) return static_cast<int>(c);
  for (int b = 0x80; b < 0x100; ++b)
    if (toUnicode(static_cast<std::uint8_t>(b), codePage) == c) return b;
  return -1;
}

// A byte as the system widens it: unassigned bytes become the C1 control of their number.
char32_t systemUnicode(std::uint8_t b, int codePage) {
  const char32_t c = toUnicode(b, codePage);
  return c || b == 0 ? c : b;
}

// The byte of a character, unassigned bytes taken back from their C1 controls; -1 if none.
int systemByte(char32_t c, int codePage) {
  if (c >= 0x80 && c < 0xA0 && toUnicode(static_cast<std::uint8_t>(c), codePage) == 0)
    return static_cast<int>(c);
  return fromUnicode(c, codePage);
}

// The capital of a character of either code page; others stand for themselves.
char32_t upperCodePoint(char32_t c) {
  for (int cp : {kCodePageCyrillic, kCodePageWestern}) {
    const int b = fromUnicode(c, cp);
    if (b >= 0) return toUnicode(upperAnsi(static_cast<std::uint8_t>(b), cp), cp);
  }
  return c;
}

// The next character of a text: a valid UTF-8 sequence, else one byte read as code page 1251.
char32_t nextCharacter(std::string_view s, std::size_t& i) {
  std::size_t at = i;
  const char32_t c = decodeUtf8(s, at);
  if (c != kNotUtf8 && c >= 0x80) {
    i = at;
    return c;
  }
  return cp1251ToUtf16(static_cast<std::uint8_t>(s[i++]));
}

// The lower-case letters of code page 1252 above 0x7F whose capitals it holds, apart from the
// run 0xE0..0xFE (less 0xF7, the division sign) whose capitals lie 0x20 below.
struct CasePair {
  std::uint8_t lower, upper;
};
constexpr CasePair kWesternCasePairs[] = {{0x9A, 0x8A}, {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F}};

}  // namespace

std::uint8_t upperAnsi(std::uint8_t byte, int codePage) {
  if (codePage == kCodePageCyrillic) return upperCp1251(byte);
  if (byte >= 'a' && byte <= 'z') return static_cast<std::uint8_t>(byte - 0x20);
  if (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7) return static_cast<std::uint8_t>(byte - 0x20);
  for (const CasePair& p : kWesternCasePairs)
    if (p.lower == byte) return p.upper;
  return byte;
}

bool isSupportedCodePage(int codePage) {
  return codePage == kCodePageWestern || codePage == kCodePageCyrillic;
}

std::optional<std::string> utf8ToAnsi(std::string_view utf8, int codePage, std::string* bad) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t start = i;
    const char32_t c = decodeUtf8(utf8, i);
    if (c == kNotUtf8) {
      if (bad) *bad = "a byte that is not UTF-8";
      return std::nullopt;
    }
    const int b = fromUnicode(c, codePage);
    if (b < 0) {
      if (bad)
        *bad = "\"" + std::string(utf8.substr(start, i - start)) + "\", which code page " +
               std::to_string(codePage) + " lacks";
      return std::nullopt;
    }
    out += static_cast<char>(b);
  }
  return out;
}

std::string ansiToUtf8(std::string_view ansi, int codePage) {
  std::string out;
  for (char ch : ansi) {
    char32_t c = toUnicode(static_cast<std::uint8_t>(ch), codePage);
    appendUtf8(out, c ? c : U'?');
  }
  return out;
}

std::string systemUtf8(std::string_view ansi, int codePage) {
  std::string out;
  out.reserve(ansi.size());
  for (char ch : ansi) appendUtf8(out, systemUnicode(static_cast<std::uint8_t>(ch), codePage));
  return out;
}

std::u16string systemUtf16(std::string_view ansi, int codePage) {
  std::u16string out;
  out.reserve(ansi.size());
  for (char ch : ansi)
    out.push_back(static_cast<char16_t>(systemUnicode(static_cast<std::uint8_t>(ch), codePage)));
  return out;
}

std::optional<std::string> systemAnsi(std::string_view utf8, int codePage) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const char32_t c = decodeUtf8(utf8, i);
    const int b = c == kNotUtf8 ? -1 : systemByte(c, codePage);
    if (b < 0) return std::nullopt;
    out += static_cast<char>(b);
  }
  return out;
}

std::size_t utf8SequenceLength(std::string_view text) {
  std::size_t i = 0;
  return text.empty() || decodeUtf8(text, i) == kNotUtf8 ? 0 : i;
}

std::optional<std::u32string> utf8Characters(std::string_view text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    const char32_t c = decodeUtf8(text, i);
    if (c == kNotUtf8) return std::nullopt;
    out += c;
  }
  return out;
}

bool equalsIgnoreCaseText(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size())
    if (upperCodePoint(nextCharacter(a, i)) != upperCodePoint(nextCharacter(b, j))) return false;
  return i == a.size() && j == b.size();
}

}  // namespace zorv
