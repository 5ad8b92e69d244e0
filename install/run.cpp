#include <optional>
#include <string>

#include "install/install.h"
#include "package/held_entry.h"
#include "texts/texts.h"

namespace zorv {

namespace {

// The controls of the choosing page, hidden in this order when the run starts.
constexpr int kChoosingControls[] = {
    control::kDestination,      control::kBrowse,
    control::kPlaceIcons,       control::kPicturePic,
    control::kRunAfterInstall,  control::kFreeFigure,
    control::kNeedFigure,       control::kNext,
    control::kCancel,           control::kFreeLabel,
    control::kNeedLabel,        control::kSpaceFrame,
    control::kDestinationFrame, control::kLanguageLabel,
    control::kLanguageList,
};

void showProgressPage(InstallRun& run) {
  for (int id : kChoosingControls) run.view.showControl(id, false);
  run.view.showStageBitmap(0);
  run.view.showControl(control::kProgress, true);
  run.view.showControl(control::kStatusLine, true);
  run.view.showControl(control::kFileNameLine, true);
  run.view.setControlText(control::kStatusLine, text(Text::CopyFiles, run.state.language));
}

// The package's clean-up instructions for the uninstaller: every "DelD" line before every
// "DelF" line. Entries that cannot be read or that climb out of the destination are skipped.
bool writeCleanupLines(InstallRun& run) {
  Package& package = *run.state.package;
  for (std::uint32_t tag : {kTagDeleteDir, kTagDeleteFile}) {
    const bool ok = forEachEntry(package, tag, 0, -1, [&](std::int32_t i) {
      const HeldEntry held(package, i);
      std::optional<std::string_view> name;
      if (held.body()) name = parseNameRecord(*held.body());
      if (!name || escapesDirectory(*name)) return true;
      return logLine(run, tag, joinPath(run.state.destinationDir, *name));
    });
    if (!ok) return false;
  }
  return true;
}

// Starts the first "RunS" program in the destination directory when the option is on; true
// when it started. A program that cannot be started is passed over without a word.
bool startInstalledProgram(InstallRun& run) {
  if (!run.state.runAfterInstall) return false;
  const std::int32_t i = run.state.package->findByTag(kTagRunProgram, 0, -1);
  if (i < 0) return false;
  std::string program;
  {
    const HeldEntry held(*run.state.package, i);
    std::optional<std::string_view> name;
    if (held.body()) name = parseNameRecord(*held.body());
    if (!name) return false;
    program = *name;  // copied before the entry goes back
  }
  if (program.size() > kMaxPathChars) return false;
  run.platform.process.setCurrentDirectory(run.state.destinationDir);
  return run.platform.process.startProcess(program, program);
}

void showCompletion(InstallRun& run) {
  run.view.showControl(control::kProgress, false);
  run.view.showControl(control::kStatusLine, false);
  run.view.setControlText(control::kFileNameLine, text(Text::InstallComplete, run.state.language));
  run.view.setControlText(control::kCancel, text(Text::Ok, run.state.language));
  run.view.showControl(control::kCancel, true);
}

}  // namespace

RunOutcome runInstall(SetupState& state, const Platform& platform, RunView& view,
                      std::uint32_t walkBudget) {
  InstallRun run{state, platform, view};
  run.walk = PackageWalk(walkBudget);
  showProgressPage(run);
  if (!state.package) {
    view.closeSetup();
    return {};
  }
  // Each step shows its own message when it fails; the run then ends at once.
  bool ok = beginUninstallLog(run);
  if (ok) {
    view.setProgressRange(state.requiredBytes);
    ok = extractFiles(run) && extractDirectories(run);
  }
  if (ok) {
    view.showStageBitmap(1);
    ok = createShortcuts(run) && writeRegistryValues(run);
  }
  if (ok) {
    writeApplicationLanguage(run);
    ok = registerUninstaller(run) && writeCleanupLines(run) && flushUninstallLog(run);
  }
  closeUninstallLog(run);
  // No rollback: whatever was made stays.
  if (!ok) {
    view.closeSetup();
    return {RunEnding::Failed, run.failure};
  }
  // A started program ends the setup without the completion state.
  if (startInstalledProgram(run)) {
    view.closeSetup();
    return {RunEnding::ProgramStarted, {}};
  }
  showCompletion(run);
  return {RunEnding::Completed, {}};
}

}  // namespace zorv
