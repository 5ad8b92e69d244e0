// The interface language stored by earlier runs: "en" or "ru" in value "Language" of
// HKEY_LOCAL_MACHINE "SoftWare\Zantrel\Installer".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace zorv {

inline constexpr std::string_view kLanguageKeyRead = "SOFTWARE\\Zantrel\\Installer";
inline constexpr std::string_view kLanguageKeyWrite = "SoftWare\\Zantrel\\Installer";
inline constexpr std::string_view kLanguageValue = "Language";

// The stored code of a language: "ru" for Russian, "en" for anything else.
std::string_view languageCode(int language);

struct StoredLanguage {
  int language = 0;
  bool rewrite = false;  // nothing usable was stored: store the language now
};

// "en" or "ru" in any mix of cases select their language; a missing value or any other text
// selects English and asks for "en" to be stored.
StoredLanguage interpretStoredLanguage(const std::optional<std::string>& stored);

// The stored language, storing "en" when nothing usable was there. The setup and the
// uninstaller both speak it.
int readLanguage(Registry& registry);
// Stores `language`; failures are silent and the choice then lasts for this run only.
void writeLanguage(int language, Registry& registry);

}  // namespace zorv
