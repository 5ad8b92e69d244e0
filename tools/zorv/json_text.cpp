#include "tools/zorv/json_text.h"

#include <cstdio>

#include "platform/codepage.h"

namespace zorv {

namespace {

void appendEscape(std::string& out, unsigned unit) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "\\u%04x", unit);
  out += buf;
}

// The character of a well-formed UTF-8 sequence.
char32_t decode(std::string_view seq) {
  const auto lead = static_cast<unsigned char>(seq[0]);
  char32_t c = lead & (0x7F >> seq.size());
  for (std::size_t k = 1; k < seq.size(); ++k) c = (c << 6) | (seq[k] & 0x3F);
  return c;
}

}  // namespace

std::string jsonString(std::string_view s) {
  std::string out = "\"";
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t length = utf8SequenceLength(s.substr(i));
    if (length > 1) {
      const char32_t u = decode(s.substr(i, length));
      if (u > 0xFFFF) {
        appendEscape(out, 0xD800 + ((u - 0x10000) >> 10));
        appendEscape(out, 0xDC00 + ((u - 0x10000) & 0x3FF));
      } else {
        appendEscape(out, u);
      }
      i += length;
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20 || c >= 0x7F) {
      appendEscape(out, c);
    } else {
      out += char(c);
    }
    ++i;
  }
  return out + "\"";
}

}  // namespace zorv
