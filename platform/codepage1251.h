// Code page 1251, the ANSI code page of the Russian texts. The setup passes its texts through
// unchanged; only the places that must see characters (case-insensitive registry names, the
// UTF-16 strings of a shell link) decode them, the way the system would with CP_ACP = 1251.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zorv {

// The UTF-16 unit of one byte. The one byte that code page 1251 leaves undefined (0x98) maps to
// the C1 control of the same number, as the system's conversion does.
char16_t cp1251ToUtf16(std::uint8_t byte);
std::u16string widenCp1251(std::string_view text);

// The upper-case form of a byte: ASCII letters and the Cyrillic letters of the code page.
std::uint8_t upperCp1251(std::uint8_t byte);
bool equalsIgnoreCaseCp1251(std::string_view a, std::string_view b);

}  // namespace zorv
