#include "platform/json_writer.h"

#include "platform/utf8.h"

namespace zorv {
namespace {

constexpr char kHex[] = "0123456789abcdef";

void appendEscaped(std::string& out, char32_t code) {
  auto unit = [&](std::uint32_t u) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(u >> shift) & 0xF];
  };
  if (code >= 0x10000) {
    unit(highSurrogate(code));
    unit(lowSurrogate(code));
  } else {
    unit(code);
  }
}

}  // namespace

void JsonWriter::pendingBreak() {
  if (indent_ < 0) return;
  out_ += '\n';
  out_.append(static_cast<std::size_t>(indent_), ' ');
  indent_ = -1;
}

void JsonWriter::beforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!hasMember_.empty()) {
    const bool more = hasMember_.back();
    if (more) out_ += ',';
    if (more && spaced_ && indent_ < 0) out_ += ' ';
    hasMember_.back() = true;
  }
  pendingBreak();
}

void JsonWriter::open(char c) {
  beforeValue();
  out_ += c;
  hasMember_.push_back(false);
}

void JsonWriter::close(char c) {
  pendingBreak();
  out_ += c;
  if (!hasMember_.empty()) hasMember_.pop_back();
}

void JsonWriter::key(std::string_view name) {
  beforeValue();
  quoted(name);
  out_ += spaced_ ? ": " : ":";
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
    const auto c = static_cast<unsigned char>(utf8[pos]);
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
      const char32_t code = decodeUtf8(utf8, pos);
      appendEscaped(out_, code != kNotUtf8 ? code : ownNumber_ ? c : kReplacementCharacter);
    }
  }
  out_ += '"';
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
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
  }
  return out;
}

}  // namespace zorv
