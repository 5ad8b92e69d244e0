// The process-wide state of one setup, in the parts that the install engine and the portable
// wizard code share. The Win32 page keeps its window and bitmap handles beside it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "package/package.h"
#include "platform/platform.h"

namespace zorv {

struct SetupState {
  std::string setupDir;        // the setup program's directory, always ending in a backslash
  int language = 0;            // 0 English, 1 Russian
  std::unique_ptr<Package> package;
  std::string appName;         // at most 79 characters
  std::uint32_t requiredBytes = 0;
  std::string destinationDir;  // absolute once Next has been pressed
  bool placeIconsOnDesktop = true;
  bool runAfterInstall = true;
  // The package carries the release entry (kTagRelease): the run logs every file and folder it
  // makes inside a packed folder on its own line ("DelF", "DelE") instead of the whole folder
  // ("DelD"), so that an uninstall keeps what the user put there.
  bool release = false;
  // A release installed for the user alone (kReleaseUserScope): the user's folders and keys,
  // nothing that needs an administrator. A release without it is installed for the machine.
  bool userScope = false;
  std::string browseTitle;     // at most 79 characters
  FileHandle uninstallLog = kNoFile;  // open only during the run
};

// The folders where the run puts the program group and the desktop links: the user's for a
// plain package and for a release installed for the user, all users' for one installed for
// the machine.
inline SpecialFolder programsFolderOf(const SetupState& s) {
  return s.release && !s.userScope ? SpecialFolder::CommonPrograms : SpecialFolder::Programs;
}
inline SpecialFolder desktopFolderOf(const SetupState& s) {
  return s.release && !s.userScope ? SpecialFolder::CommonDesktopDirectory
                                   : SpecialFolder::DesktopDirectory;
}

// Ids of the wizard page's controls.
namespace control {
inline constexpr int kDestination = 1000, kBrowse = 1001, kPlaceIcons = 1002,
                     kRunAfterInstall = 1003, kFreeFigure = 1004, kNeedFigure = 1005,
                     kNext = 1006, kCancel = 1007, kPictureTitle = 1008, kPicturePic = 1009,
                     kPictureZorv = 1010, kNoSpaceWarning = 1011, kProgress = 1012,
                     kStatusLine = 1013, kFileNameLine = 1014, kLanguageList = 1015,
                     kFreeLabel = 1020, kNeedLabel = 1021, kSpaceFrame = 1022,
                     kDestinationFrame = 1023, kLanguageLabel = 1024;
}

}  // namespace zorv
