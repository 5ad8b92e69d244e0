#include "tools/zorv/json_text.h"

#include <cstdio>

namespace zorv {

std::string jsonString(std::string_view s) {
  std::string out = "\"";
  char buf[8];
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20 || c >= 0x7F) {
      unsigned u = c;
      if (c >= 0xC0)
        u = 0x410 + (c - 0xC0);
      else if (c == 0xA8)
        u = 0x401;
      else if (c == 0xB8)
        u = 0x451;
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out += buf;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

}  // namespace zorv
