#include "texts/language.h"

#include "texts/texts.h"

namespace zorv {

namespace {

// Only the ASCII letters of "en" and "ru" are ever compared, so folding ASCII alone matches
// what the system's case-insensitive comparison does for them.
bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string_view languageCode(int language) { return language == kRussian ? "ru" : "en"; }

StoredLanguage interpretStoredLanguage(const std::optional<std::string>& stored) {
  if (stored && equalsIgnoringCase(*stored, "en")) return {kEnglish, false};
  if (stored && equalsIgnoringCase(*stored, "ru")) return {kRussian, false};
  return {kEnglish, true};
}

int readLanguage(Registry& registry) {
  auto stored = registry.readString(RegRoot::LocalMachine, kLanguageKeyRead, kLanguageValue);
  StoredLanguage result = interpretStoredLanguage(stored);
  if (result.rewrite) writeLanguage(result.language, registry);
  return result.language;
}

void writeLanguage(int language, Registry& registry) {
  KeyHandle key = registry.createKey(RegRoot::LocalMachine, kLanguageKeyWrite);
  if (key == kNoKey) return;
  registry.setString(key, kLanguageValue, languageCode(language));
  registry.closeKey(key);
}

}  // namespace zorv
