// Reading UnInstall.log: the lines that the setup wrote, one per line feed, each a four-letter
// code, a blank and a value. A log is a file that anyone could edit, so it is read as untrusted
// bytes: its size and its number of lines are bounded, and every value is checked again by the
// uninstall's own rules (uninstall_paths.h) before anything is acted on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "package/byte_cursor.h"

namespace zorv {

inline constexpr std::size_t kMaxLogBytes = 16u << 20;
inline constexpr std::size_t kMaxLogLines = 1'000'000;

// Why a log cannot be read at all, and at which line (counting from 1).
enum class LogDamage { None, TooLarge, TooManyLines, Nul };
struct LogWalk {
  LogDamage damage = LogDamage::None;
  std::size_t line = 0;
};

// Calls `each(tag, value)` for every line of the log in order; a line of fewer than five bytes or
// without a blank after its code comes with tag 0 and the whole line as its value. Empty lines are
// skipped, a last line without its line feed counts, a CR before a line feed is dropped. `each`
// returns false to stop the walk early. Stops with the damage at a log larger than kMaxLogBytes, at
// line kMaxLogLines + 1 and at a line that holds a NUL.
template <typename Each>
LogWalk forEachLogLine(std::span<const std::uint8_t> bytes, Each&& each) {
  if (bytes.size() > kMaxLogBytes) return {LogDamage::TooLarge, 0};
  std::size_t number = 0;
  ByteCursor c(bytes);
  while (c.remaining() > 0) {
    if (++number > kMaxLogLines) return {LogDamage::TooManyLines, number};
    // One line: up to its line feed, or to the end of the file.
    ByteCursor start = c;
    std::size_t length = 0;
    while (c.remaining() > 0 && c.u8() != '\n') ++length;
    const auto raw = start.bytes(length);
    std::string_view line(reinterpret_cast<const char*>(raw.data()), raw.size());
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find('\0') != std::string_view::npos) return {LogDamage::Nul, number};
    if (line.empty()) continue;
    const bool coded = line.size() >= 5 && line[4] == ' ';
    if (!each(coded ? loadLE32(raw.data()) : 0u, coded ? line.substr(5) : line)) break;
  }
  return {};
}

struct UninstallLog {
  std::string appName;               // the "Name" line without its "Remove " prefix
  std::string work;                  // the "Work" line: the folder the application was installed to
  std::vector<std::string> files;    // "DelF": files or patterns (wildcards in the last part)
  std::vector<std::string> folders;  // "DelD"
  std::vector<std::string> emptyFolders;  // "DelE": removed only once nothing is left in them
  std::vector<std::string> keys;          // "DelK": a root abbreviation, a blank, a key path
  std::size_t unknownLines = 0;           // lines of any other kind, skipped
};

// The application that a "Name" line's value names: without its "Remove " prefix.
std::string_view logAppName(std::string_view nameValue);

// Parses the log. None, with the reason in `why`, when forEachLogLine finds it damaged, or it
// lacks a "Name" or a "Work" line, or has either twice.
std::optional<UninstallLog> parseUninstallLog(std::span<const std::uint8_t> bytes,
                                              std::string* why);

}  // namespace zorv
