// YAML text, as much of it as a winget manifest needs: "key: value" lines, block mappings and
// block sequences. Keys are our own names and go out as they are; every value goes through
// yamlScalar, so that a YAML reader gives back exactly the string that was written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zorv {

// `value` (UTF-8) as a YAML scalar that every reader of YAML 1.1 or 1.2 takes for that string:
// - plain where that is read back unchanged;
// - single-quoted ('' for a quote) where plain would be read otherwise: empty, blanks at either
//   end, an indicator first ("-?:,[]{}#&*!|>'\"%@`"), ": ", a '#' anywhere (" #" starts a
//   comment; a lone '#' is quoted too, for readers that are less exact), a ':' at the end, a word
//   read as a boolean or null (yes, No, on, TRUE, null, ~...), "<<" or "=", or a number
//   or date of either version (1, 1.0, -.5, 1e3, 0x1F, 1_000, 1:30, .inf, 2024-01-31);
// - double-quoted with escapes where a character may not stand unescaped on one line: control
//   characters, DEL and C1 controls, U+2028, U+2029, U+FEFF, U+FFFE, U+FFFF. A byte that begins
//   no UTF-8 sequence is written as \xNN, the character of its number.
std::string yamlScalar(std::string_view value);

// A YAML document written from top to bottom. Nested mappings are indented by two blanks; the
// "- " of a sequence stands at its key's indentation, as winget's own manifests have it.
class YamlWriter {
 public:
  void comment(std::string_view text);  // "# text": one line of our own
  void blankLine();
  void field(std::string_view key, std::string_view value);
  void integer(std::string_view key, std::int64_t value);  // a number, not a string
  // "key:", then everything up to the matching close() one level in.
  void open(std::string_view key);
  // "key:", then its items.
  void sequence(std::string_view key);
  void item(std::string_view value);  // "- value"
  // A mapping as the next item of a sequence: its first field follows the "- ", the rest line
  // up with it, up to the matching close().
  void openItem();
  void close();
  const std::string& text() const { return text_; }

 private:
  void line(std::string_view content);
  std::string text_;
  std::string indent_;
  bool itemStarts_ = false;  // the next line begins an item: "- " in its indentation's place
};

}  // namespace zorv
