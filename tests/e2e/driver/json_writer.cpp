#include "tests/e2e/driver/json_writer.h"

#include "platform/utf8.h"

namespace e2e {
namespace {

void appendEscaped(std::string& out, std::uint32_t code) {
  static const char kHex[] = "0123456789abcdef";
  auto unit = [&](std::uint32_t u) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(u >> shift) & 0xF];
  };
  if (code >= 0x10000) {
    unit(zorv::highSurrogate(code));
    unit(zorv::lowSurrogate(code));
  } else {
    unit(code);
  }
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
      const char32_t code = zorv::decodeUtf8(utf8, pos);
      appendEscaped(out_, code == zorv::kNotUtf8 ? zorv::kReplacementCharacter : code);
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
