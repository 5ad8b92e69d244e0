#include "tools/winget/yaml_text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>

#include "platform/codepage.h"

namespace zorv {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The words that YAML 1.1 reads as booleans, null, the merge key or the value key, and 1.2 as
// null: compared without regard to case, which quotes a few words ("tRUE") that need it in no
// version.
bool isReservedWord(std::string_view s) {
  static constexpr std::array<std::string_view, 12> kWords = {
      "y", "yes", "n", "no", "true", "false", "on", "off", "null", "~", "<<", "="};
  const std::string folded = lower(s);
  return std::find(kWords.begin(), kWords.end(), folded) != kWords.end();
}

// Whether a reader of YAML 1.1 or 1.2 might take `s` for a number or a date. Every such form
// starts, after an optional sign, with a digit or a dot; this takes in all of them and a few
// strings besides (1:99), which are then quoted to no harm.
bool looksLikeNumber(std::string_view s) {
  if (s.size() >= 6 && std::all_of(s.begin(), s.begin() + 4, isDigit) && s[4] == '-' &&
      isDigit(s[5]))
    return true;  // a date or a time stamp of YAML 1.1: 2024-01-31, 2024-1-5T10:00:00Z
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) s.remove_prefix(1);
  if (s.empty() || !(isDigit(s[0]) || s[0] == '.')) return false;
  const std::string folded = lower(s);
  if (folded == ".inf" || folded == ".nan") return true;
  if (folded.size() > 2 && folded[0] == '0' &&
      (folded[1] == 'x' || folded[1] == 'o' || folded[1] == 'b'))
    return true;  // hexadecimal, octal (1.2) or binary (1.1)
  // Digits with '_' and ':' (1.1's 1_000 and 1:30), at most one '.', an optional exponent.
  std::size_t i = 0, dots = 0, digits = 0;
  for (; i < s.size(); ++i) {
    if (isDigit(s[i]))
      ++digits;
    else if (s[i] == '.')
      ++dots;
    else if (s[i] != '_' && s[i] != ':')
      break;
  }
  if (digits == 0 || dots > 1) return false;
  if (i == s.size()) return true;
  if (s[i] != 'e' && s[i] != 'E') return false;
  if (++i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  return i < s.size() && std::all_of(s.begin() + std::ptrdiff_t(i), s.end(), isDigit);
}

// The characters that a YAML scalar on one line may not hold unescaped, by YAML 1.1's rules
// and 1.2's: line breaks of either, the rest of the non-printable set, the byte order mark.
bool needsEscape(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0xFEFF ||
         c == 0xFFFE || c == 0xFFFF;
}

void appendEscape(std::string& out, char32_t c) {
  const char* named = c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : nullptr;
  if (named) {
    out += named;
    return;
  }
  char buf[12];
  std::snprintf(buf, sizeof buf, c < 0x100 ? "\\x%02X" : "\\u%04X", unsigned(c));
  out += buf;
}

// Walks the characters of `value`: f(character, its bytes) for each well-formed UTF-8
// sequence, f(byte's number, {}) for a byte that begins none.
template <typename F>
void forEachCharacter(std::string_view value, F&& f) {
  for (std::size_t i = 0; i < value.size();) {
    const std::size_t n = utf8SequenceLength(value.substr(i));
    if (n == 0) {
      f(char32_t(static_cast<unsigned char>(value[i])), std::string_view());
      ++i;
      continue;
    }
    const std::string_view bytes = value.substr(i, n);
    f(utf8Characters(bytes)->front(), bytes);
    i += n;
  }
}

std::string doubleQuoted(std::string_view value) {
  std::string out = "\"";
  forEachCharacter(value, [&out](char32_t c, std::string_view bytes) {
    if (bytes.empty() || needsEscape(c))
      appendEscape(out, c);
    else if (c == '"' || c == '\\')
      out += '\\', out += char(c);
    else
      out += bytes;
  });
  return out + "\"";
}

std::string singleQuoted(std::string_view value) {
  std::string out = "'";
  for (char c : value) out += c == '\'' ? std::string_view("''") : std::string_view(&c, 1);
  return out + "'";
}

bool plainIsReadOtherwise(std::string_view s) {
  static constexpr std::string_view kIndicators = "-?:,[]{}#&*!|>'\"%@`";
  return s.empty() || s.front() == ' ' || s.back() == ' ' ||
         kIndicators.find(s.front()) != s.npos || s.find(": ") != s.npos || s.find('#') != s.npos ||
         s.back() == ':' || isReservedWord(s) || looksLikeNumber(s);
}

}  // namespace

std::string yamlScalar(std::string_view value) {
  bool escape = false;
  forEachCharacter(value, [&escape](char32_t c, std::string_view bytes) {
    escape = escape || bytes.empty() || needsEscape(c);
  });
  if (escape) return doubleQuoted(value);
  if (plainIsReadOtherwise(value)) return singleQuoted(value);
  return std::string(value);
}

void YamlWriter::line(std::string_view content) {
  std::string prefix = indent_;
  if (itemStarts_) {
    prefix[prefix.size() - 2] = '-';
    itemStarts_ = false;
  }
  text_ += prefix;
  text_ += content;
  text_ += '\n';
}

void YamlWriter::comment(std::string_view text) { line("# " + std::string(text)); }

void YamlWriter::blankLine() { text_ += '\n'; }

void YamlWriter::field(std::string_view key, std::string_view value) {
  line(std::string(key) + ": " + yamlScalar(value));
}

void YamlWriter::integer(std::string_view key, std::int64_t value) {
  line(std::string(key) + ": " + std::to_string(value));
}

void YamlWriter::open(std::string_view key) {
  line(std::string(key) + ":");
  indent_ += "  ";
}

void YamlWriter::sequence(std::string_view key) { line(std::string(key) + ":"); }

void YamlWriter::item(std::string_view value) { line("- " + yamlScalar(value)); }

void YamlWriter::openItem() {
  indent_ += "  ";
  itemStarts_ = true;
}

void YamlWriter::close() { indent_.resize(indent_.size() - 2); }

}  // namespace zorv
