// Package texts as JSON strings.
#pragma once

#include <string>
#include <string_view>

namespace zorv {

// `s`, UTF-8 text, quoted and escaped for JSON in ASCII: every character past ASCII and every
// control character as \uXXXX (a surrogate pair beyond U+FFFF). A byte that begins no UTF-8
// sequence stands for the character of its number, U+0080..U+00FF. Package texts are converted
// from their code page first (systemUtf8).
std::string jsonString(std::string_view s);

}  // namespace zorv
