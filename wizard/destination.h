// The destination directory: the proposed default, the application folder appended to a chosen
// parent, and the absolute form that Next installs into.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "install/setup_state.h"
#include "platform/platform.h"

namespace zorv {

inline constexpr std::string_view kLastResortFolder = "c:\\Program Files";

// The folder below which the application folder is proposed: the package's "DirD" text, else
// the system's folder (systemParentFolder), else "c:\Program Files".
std::string defaultParentFolder(const std::optional<std::string>& packageFolder,
                                const std::optional<std::string>& systemFolder);

// The system's folder below which a package without "DirD" proposes the application folder:
// the application-data folder for a plain package, the Program Files folder for a release
// installed for the machine, the user's local application-data folder followed by "Programs"
// for one installed for the user. None when the system has no such folder.
std::optional<std::string> systemParentFolder(const SetupState& state, Shell& shell);

// `parent`, one backslash unless it already ends in one, and `appName`. An empty parent also
// gets the backslash.
std::string appendAppFolder(std::string_view parent, std::string_view appName);

// A destination without a colon anywhere is taken relative to the setup directory (which ends
// in a backslash); an empty one is the setup directory itself, without its backslash.
std::string absoluteDestination(std::string_view destination, std::string_view setupDir);

// Next's first step: makes `state.destinationDir` absolute and refuses a result that an ANSI
// path cannot hold, with the same box that a failed directory creation shows. True when the
// directory may now be created.
bool composeInstallDestination(SetupState& state, Dialogs& dialogs);

}  // namespace zorv
