// Package texts as JSON strings.
#pragma once

#include <string>
#include <string_view>

namespace zorv {

// `s` quoted and escaped for JSON. Package texts are ANSI text (code page 1251 in Russian
// packages) and JSON wants UTF-8: Cyrillic letters map to their Unicode letters, other high
// bytes and every control character to \u00XX.
std::string jsonString(std::string_view s);

}  // namespace zorv
