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

int runUnattendedInstall(SetupState& state, Platform& platform, RunView& view,
                         const std::string& destination,
                         const std::string& defaultParent) {
  state.destinationDir =
      destination.empty() ? appendAppFolder(defaultParent, state.appName) : destination;
  state.placeIconsOnDesktop = true;
  state.runAfterInstall = false;
  if (!composeInstallDestination(state, platform)) return kExitFailed;
  // Compared as the page compares, so that "/S" installs exactly where the page shows Next.
  if (!diskSpaceView(queryFreeBytes(state.destinationDir, platform), state.requiredBytes).showNext)
    return kExitNoSpace;
  if (!createDirectoryPath(state.destinationDir, state.language, platform)) return kExitFailed;
  return exitCodeOf(runInstall(state, platform, view));
}

}  // namespace zorv
