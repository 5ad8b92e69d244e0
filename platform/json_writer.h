// One JSON writer for the tools' listings and the end-to-end driver's reports. The output is
// pure ASCII: '"' and '\' are escaped, every control character, DEL and every character past
// ASCII is written as \u escapes (a surrogate pair past U+FFFF). Byte strings whose code page a
// reader must not guess are written as hex (toHex).
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorv {

class JsonWriter {
 public:
  // How a text's byte that begins no well-formed UTF-8 sequence is written: as U+FFFD, or as
  // the character of its number (U+0080..U+00FF), which keeps every byte of a name visible.
  enum class BadByte { Replacement, OwnNumber };
  // Compact: "a":1,"b":2. Spaced: "a": 1, "b": 2 (the tools' listings).
  enum class Layout { Compact, Spaced };

  explicit JsonWriter(Layout layout = Layout::Compact, BadByte badByte = BadByte::Replacement)
      : spaced_(layout == Layout::Spaced), ownNumber_(badByte == BadByte::OwnNumber) {}

  void beginObject() { open('{'); }
  void endObject() { close('}'); }
  void beginArray() { open('['); }
  void endArray() { close(']'); }
  // The name of the next member of the current object.
  void key(std::string_view name);
  void string(std::string_view utf8);
  template <std::integral T>
  requires(!std::same_as<T, bool>) void number(T value) {
    beforeValue();
    out_ += std::to_string(value);
  }
  void boolean(bool value);
  void null();
  // A value that is already JSON text, written as it stands.
  void raw(std::string_view json);
  // The next member, item or closing bracket starts a new line indented by `indent` blanks;
  // the comma before a member or item stays at the end of the line before.
  void lineBreak(int indent) { indent_ = indent; }

  const std::string& text() const { return out_; }

 private:
  void open(char c);
  void close(char c);
  void beforeValue();
  void pendingBreak();
  void quoted(std::string_view utf8);

  std::string out_;
  std::vector<bool> hasMember_;  // one per open object or array
  bool afterKey_ = false;
  bool spaced_;
  bool ownNumber_;
  int indent_ = -1;  // a line break to write, or -1
};

// Lower-case hex of the bytes, two digits each, no separators.
std::string toHex(std::string_view bytes);

}  // namespace zorv
