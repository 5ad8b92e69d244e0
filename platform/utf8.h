// UTF-8, decoded and encoded in one place for the tree: the code pages (codepage.h), the
// version resource and resource names of the PE code, and JSON texts. Only well-formed
// sequences decode (RFC 3629): no overlong form, no surrogate, nothing past U+10FFFF, no
// sequence cut short. Header-only, with no state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zorv {

// What decodeUtf8 gives where no well-formed sequence starts; no character has this value.
inline constexpr char32_t kNotUtf8 = 0xFFFFFFFF;
inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The character of the sequence at text[i], with i moved past it; kNotUtf8, with i moved past
// that one byte, where none starts. i must be less than text.size().
inline char32_t decodeUtf8(std::string_view text, std::size_t& i) {
  const auto lead = static_cast<std::uint8_t>(text[i++]);
  if (lead < 0x80) return lead;
  const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (extra < 0 || lead > 0xF4 || text.size() - i < static_cast<std::size_t>(extra))
    return kNotUtf8;
  char32_t c = lead & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    const auto next = static_cast<std::uint8_t>(text[i + static_cast<std::size_t>(k)]);
    if ((next & 0xC0) != 0x80) return kNotUtf8;
    c = c << 6 | (next & 0x3F);
  }
  constexpr char32_t kMinimum[4] = {0, 0x80, 0x800, 0x10000};
  if (c < kMinimum[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kNotUtf8;
  i += static_cast<std::size_t>(extra);
  return c;
}

// Appends the sequence of `c`, a character (at most U+10FFFF, not a surrogate).
inline void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// A character past U+FFFF as its two UTF-16 units, high first.
inline char16_t highSurrogate(char32_t c) {
  return static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
}
inline char16_t lowSurrogate(char32_t c) {
  return static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
}

// UTF-16 of a UTF-8 text; each byte where no well-formed sequence starts becomes U+FFFD.
inline std::u16string utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t c = decodeUtf8(utf8, i);
    if (c == kNotUtf8) c = kReplacementCharacter;
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else {
      out += highSurrogate(c);
      out += lowSurrogate(c);
    }
  }
  return out;
}

// UTF-8 of UTF-16 units; a surrogate that is not half of a pair becomes U+FFFD.
inline std::string utf16ToUtf8(std::u16string_view units) {
  std::string out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (c >= 0xD800 && c < 0xE000) {
      c = kReplacementCharacter;
    }
    appendUtf8(out, c);
  }
  return out;
}

}  // namespace zorv
