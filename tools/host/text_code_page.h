// The code page that the zorv commands read package texts in, and the line that tells
// `zorv uninstall` which one `zorv install` used.
//
// The engine keeps every text in the package's code page, as the setup does, and so writes
// UnInstall.log in it, byte for byte the log the setup would write. `zorv install` adds one line
// of its own, "CPag 1251", which the uninstaller skips as it skips every line it does not know;
// `zorv uninstall` reads it to find the log's files under their UTF-8 names. A log without the
// line was written by an earlier zorv, which named the files with the log's bytes as they are.
#pragma once

#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "package/package.h"
#include "tools/host/host_system.h"

namespace zorv {

// --codepage N: the code page to read a package's texts in, 1252 or 1251; 0 for the package's own
// (its "CPag" entry, else 1252).
using CodePageChoice = int;

// `choice` when given, else the package's own code page. A reason for the user when the package's
// entry cannot be read or names a code page the tools do not know.
std::expected<int, std::string> textCodePage(Package& package, CodePageChoice choice);

// A folder of this system as the engine names it, in the code page the host converts from; the
// setup could not name a folder with a character its code page lacks either. None, with a
// reason for the user in that case.
std::expected<std::string, std::string> engineFolder(const HostSystem& host,
                                                     const std::string& folder, int codePage);

// The log line that names the code page, with its line feed.
std::string codePageLogLine(int codePage);
// The code page that a log's first "CPag" line names; none when no line names 1252 or 1251.
std::optional<int> logCodePage(std::string_view log);

}  // namespace zorv
