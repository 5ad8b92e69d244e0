#include "tests/e2e/driver/script.h"

namespace e2e {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted word starting after its opening quote; `pos` ends after the closing quote.
bool readQuoted(std::string_view line, std::size_t& pos, std::string& out, std::string* why) {
  while (pos < line.size()) {
    char c = line[pos++];
    if (c == '"') return true;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (pos >= line.size()) break;
    char e = line[pos++];
    switch (e) {
      case '\\': out += '\\'; break;
      case '"': out += '"'; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'x': {
        int hi = pos < line.size() ? hexValue(line[pos]) : -1;
        int lo = pos + 1 < line.size() ? hexValue(line[pos + 1]) : -1;
        if (hi < 0 || lo < 0) {
          if (why) *why = "\\x needs two hex digits";
          return false;
        }
        out += static_cast<char>(hi * 16 + lo);
        pos += 2;
        break;
      }
      default:
        if (why) *why = std::string("unknown escape \\") + e;
        return false;
    }
  }
  if (why) *why = "unterminated quote";
  return false;
}

}  // namespace

std::optional<std::vector<std::string>> splitScriptLine(std::string_view line, std::string* why) {
  std::vector<std::string> words;
  std::size_t pos = 0;
  while (true) {
    while (pos < line.size() && isBlank(line[pos])) ++pos;
    if (pos >= line.size()) break;
    std::string word;
    if (line[pos] == '"') {
      ++pos;
      if (!readQuoted(line, pos, word, why)) return std::nullopt;
      if (pos < line.size() && !isBlank(line[pos])) {
        if (why) *why = "text right after a closing quote";
        return std::nullopt;
      }
    } else {
      while (pos < line.size() && !isBlank(line[pos])) word += line[pos++];
    }
    words.push_back(std::move(word));
  }
  return words;
}

std::optional<std::vector<ScriptStep>> parseScript(std::string_view text, std::string* why) {
  std::vector<ScriptStep> steps;
  int lineNo = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    ++lineNo;
    start = end + 1;
    std::size_t first = 0;
    while (first < line.size() && isBlank(line[first])) ++first;
    if (first == line.size() || line[first] == '#') continue;
    std::string reason;
    auto words = splitScriptLine(line, &reason);
    if (!words) {
      if (why) *why = "line " + std::to_string(lineNo) + ": " + reason;
      return std::nullopt;
    }
    steps.push_back(ScriptStep{lineNo, std::move(*words)});
  }
  return steps;
}

}  // namespace e2e
