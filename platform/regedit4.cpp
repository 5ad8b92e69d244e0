#include "platform/regedit4.h"

#include "platform/codepage.h"

namespace zorv {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kLineEnd = "\r\n";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool isHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

// What may follow a value on its line: blanks, then nothing or a comment.
bool onlyCommentLeft(std::string_view rest) {
  rest = trimBlanks(rest);
  return rest.empty() || rest.front() == ';';
}

// Splits the text into lines at LF, CR LF or a lone CR, as the import does.
std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : lines_(splitLines(text)) {}

  std::optional<RegFile> run(std::string* why) {
    if (lines_.empty() || trimBlanks(lines_[0]) != kHeader) {
      fail(1, "the first line is not REGEDIT4");
    } else {
      for (index_ = 1; index_ < lines_.size() && error_.empty(); ++index_) parseLine();
    }
    if (!error_.empty()) {
      if (why) *why = error_;
      return std::nullopt;
    }
    return std::move(file_);
  }

 private:
  void fail(std::size_t lineNumber, std::string_view reason) {
    if (error_.empty()) error_ = "line " + std::to_string(lineNumber) + ": " + std::string(reason);
  }
  void fail(std::string_view reason) { fail(index_ + 1, reason); }

  void parseLine() {
    std::string_view line = trimBlanks(lines_[index_]);
    if (line.empty() || line.front() == ';' || line.front() == '#') return;
    if (line.front() == '[') return parseSection(line.substr(1));
    if (line.front() == '@' || line.front() == '"') return parseValue(line);
    fail("neither a key, a value nor a comment");
  }

  // "[key]" or "[-key]"; the key runs to the last ']' of the line.
  void parseSection(std::string_view rest) {
    std::size_t close = rest.rfind(']');
    if (close == std::string_view::npos) return fail("key without its closing ']'");
    RegSection section;
    std::string_view key = rest.substr(0, close);
    if (!key.empty() && key.front() == '-') {
      section.remove = true;
      key.remove_prefix(1);
    }
    if (key.empty() || isBlank(key.front())) return fail("empty key name");
    if (!trimBlanks(rest.substr(close + 1)).empty()) return fail("text after the key");
    section.key = std::string(key);
    file_.sections.push_back(std::move(section));
  }

  void parseValue(std::string_view line) {
    if (file_.sections.empty()) return fail("value before the first key");
    RegSection& section = file_.sections.back();
    if (section.remove) return fail("value in a key that is being removed");
    RegValue value;
    std::string_view rest;
    if (line.front() == '@') {
      rest = line.substr(1);
    } else if (!unquote(line.substr(1), value.name, rest)) {
      return;
    }
    rest = trimBlanks(rest);
    if (rest.empty() || rest.front() != '=') return fail("value without '='");
    rest = trimBlanks(rest.substr(1));
    if (!parseData(rest, value)) return;
    section.values.push_back(std::move(value));
  }

  bool parseData(std::string_view rest, RegValue& value) {
    if (!rest.empty() && rest.front() == '-') {
      value.kind = RegValue::Kind::Remove;
      if (onlyCommentLeft(rest.substr(1))) return true;
      fail("text after '-'");
      return false;
    }
    if (!rest.empty() && rest.front() == '"') {
      value.kind = RegValue::Kind::String;
      std::string_view after;
      if (!unquote(rest.substr(1), value.data, after)) return false;
      if (onlyCommentLeft(after)) return true;
      fail("text after the closing quote");
      return false;
    }
    value.kind = RegValue::Kind::Raw;
    if (rest.starts_with("dword:")) return parseDword(rest.substr(6), value.data);
    if (rest.starts_with("hex:")) return parseHex("hex:", rest.substr(4), value.data);
    if (rest.starts_with("hex(")) {
      std::size_t close = rest.find("):");
      std::string_view type = rest.substr(4, close == std::string_view::npos ? 0 : close - 4);
      bool typeOk = !type.empty() && type.size() <= 8;
      for (char c : type) typeOk = typeOk && isHexDigit(c);
      if (!typeOk) {
        fail("bad hex(type)");
        return false;
      }
      return parseHex(rest.substr(0, close + 2), rest.substr(close + 2), value.data);
    }
    fail("unknown data type");
    return false;
  }

