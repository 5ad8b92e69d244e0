#include "tests/e2e/driver/json_writer.h"

namespace e2e {
namespace {

void appendEscaped(std::string& out, std::uint32_t code) {
  static const char kHex[] = "0123456789abcdef";
  auto unit = [&](std::uint32_t u) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(u >> shift) & 0xF];
  };
  if (code >= 0x10000) {
    code -= 0x10000;
    unit(0xD800 + (code >> 10));
    unit(0xDC00 + (code & 0x3FF));
  } else {
    unit(code);
  }
}

// Decodes one UTF-8 sequence at `pos`; returns U+FFFD and skips one byte when it is invalid.
std::uint32_t nextCodePoint(std::string_view s, std::size_t& pos) {
  auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(s[i]); };
  std::uint8_t b = byte(pos);
  int extra = b >= 0xF0 && b < 0xF5 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : -1;
  if (b >= 0xF5) extra = -1;
  if (extra < 0 || s.size() - pos <= static_cast<std::size_t>(extra)) {
    ++pos;
    return 0xFFFD;
  }
  std::uint32_t code = b & (0x3F >> extra);
  for (int i = 1; i <= extra; ++i) {
    std::uint8_t c = byte(pos + i);
    if ((c & 0xC0) != 0x80) {
      ++pos;
      return 0xFFFD;
    }
    code = code << 6 | (c & 0x3F);
  }
  static const std::uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (code < kMin[extra] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
    ++pos;
    return 0xFFFD;
  }
  pos += extra + 1;
  return code;
}

}  // namespace

void JsonWriter::beforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!hasMember_.empty()) {
    if (hasMember_.back()) out_ += ',';
    hasMember_.back() = true;
  }
}

void JsonWriter::open(char c) {
  beforeValue();
  out_ += c;
  hasMember_.push_back(false);
}

void JsonWriter::close(char c) {
  out_ += c;
  if (!hasMember_.empty()) hasMember_.pop_back();
}

void JsonWriter::key(std::string_view name) {
  beforeValue();
  quoted(name);
  out_ += ':';
  afterKey_ = true;
}

void JsonWriter::string(std::string_view utf8) {
  beforeValue();
  quoted(utf8);
}

void JsonWriter::quoted(std::string_view utf8) {
  out_ += '"';
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    unsigned char c = static_cast<unsigned char>(utf8[pos]);
    if (c == '"' || c == '\\') {
      out_ += '\\';
      out_ += static_cast<char>(c);
      ++pos;
    } else if (c >= 0x20 && c < 0x7F) {
      out_ += static_cast<char>(c);
      ++pos;
    } else if (c < 0x80) {
      appendEscaped(out_, c);
      ++pos;
    } else {
      appendEscaped(out_, nextCodePoint(utf8, pos));
    }
  }
  out_ += '"';
}

void JsonWriter::number(std::int64_t value) {
  beforeValue();
  out_ += std::to_string(value);
}

void JsonWriter::boolean(bool value) {
  beforeValue();
  out_ += value ? "true" : "false";
}

void JsonWriter::null() {
  beforeValue();
  out_ += "null";
}

void JsonWriter::raw(std::string_view json) {
  beforeValue();
  out_ += json;
}

std::string toHex(std::string_view bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char ch : bytes) {
    auto b = static_cast<unsigned char>(ch);
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
  }
  return out;
}

}  // namespace e2e
