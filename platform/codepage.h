// The manifest and the file names on the build machine are UTF-8; the setup reads single-byte
// ANSI texts in the code page of the machine it runs on. The builder converts every text once,
// at the manifest, to the code page that the manifest names; the POSIX platform and the tools
// convert package texts back to UTF-8, the file names of this side.
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

// ANSI bytes as the system widens them for a UTF-8 (or UTF-16) file system: each assigned byte
// to its character, and each byte that the code page leaves unassigned (0x81 in 1252, 0x98 in
// 1251) to the C1 control of the same number, so that no two names become one and
// systemAnsi gives the bytes back.
std::string systemUtf8(std::string_view ansi, int codePage);
std::u16string systemUtf16(std::string_view ansi, int codePage);
// The ANSI bytes of a UTF-8 text from the system, the reverse of systemUtf8. None when the text
// is not UTF-8 or holds a character that the code page lacks: the system would make '?' of it,
// and a name that is not the file's must never reach a file operation.
std::optional<std::string> systemAnsi(std::string_view utf8, int codePage);

// The length of the well-formed UTF-8 sequence at the start of `text`; 0 when there is none.
std::size_t utf8SequenceLength(std::string_view text);
// The characters of a UTF-8 text; none when it is not well-formed UTF-8 (an overlong form, a
// surrogate or a cut sequence).
std::optional<std::u32string> utf8Characters(std::string_view text);

// Whether two texts name the same registry key or value, compared as the system's registry
// compares: without regard to the case of the letters of both code pages. A valid UTF-8
// sequence counts as its character and any other byte as a character of code page 1251, so a
// registry holding UTF-8 and one holding 1251 bytes compare as each did before.
bool equalsIgnoreCaseText(std::string_view a, std::string_view b);

// The capital of an ANSI letter as Windows compares file and link names written in the code
// page: every letter whose capital the code page also holds (é and É, я and Я, ÿ and Ÿ); other
// bytes, ß and µ among them, stand for themselves.
std::uint8_t upperAnsi(std::uint8_t byte, int codePage);

}  // namespace zorv
