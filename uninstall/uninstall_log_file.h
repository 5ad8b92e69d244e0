// Reading UnInstall.log: the lines that the setup wrote, one per line feed, each a four-letter
// code, a blank and a value. A log is a file that anyone could edit, so it is read as untrusted
// bytes: its size and its number of lines are bounded, and every value is checked again by the
// uninstall's own rules (uninstall_paths.h) before anything is acted on.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zorv {

inline constexpr std::size_t kMaxLogBytes = 16u << 20;
inline constexpr std::size_t kMaxLogLines = 1'000'000;

struct UninstallLog {
  std::string appName;  // the "Name" line without its "Remove " prefix
  std::string work;     // the "Work" line: the folder the application was installed to
  std::vector<std::string> files;    // "DelF": files or patterns (wildcards in the last part)
  std::vector<std::string> folders;  // "DelD"
  std::vector<std::string> emptyFolders;  // "DelE": removed only once nothing is left in them
  std::vector<std::string> keys;     // "DelK": a root abbreviation, a blank, a key path
  std::size_t unknownLines = 0;      // lines of any other kind, skipped
};

// Parses the log. None, with the reason in `why`, when it is larger than kMaxLogBytes, holds a
// NUL, has more than kMaxLogLines lines, lacks a "Name" or a "Work" line, or has either twice.
// A last line without its line feed counts; a CR before a line feed is dropped.
std::optional<UninstallLog> parseUninstallLog(std::span<const std::uint8_t> bytes,
                                              std::string* why);

}  // namespace zorv
