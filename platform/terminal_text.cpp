#include "platform/terminal_text.h"

#include "platform/codepage.h"

namespace zorv {

// A UTF-8 sequence is kept whole, or made one '.' when it encodes a C1 control; any other byte
// is judged alone, so ANSI text keeps its letters too.
std::string terminalText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto u = static_cast<unsigned char>(text[i]);
    const std::size_t length = utf8SequenceLength(text.substr(i));
    if (length > 1) {
      const bool c1 = u == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
      out += c1 ? std::string_view(".") : text.substr(i, length);
      i += length;
      continue;
    }
    out += (u < 0x20 || (u >= 0x7F && u <= 0x9F)) ? '.' : text[i];
    ++i;
  }
  return out;
}

std::string terminalMessage(std::string_view caption, std::string_view text) {
  std::string out = terminalText(caption) + ": ";
  for (std::size_t cut; (cut = text.find('\n')) != std::string_view::npos;) {
    out += terminalText(text.substr(0, cut)) + "\n";
    text.remove_prefix(cut + 1);
  }
  out += terminalText(text) + "\n";
  return out;
}

}  // namespace zorv
