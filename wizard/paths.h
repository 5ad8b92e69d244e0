// Paths of the setup program itself and of the proposed destination, in the system's ANSI
// backslash form. Pure text work: the callers make the system calls.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zorv {

// The directory of the running program, with its trailing backslash, from the module's full
// path: everything up to and including the last backslash. None when the path holds no
// backslash or the directory would not fit an ANSI path.
std::optional<std::string> setupDirFromModulePath(std::string_view modulePath);

// The fallback when the module path is unusable: the current directory and one backslash.
std::string setupDirFromCurrentDirectory(std::string_view currentDir);

// The working directory for a setup directory: its text without the trailing backslash, so that
// a drive root gives the bare designator ("D:").
std::string workingDirectoryOf(std::string_view setupDir);

// The nearest enclosing folder that a free-space query can try next: "D:\Apps\Tool" gives
// "D:\Apps", "D:\Apps" gives "D:\", "\\server\share\dir" gives "\\server\share\". None once
// there is nothing left to strip (a drive root, a share root, a bare name).
std::optional<std::string> parentFolder(std::string_view path);

}  // namespace zorv
