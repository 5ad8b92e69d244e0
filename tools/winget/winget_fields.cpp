#include "tools/winget/winget_fields.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/codepage.h"

namespace zorv {

namespace {

constexpr std::size_t kMaxIdentifierLength = 128;
constexpr std::size_t kMinIdentifierParts = 2, kMaxIdentifierParts = 8;
constexpr std::size_t kMaxIdentifierPartLength = 32;
constexpr std::size_t kMaxVersionLength = 128;
constexpr std::size_t kMaxLocaleLength = 20;
constexpr std::size_t kMaxUrlLength = 2048;

// The schema's patterns are ECMAScript expressions: their counts and maxLength are taken
// here in UTF-16 units, as Windows holds the text, and minLength in characters, so that a
// text that passes here passes either count.
std::size_t utf16Length(std::u32string_view text) {
  return text.size() + std::size_t(std::count_if(text.begin(), text.end(),
                                                 [](char32_t c) { return c > 0xFFFF; }));
}

// ECMAScript's \s: white space and line terminators.
bool isWhiteSpace(char32_t c) {
  return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000 || c == 0xFEFF;
}

bool isControl(char32_t c) { return c < 0x20; }

bool isLetter(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The first character that the class [^\/:*?"<>|\x01-\x1f] of the version and identifier
// patterns leaves out, described; empty when there is none.
std::string excludedCharacter(std::u32string_view text) {
  static constexpr std::u32string_view kExcluded = U"\\/:*?\"<>|";
  for (char32_t c : text) {
    if (isControl(c)) return "holds a control character";
    if (kExcluded.find(c) != kExcluded.npos)
      return std::string("holds '") + char(c) + "', one of \\/:*?\"<>|";
  }
  return "";
}

std::string tooLong(std::size_t length, std::size_t max) {
  return "is " + std::to_string(length) + " characters long; winget takes at most " +
         std::to_string(max);
}

std::vector<std::u32string_view> split(std::u32string_view text, char32_t separator) {
  std::vector<std::u32string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == text.npos) return parts;
    start = end + 1;
  }
}

bool lettersOnly(std::u32string_view part, std::size_t min, std::size_t max) {
  return part.size() >= min && part.size() <= max &&
         std::all_of(part.begin(), part.end(), isLetter);
}

// Whether `text` starts with `prefix` (lower-case ASCII) without regard to ASCII case.
bool startsWithFolded(std::u32string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const char32_t c = text[i] >= 'A' && text[i] <= 'Z' ? text[i] - 'A' + 'a' : text[i];
    if (c != char32_t(prefix[i])) return false;
  }
  return true;
}

constexpr const char* kNotUtf8 = "is not UTF-8 text";

}  // namespace

std::string packageIdentifierProblem(std::string_view id) {
  const std::optional<std::u32string> text = utf8Characters(id);
  if (!text) return kNotUtf8;
  if (utf16Length(*text) > kMaxIdentifierLength)
    return tooLong(utf16Length(*text), kMaxIdentifierLength);
  const std::vector<std::u32string_view> parts = split(*text, U'.');
  if (parts.size() < kMinIdentifierParts)
    return "has one part; winget takes 2 to 8 parts joined by dots, such as Publisher.App";
  if (parts.size() > kMaxIdentifierParts)
    return "has " + std::to_string(parts.size()) + " parts; winget takes at most 8";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::u32string_view part = parts[i];
    const std::string which = "part " + std::to_string(i + 1);
    if (part.empty()) return "has an empty " + which + " (two dots together, or one at an end)";
    if (utf16Length(part) > kMaxIdentifierPartLength)
      return "has a " + which + " of " + std::to_string(utf16Length(part)) +
             " characters; winget takes at most 32";
    if (std::any_of(part.begin(), part.end(), isWhiteSpace)) return "holds white space";
    if (std::string why = excludedCharacter(part); !why.empty()) return why;
  }
  return "";
}

std::string packageVersionProblem(std::string_view version) {
  const std::optional<std::u32string> text = utf8Characters(version);
  if (!text) return kNotUtf8;
  if (text->empty()) return "is empty";
  if (utf16Length(*text) > kMaxVersionLength) return tooLong(utf16Length(*text), kMaxVersionLength);
  return excludedCharacter(*text);
}

std::string localeProblem(std::string_view locale) {
  const std::optional<std::u32string> text = utf8Characters(locale);
  if (!text) return kNotUtf8;
  if (text->size() > kMaxLocaleLength) return tooLong(text->size(), kMaxLocaleLength);
  const std::vector<std::u32string_view> parts = split(*text, U'-');
  const std::u32string_view first = parts[0];
  std::size_t subtags = 1;  // the parts after the language, each of 1 to 8 letters
  bool language = lettersOnly(first, 2, 3);
  if (!language && parts.size() > 1 && (first == U"i" || first == U"I")) {
    language = lettersOnly(parts[1], 1, kMaxLocaleLength);
    subtags = 2;
  } else if (!language && parts.size() > 1 && (first == U"x" || first == U"X")) {
    language = lettersOnly(parts[1], 1, 8);
    subtags = 2;
  }
  const bool rest =
      std::all_of(parts.begin() + std::ptrdiff_t(std::min(subtags, parts.size())), parts.end(),
                  [](std::u32string_view p) { return lettersOnly(p, 1, 8); });
  if (!language || !rest)
    return "is not a locale as winget writes one: a language of 2 or 3 letters and parts of 1 "
           "to 8 letters, joined by '-', such as en-US";
  return "";
}

std::string installerUrlProblem(std::string_view url) {
  const std::optional<std::u32string> text = utf8Characters(url);
  if (!text) return kNotUtf8;
  if (utf16Length(*text) > kMaxUrlLength) return tooLong(utf16Length(*text), kMaxUrlLength);
  const std::size_t rest = startsWithFolded(*text, "https://")  ? 8
                           : startsWithFolded(*text, "http://") ? 7
                                                                : 0;
  if (rest == 0) return "does not start with https:// or http://";
  if (text->size() == rest) return "names nothing after the scheme";
  // ECMAScript's '.' matches anything but a line terminator.
  if (std::any_of(text->begin(), text->end(),
                  [](char32_t c) { return c == '\n' || c == '\r' || c == 0x2028 || c == 0x2029; }))
    return "holds a line break";
  return "";
}

std::string lengthProblem(std::string_view text, TextLimits limits) {
  const std::optional<std::u32string> characters = utf8Characters(text);
  if (!characters) return kNotUtf8;
  if (characters->size() < limits.min)
    return "is " + std::to_string(characters->size()) + " characters long; winget needs at least " +
           std::to_string(limits.min);
  if (utf16Length(*characters) > limits.max) return tooLong(utf16Length(*characters), limits.max);
  return "";
}

}  // namespace zorv
