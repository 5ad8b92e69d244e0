// The manifest and the file names on the build machine are UTF-8; the setup reads single-byte
// ANSI texts in the code page of the machine it runs on. The builder converts every text once,
// at the manifest, to the code page that the manifest names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorv {

// The code pages a package can be written for: Western European and Cyrillic.
inline constexpr int kCodePageWestern = 1252;
inline constexpr int kCodePageCyrillic = 1251;

bool isSupportedCodePage(int codePage);

// The ANSI bytes of a UTF-8 text. None when the text is not valid UTF-8 or holds a character
// that the code page lacks; *bad then names the first such character for the message.
std::optional<std::string> utf8ToAnsi(std::string_view utf8, int codePage, std::string* bad);

// The UTF-8 form of ANSI bytes, for messages.
std::string ansiToUtf8(std::string_view ansi, int codePage);

// The capital of an ANSI letter as Windows compares file and link names written in the code
// page: every letter whose capital the code page also holds (é and É, я and Я, ÿ and Ÿ); other
// bytes, ß and µ among them, stand for themselves.
std::uint8_t upperAnsi(std::uint8_t byte, int codePage);

}  // namespace zorv
