// What a setup does for a package that carries the release entry (kTagRelease): exit codes that
// tell how it ended, and the install without the page that "/S" asks for. A package without
// the entry takes no arguments and always ends with 0.
#pragma once

#include <optional>
#include <string>

#include "install/install.h"
#include "install/setup_state.h"
#include "platform/platform.h"

namespace zorv {

// The exit codes, as package managers expect them.
inline constexpr int kExitInstalled = 0;  // also when the program was started after it
inline constexpr int kExitCancelled = 1;  // by the user, before anything was written
inline constexpr int kExitFailed = 2;     // any failure ending
inline constexpr int kExitFileInUse = 3;  // a file in use could not be replaced
inline constexpr int kExitNoSpace = 4;    // the volume has less free space than needed

// The exit code of a run that ended so.
int exitCodeOf(const RunOutcome& outcome);

// The whole install without the page: into `destination` ("/D=", when not empty), the folder
// of an earlier install (previousInstallFolder) or the application folder below
// `defaultParent`, with the page's options but for the program to
// run after it, which is not started. The free space is checked before anything is written.
// `view` shows nothing, and neither may the platform's message boxes. The exit code.
int runUnattendedInstall(SetupState& state, const Platform& platform, RunView& view,
                         const std::string& destination, const std::string& defaultParent);

// The folder of this application's earlier install, which an upgrade proposes: the
// "InstallLocation" of its entry in the list of installed programs (the machine's, else the
// user's), when the UnInstall.log there begins with this application's "Name" line.
std::optional<std::string> previousInstallFolder(const Platform& platform,
                                                 std::string_view appName);

// A view for a run without a page: it shows nothing.
class SilentRunView final : public RunView {
 public:
  void showControl(int id, bool show) override;
  void setControlText(int id, std::string_view text) override;
  void setProgressRange(std::uint32_t high) override;
  void setProgressPos(std::uint32_t pos) override;
  void showStageBitmap(int stage) override;
  void closeSetup() override;
};

}  // namespace zorv
