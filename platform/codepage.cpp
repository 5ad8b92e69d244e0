#include "platform/codepage.h"

#include <cstdint>

#include "platform/codepage1251.h"

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

// Decodes one UTF-8 sequence at s[i], advancing i; -1 on a malformed sequence.
long nextCodePoint(std::string_view s, std::size_t& i) {
  const auto lead = static_cast<std::uint8_t>(s[i++]);
  if (lead < 0x80) return lead;
  int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (extra < 0 || lead > 0xF4 || s.size() - i < static_cast<std::size_t>(extra)) return -1;
  long c = lead & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    const auto cont = static_cast<std::uint8_t>(s[i++]);
    if ((cont & 0xC0) != 0x80) return -1;
    c = (c << 6) | (cont & 0x3F);
  }
  static constexpr long kMinimum[4] = {0, 0x80, 0x800, 0x10000};
  if (c < kMinimum[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return -1;
  return c;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
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
  const long c = nextCodePoint(s, at);
  if (c >= 0x80) {
    i = at;
    return static_cast<char32_t>(c);
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
    const long c = nextCodePoint(utf8, i);
    if (c < 0) {
      if (bad) *bad = "a byte that is not UTF-8";
      return std::nullopt;
    }
    const int b = fromUnicode(static_cast<char32_t>(c), codePage);
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
    const long c = nextCodePoint(utf8, i);
    const int b = c < 0 ? -1 : systemByte(static_cast<char32_t>(c), codePage);
    if (b < 0) return std::nullopt;
    out += static_cast<char>(b);
  }
  return out;
}

std::size_t utf8SequenceLength(std::string_view text) {
  std::size_t i = 0;
  return text.empty() || nextCodePoint(text, i) < 0 ? 0 : i;
}

std::optional<std::u32string> utf8Characters(std::string_view text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    const long c = nextCodePoint(text, i);
    if (c < 0) return std::nullopt;
    out += static_cast<char32_t>(c);
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
