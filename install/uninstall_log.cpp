#include <string>

#include "install/install.h"
#include "package/byte_cursor.h"
#include "texts/texts.h"

namespace zorv {

bool openUninstallLog(InstallRun& run) {
  // Appended as it stands: a destination that ends in "\" gives two backslashes in a row.
  run.logPath = run.state.destinationDir + "\\UnInstall.log";
  run.state.uninstallLog = kNoFile;
  if (run.logPath.size() > kMaxPathChars) return false;
  // A log of an earlier install is replaced, never extended.
  run.platform.deleteFile(run.logPath);
  run.state.uninstallLog = run.platform.openOutputFile(run.logPath);
  return run.state.uninstallLog != kNoFile;
}

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
  const bool ok =
      pending.empty() || run.platform.writeFile(run.state.uninstallLog, {bytes, pending.size()});
  pending.clear();
  run.logWritten = true;
  return ok;
}

}  // namespace

bool flushUninstallLog(InstallRun& run) {
  if (writePending(run)) return true;
  run.failure = Text::LogNotCreated;
  run.platform.messageBox(run.logPath + std::string(text(Text::LogNotCreated, run.state.language)),
                          run.state.appName);
  return false;
}

bool logLine(InstallRun& run, std::uint32_t tag, std::string_view value) {
  run.logPending += logLineText(tag, value);
  if (run.logWritten && run.logPending.size() < kLogBufferBytes) return true;
  return flushUninstallLog(run);
}

void closeUninstallLog(InstallRun& run) {
  if (run.state.uninstallLog == kNoFile) return;
  writePending(run);
  run.platform.closeFile(run.state.uninstallLog);
  run.state.uninstallLog = kNoFile;
}

}  // namespace zorv