  // Text inside quotes up to the closing quote; `after` gets what follows that quote.
  bool unquote(std::string_view s, std::string& out, std::string_view& after) {
    out.clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
      char c = s[i];
      if (c == '"') {
        after = s.substr(i + 1);
        return true;
      }
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (++i == s.size()) break;
      switch (s[i]) {
        case '\\': out.push_back('\\'); break;
        case '"': out.push_back('"'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        default: fail("unknown escape sequence"); return false;
      }
    }
    fail("string without its closing quote");
    return false;
  }

  bool parseDword(std::string_view rest, std::string& out) {
    std::size_t n = 0;
    while (n < rest.size() && isHexDigit(rest[n])) ++n;
    if (n == 0 || n > 8 || !onlyCommentLeft(rest.substr(n))) {
      fail("bad dword value");
      return false;
    }
    out = "dword:" + std::string(rest.substr(0, n));
    return true;
  }

  // Bytes of one or two hex digits separated by commas. A '\' after a comma (or right after the
  // type) continues the list on the next line that is not blank or a comment. Kept as one line
  // without blanks.
  bool parseHex(std::string_view prefix, std::string_view rest, std::string& out) {
    out = std::string(prefix);
    bool any = false, needComma = false, continued = false;
    for (;;) {
      rest = trimBlanks(rest);
      if (rest.empty() || rest.front() == ';') {
        if (!continued || index_ + 1 >= lines_.size()) return true;
        rest = lines_[++index_];
        continue;
      }
      continued = false;
      if (rest.front() == '\\') {
        if (needComma || !onlyCommentLeft(rest.substr(1))) return failHex();
        if (index_ + 1 >= lines_.size()) return true;
        rest = lines_[++index_];
        continued = true;
        continue;
      }
      if (needComma) {
        if (rest.front() != ',') return failHex();
        rest.remove_prefix(1);
        needComma = false;
        continue;
      }
      std::size_t n = 0;
      while (n < rest.size() && n < 3 && isHexDigit(rest[n])) ++n;
      if (n == 0 || n > 2) return failHex();
      if (any) out.push_back(',');
      out.append(rest.substr(0, n));
      any = needComma = true;
      rest.remove_prefix(n);
    }
  }
  bool failHex() {
    fail("bad hex value");
    return false;
  }

  std::vector<std::string_view> lines_;
  std::size_t index_ = 0;
  RegFile file_;
  std::string error_;
};

bool keyCoveredBy(std::string_view key, std::string_view removed) {
  if (key.size() < removed.size()) return false;
  if (!equalsIgnoreCaseText(key.substr(0, removed.size()), removed)) return false;
  return key.size() == removed.size() || key[removed.size()] == '\\';
}

}  // namespace

std::optional<RegFile> parseRegedit4(std::string_view text, std::string* why) {
  return Parser(text).run(why);
}

std::string dwordText(std::uint32_t value) {
  std::string out = "dword:";
  for (int shift = 28; shift >= 0; shift -= 4) out += "0123456789abcdef"[(value >> shift) & 0xF];
  return out;
}

std::string escapeRegString(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    switch (c) {
      case '\0': return out;  // a string value ends at its NUL
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string formatRegedit4(const RegFile& file) {
  std::string out;
  out.append(kHeader).append(kLineEnd).append(kLineEnd);
  for (const RegSection& section : file.sections) {
    out.append(section.remove ? "[-" : "[").append(section.key).append("]").append(kLineEnd);
    for (const RegValue& value : section.values) {
      if (value.name.empty())
        out.append("@=");
      else
        out.append("\"").append(escapeRegString(value.name)).append("\"=");
      switch (value.kind) {
        case RegValue::Kind::String:
          out.append("\"").append(escapeRegString(value.data)).append("\"");
          break;
        case RegValue::Kind::Raw: out.append(value.data); break;
        case RegValue::Kind::Remove: out.append("-"); break;
      }
      out.append(kLineEnd);
    }
    out.append(kLineEnd);
  }
  return out;
}

const RegValue* findRegValue(const RegFile& file, std::string_view key, std::string_view name) {
  const RegValue* found = nullptr;
  for (const RegSection& section : file.sections) {
    if (section.remove) {
      if (keyCoveredBy(key, section.key)) found = nullptr;
      continue;
    }
    if (!equalsIgnoreCaseText(section.key, key)) continue;
    for (const RegValue& value : section.values) {
      if (!equalsIgnoreCaseText(value.name, name)) continue;
      found = value.kind == RegValue::Kind::Remove ? nullptr : &value;
    }
  }
  return found;
}

}  // namespace zorv
