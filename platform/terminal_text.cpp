#include "platform/terminal_text.h"

namespace zorv {

std::string terminalText(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || (u >= 0x7F && u <= 0x9F)) c = '.';
  }
  return out;
}

}  // namespace zorv
