#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "install/install.h"
#include "package/byte_writer.h"
#include "texts/texts.h"

namespace zorv {

std::string logLineText(std::uint32_t tag, std::string_view value) {
  // The uninstaller reads the log line by line: one line per call, whatever the package holds.
  std::string line(4, '\0');
  storeLE32(reinterpret_cast<std::uint8_t*>(line.data()), tag);
  line += ' ';
  for (char c : value) line += (c == '\r' || c == '\n') ? ' ' : c;
  line += '\n';
  return line;
}

namespace {

bool writePending(InstallRun& run) {
  std::string& pending = run.logPending;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(pending.data());
  const bool ok = pending.empty() ||
                  run.platform.files.writeFile(run.state.uninstallLog, {bytes, pending.size()});
  pending.clear();
  run.logWritten = true;
  return ok;
}

bool logNotCreated(InstallRun& run) {
  run.failure = Text::LogNotCreated;
  run.platform.dialogs.messageBox(
      run.logPath + std::string(text(Text::LogNotCreated, run.state.language)), run.state.appName);
  return false;
}

// Reads the destination's earlier log into run.earlierLog and picks the lines to carry over;
// false when there is no log of this application there (missing, unreadable, damaged or
// another application's).
bool carryEarlierLog(InstallRun& run) {
  if (!run.state.release) return false;
  std::optional<std::string> bytes =
      run.platform.files.readFileStart(run.logPath, kMaxLogBytes + 1);
  if (!bytes) return false;
  run.earlierLog = std::move(*bytes);
  // The user's folders and all users', as the uninstaller has them: an earlier version may
  // have been installed for either.
  Shell& shell = run.platform.shell;
  std::string groups[2], desktops[2];
  for (int i = 0; i < 2; ++i) {
    groups[i] = shell.specialFolder(i ? SpecialFolder::CommonPrograms : SpecialFolder::Programs)
                    .value_or("");
    desktops[i] = shell
                      .specialFolder(i ? SpecialFolder::CommonDesktopDirectory
                                       : SpecialFolder::DesktopDirectory)
                      .value_or("");
  }
  std::optional<std::vector<std::string_view>> lines = carriedLogLines(
      run.earlierLog, run.state.appName, run.state.destinationDir, groups, desktops);
  if (!lines) return false;
  run.carriedLines = std::move(*lines);
  return true;
}

// The new log written whole beside the earlier one, then put in its place and opened for the
// run's own lines.
bool replaceEarlierLog(InstallRun& run) {
  std::string newPath = run.logPath;
  newPath.replace(newPath.size() - 3, 3, "new");
  Files& files = run.platform.files;
  files.deleteFile(newPath);
  run.state.uninstallLog = files.openOutputFile(newPath);
  if (run.state.uninstallLog == kNoFile) return logNotCreated(run);
  run.logPending = logLineText(kTagLogName, "Remove " + run.state.appName) +
                   logLineText(kTagLogWork, run.state.destinationDir);
  for (std::string_view line : run.carriedLines) (run.logPending += line) += '\n';
  const bool written = writePending(run);
  files.closeFile(run.state.uninstallLog);
  run.state.uninstallLog = kNoFile;
  if (!written || !files.replaceFile(newPath, run.logPath)) {
    files.deleteFile(newPath);
    return logNotCreated(run);
  }
  run.state.uninstallLog = files.openAppendFile(run.logPath);
  return run.state.uninstallLog != kNoFile || logNotCreated(run);
}

}  // namespace

bool beginUninstallLog(InstallRun& run) {
  // Appended as it stands: a destination that ends in "\" gives two backslashes in a row.
  run.logPath = run.state.destinationDir + "\\UnInstall.log";
  run.state.uninstallLog = kNoFile;
  if (run.logPath.size() > kMaxPathChars) return logNotCreated(run);
  if (carryEarlierLog(run)) return replaceEarlierLog(run);
  // A log of an earlier install is replaced, never extended.
  run.platform.files.deleteFile(run.logPath);
  run.state.uninstallLog = run.platform.files.openOutputFile(run.logPath);
  if (run.state.uninstallLog == kNoFile) return logNotCreated(run);
  return logLine(run, kTagLogName, "Remove " + run.state.appName) &&
         logLine(run, kTagLogWork, run.state.destinationDir);
}

bool flushUninstallLog(InstallRun& run) { return writePending(run) || logNotCreated(run); }

bool logLine(InstallRun& run, std::uint32_t tag, std::string_view value) {
  std::string line = logLineText(tag, value);
  if (hasLine(run.carriedLines, std::string_view(line).substr(0, line.size() - 1))) return true;
  run.logPending += line;
  if (run.logWritten && run.logPending.size() < kLogBufferBytes) return true;
  return flushUninstallLog(run);
}

void closeUninstallLog(InstallRun& run) {
  if (run.state.uninstallLog == kNoFile) return;
  writePending(run);
  run.platform.files.closeFile(run.state.uninstallLog);
  run.state.uninstallLog = kNoFile;
}

}  // namespace zorv
