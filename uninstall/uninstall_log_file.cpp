#include "uninstall/uninstall_log_file.h"

#include <string_view>

#include "package/byte_cursor.h"
#include "package/format.h"

namespace zorv {

std::optional<UninstallLog> parseUninstallLog(std::span<const std::uint8_t> bytes,
                                              std::string* why) {
  auto fail = [&](std::string reason) -> std::optional<UninstallLog> {
    if (why) *why = std::move(reason);
    return std::nullopt;
  };
  if (bytes.size() > kMaxLogBytes) return fail("the log is larger than any setup writes");
  UninstallLog log;
  bool haveName = false, haveWork = false;
  std::size_t lines = 0;
  ByteCursor c(bytes);
  while (c.remaining() > 0) {
    if (++lines > kMaxLogLines) return fail("the log has more lines than any setup writes");
    // One line: up to its line feed, or to the end of the file.
    std::size_t length = 0;
    while (length < c.remaining() && bytes[c.position() + length] != '\n') ++length;
    const auto raw = c.bytes(length);
    c.skip(c.remaining() > 0 ? 1 : 0);
    std::string_view line(reinterpret_cast<const char*>(raw.data()), raw.size());
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find('\0') != std::string_view::npos)
      return fail("line " + std::to_string(lines) + " holds a NUL");
    if (line.empty()) continue;
    if (line.size() < 5 || line[4] != ' ') {
      ++log.unknownLines;
      continue;
    }
    const std::uint32_t tag = loadLE32(raw.data());
    std::string value(line.substr(5));
    if (tag == kTagLogName) {
      if (haveName) return fail("the log has two \"Name\" lines");
      haveName = true;
      constexpr std::string_view kRemove = "Remove ";
      log.appName = value.starts_with(kRemove) ? value.substr(kRemove.size()) : value;
    } else if (tag == kTagLogWork) {
      if (haveWork) return fail("the log has two \"Work\" lines");
      haveWork = true;
      log.work = std::move(value);
    } else if (tag == kTagDeleteFile) {
      log.files.push_back(std::move(value));
    } else if (tag == kTagDeleteDir) {
      log.folders.push_back(std::move(value));
    } else if (tag == kTagLogDeleteEmpty) {
      log.emptyFolders.push_back(std::move(value));
    } else if (tag == kTagLogDeleteKey) {
      log.keys.push_back(std::move(value));
    } else {
      ++log.unknownLines;
    }
  }
  if (!haveName) return fail("the log has no \"Name\" line");
  if (!haveWork) return fail("the log has no \"Work\" line");
  return log;
}

}  // namespace zorv
