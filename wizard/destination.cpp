#include "wizard/destination.h"

#include "texts/texts.h"

namespace zorv {

std::string defaultParentFolder(const std::optional<std::string>& packageFolder,
                                const std::optional<std::string>& systemFolder) {
  if (packageFolder) return *packageFolder;
  if (systemFolder) return *systemFolder;
  return std::string(kLastResortFolder);
}

std::optional<std::string> systemParentFolder(const SetupState& state, Shell& shell) {
  if (!state.release) return shell.specialFolder(SpecialFolder::AppData);
  if (!state.userScope) return shell.specialFolder(SpecialFolder::ProgramFiles);
  std::optional<std::string> local = shell.specialFolder(SpecialFolder::LocalAppData);
  if (local) *local = appendAppFolder(*local, "Programs");
  return local;
}

std::string appendAppFolder(std::string_view parent, std::string_view appName) {
  std::string out(parent);
  if (out.empty() || out.back() != '\\') out += '\\';
  out += appName;
  return out;
}

std::string absoluteDestination(std::string_view destination, std::string_view setupDir) {
  if (destination.find(':') != std::string_view::npos) return std::string(destination);
  if (destination.empty()) {
    if (setupDir.empty()) return {};
    return std::string(setupDir.substr(0, setupDir.size() - 1));
  }
  std::string out(setupDir);
  out += destination;
  return out;
}

bool composeInstallDestination(SetupState& state, Dialogs& dialogs) {
  state.destinationDir = absoluteDestination(state.destinationDir, state.setupDir);
  if (state.destinationDir.size() <= kMaxPathChars) return true;
  std::string message = state.destinationDir;
  message += text(Text::DirectoryError, state.language);
  dialogs.messageBox(message, text(Text::DirectoryCaption, state.language));
  return false;
}

}  // namespace zorv
