#include "wizard/unattended.h"

#include "wizard/destination.h"
#include "wizard/disk_space.h"

namespace zorv {

void SilentRunView::showControl(int, bool) {}
void SilentRunView::setControlText(int, std::string_view) {}
void SilentRunView::setProgressRange(std::uint32_t) {}
void SilentRunView::setProgressPos(std::uint32_t) {}
void SilentRunView::showStageBitmap(int) {}
void SilentRunView::closeSetup() {}

int exitCodeOf(const RunOutcome& outcome) {
  switch (outcome.ending) {
    case RunEnding::Completed:
    case RunEnding::ProgramStarted: return kExitInstalled;
    case RunEnding::Failed:
      return outcome.message == Text::FileInUsePrefix ? kExitFileInUse : kExitFailed;
  }
  return kExitFailed;
}

std::optional<std::string> previousInstallFolder(const Platform& platform,
                                                 std::string_view appName) {
  const std::string key = std::string(kUninstallKeyParent) + "\\" + std::string(appName);
  const std::string nameLine = logLineText(kTagLogName, "Remove " + std::string(appName));
  for (RegRoot root : {RegRoot::LocalMachine, RegRoot::CurrentUser}) {
    std::optional<std::string> folder = platform.registry.readString(root, key, "InstallLocation");
    if (!folder || folder->empty() || folder->size() > kMaxPathChars) continue;
    const std::optional<std::string> log = platform.files.readFileStart(
        *folder + "\\" + std::string(kUninstallLogName), nameLine.size());
    if (log == nameLine) return folder;
  }
  return std::nullopt;
}

int runUnattendedInstall(SetupState& state, const Platform& platform, RunView& view,
                         const std::string& destination, const std::string& defaultParent) {
  state.destinationDir = destination;
  if (state.destinationDir.empty())
    state.destinationDir = previousInstallFolder(platform, state.appName)
                               .value_or(appendAppFolder(defaultParent, state.appName));
  state.placeIconsOnDesktop = true;
  state.runAfterInstall = false;
  if (!composeInstallDestination(state, platform.dialogs)) return kExitFailed;
  // Compared as the page compares, so that "/S" installs exactly where the page shows Next.
  if (!diskSpaceView(queryFreeBytes(state.destinationDir, platform.folders), state.requiredBytes)
           .showNext)
    return kExitNoSpace;
  if (!createDirectoryPath(state.destinationDir, state.language, platform)) return kExitFailed;
  return exitCodeOf(runInstall(state, platform, view));
}

}  // namespace zorv
