// The limits that the setup's fixed buffers and record layouts put on a package's texts, and
// the checks of relative names. The builder refuses a manifest that breaks one; verify reports
// a package that does.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zorv {

// The application name lives in an 80-byte buffer.
inline constexpr std::size_t kMaxAppName = 79;
// Paths live in 260-byte buffers.
inline constexpr std::size_t kMaxPath = 259;
// A length byte that counts the NUL allows 254 characters; the "Copy" record's length byte
// counts only the characters and allows 255.
inline constexpr std::size_t kMaxRecordText = 254;
inline constexpr std::size_t kMaxCopyName = 255;

// The setup composes paths below folders that are only known on the user's machine: the
// application-data folder (the default parent when the package names none), the Start-menu
// programs folder and the desktop. Limits are checked with this many characters standing in
// for each of them, which covers the usual profile paths with room to spare.
inline constexpr std::size_t kAssumedShellFolder = 64;

// The length of the destination folder the setup proposes: the default parent (or the stand-in
// when there is none), a backslash unless the parent ends with one, and the application name.
std::size_t destinationLength(std::string_view defaultParent, bool hasDefaultParent,
                              std::string_view appName);

// Why the setup cannot propose `folder` as the default parent folder, or "". The setup takes
// the text as it stands: it expands no "%" variables, and a folder that is not absolute
// ("X:\..." or "\\server\share...") would be taken relative to the folder it was started in.
// The reason reads after the quoted folder ("holds ...", "is not ...").
std::string defaultParentProblem(std::string_view folder);

// Why a relative name (components separated by "\") cannot be used below the destination
// folder, or "" when it can. Refused: empty names and components, absolute names, drive
// letters, "." and "..", characters that Windows file names cannot hold, components ending in
// a blank or a dot, and device names such as CON or LPT1. With `wildcards`, "*" and "?" pass
// (clean-up file patterns).
std::string relativeNameProblem(std::string_view name, bool wildcards = false);

// Why a single folder or file name component (the application name, which becomes a folder)
// cannot be used, or "".
std::string componentProblem(std::string_view component, bool wildcards = false);

// The name with every "/" turned into "\", the separator the setup splits on.
std::string withBackslashes(std::string_view name);

// Case-insensitive key of an ANSI file or link name in the code page, as Windows compares
// them: README.TXT and Readme.txt, Été.txt and été.txt (1252), Файл.txt and файл.txt (1251)
// have one key.
std::string foldCase(std::string_view name, int codePage);

// The name with its ASCII letters in lower case, for keywords: device names, registry roots,
// value types.
std::string foldAscii(std::string_view name);

}  // namespace zorv
