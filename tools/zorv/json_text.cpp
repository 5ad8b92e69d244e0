#include "tools/zorv/json_text.h"

#include <cstdio>

#include "platform/utf8.h"

namespace zorv {

namespace {

void appendEscape(std::string& out, unsigned unit) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "\\u%04x", unit);
  out += buf;
}

}  // namespace

std::string jsonString(std::string_view s) {
  std::string out = "\"";
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t next = i;
    const char32_t u = decodeUtf8(s, next);
    if (u != kNotUtf8 && u >= 0x80) {
      if (u > 0xFFFF) {
        appendEscape(out, highSurrogate(u));
        appendEscape(out, lowSurrogate(u));
      } else {
        appendEscape(out, u);
      }
      i = next;
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
