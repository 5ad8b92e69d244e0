// The process-wide state of one setup, in the parts that the install engine and the portable
// wizard code share. The Win32 page keeps its window and bitmap handles beside it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "install/page_controls.h"
#include "package/package.h"
#include "platform/platform.h"

namespace zorv {

class BlockReader;

struct SetupState {
  std::string setupDir;  // the setup program's directory, always ending in a backslash
  int language = 0;      // 0 English, 1 Russian
  std::unique_ptr<Package> package;
  // Where the run reads the files' blocks when not from `package` itself (block_reader.h);
  // only the native tools set it.
  BlockReader* blocks = nullptr;
  std::string appName;  // at most 79 characters
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
  std::string browseTitle;            // at most 79 characters
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

// Ids of the wizard page's controls, as C++ names them (install/page_controls.h).
namespace control {
inline constexpr int kDestination = IDC_DESTINATION, kBrowse = IDC_BROWSE,
                     kPlaceIcons = IDC_PLACE_ICONS, kRunAfterInstall = IDC_RUN_AFTER_INSTALL,
                     kFreeFigure = IDC_FREE_FIGURE, kNeedFigure = IDC_NEED_FIGURE, kNext = IDC_NEXT,
                     kCancel = IDC_CANCEL, kPictureTitle = IDC_PICTURE_TITLE,
                     kPicturePic = IDC_PICTURE_PIC, kPictureZorv = IDC_PICTURE_ZORV,
                     kNoSpaceWarning = IDC_NO_SPACE_WARNING, kProgress = IDC_PROGRESS,
                     kStatusLine = IDC_STATUS_LINE, kFileNameLine = IDC_FILE_NAME_LINE,
                     kLanguageList = IDC_LANGUAGE_LIST, kFreeLabel = IDC_FREE_LABEL,
                     kNeedLabel = IDC_NEED_LABEL, kSpaceFrame = IDC_SPACE_FRAME,
                     kDestinationFrame = IDC_DESTINATION_FRAME, kLanguageLabel = IDC_LANGUAGE_LABEL;
}

}  // namespace zorv
