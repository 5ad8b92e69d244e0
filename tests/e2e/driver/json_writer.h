// A small JSON writer for the driver's report. The output is pure ASCII: UTF-8 text is written
// with \u escapes (an invalid sequence becomes U+FFFD), and byte strings whose code page the
// reader must not guess are written as hex.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace e2e {

class JsonWriter {
 public:
  void beginObject() { open('{'); }
  void endObject() { close('}'); }
  void beginArray() { open('['); }
  void endArray() { close(']'); }
  // The name of the next member of the current object.
  void key(std::string_view name);
  void string(std::string_view utf8);
  void number(std::int64_t value);
  void boolean(bool value);
  void null();
  // A value that is already JSON text, written as it stands.
  void raw(std::string_view json);

  const std::string& text() const { return out_; }

 private:
  void open(char c);
  void close(char c);
  void beforeValue();
  void quoted(std::string_view utf8);

  std::string out_;
  std::vector<bool> hasMember_;  // one per open object or array
  bool afterKey_ = false;
};

// Lower-case hex of the bytes, two digits each, no separators.
std::string toHex(std::string_view bytes);

}  // namespace e2e
