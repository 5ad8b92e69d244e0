#include "log/uninstall_log_file.h"

#include <string_view>

#include "package/format.h"

namespace zorv {

std::string_view logAppName(std::string_view nameValue) {
  constexpr std::string_view kRemove = "Remove ";
  if (nameValue.starts_with(kRemove)) nameValue.remove_prefix(kRemove.size());
  return nameValue;
}

std::optional<UninstallLog> parseUninstallLog(std::span<const std::uint8_t> bytes,
                                              std::string* why) {
  UninstallLog log;
  bool haveName = false, haveWork = false;
  std::string twice;
  const LogWalk walk = forEachLogLine(bytes, [&](std::uint32_t tag, std::string_view value) {
    if (tag == kTagLogName) {
      if (haveName) twice = "Name";
      haveName = true;
      log.appName = logAppName(value);
    } else if (tag == kTagLogWork) {
      if (haveWork) twice = "Work";
      haveWork = true;
      log.work = value;
    } else if (tag == kTagDeleteFile) {
      log.files.emplace_back(value);
    } else if (tag == kTagDeleteDir) {
      log.folders.emplace_back(value);
    } else if (tag == kTagLogDeleteEmpty) {
      log.emptyFolders.emplace_back(value);
    } else if (tag == kTagLogDeleteKey) {
      log.keys.emplace_back(value);
    } else {
      ++log.unknownLines;
    }
    return twice.empty();
  });
  std::string reason;
  if (walk.damage == LogDamage::TooLarge)
    reason = "the log is larger than any setup writes";
  else if (walk.damage == LogDamage::TooManyLines)
    reason = "the log has more lines than any setup writes";
  else if (walk.damage == LogDamage::Nul)
    reason = "line " + std::to_string(walk.line) + " holds a NUL";
  else if (!twice.empty())
    reason = "the log has two \"" + twice + "\" lines";
  else if (!haveName)
    reason = "the log has no \"Name\" line";
  else if (!haveWork)
    reason = "the log has no \"Work\" line";
  if (reason.empty()) return log;
  if (why) *why = std::move(reason);
  return std::nullopt;
}

}  // namespace zorv
