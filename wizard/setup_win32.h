// The Win32 side of the wizard: the process, the hidden main window, the page and its
// bitmaps. The decisions they make are in the portable files beside them.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "install/setup_state.h"
#include "platform/platform_win32.h"
#include "wizard/page_view_win32.h"

namespace zorv {

// The seam as setup.exe has it: the Win32 parts and the page's message boxes, handed to the
// engine as its Platform.
class SetupPlatform {
 public:
  SetupPlatform() = default;
  SetupPlatform(const SetupPlatform&) = delete;
  SetupPlatform& operator=(const SetupPlatform&) = delete;
  operator const Platform&() const { return platform_; }

  Win32Process process;
  Win32Files files;
  Win32Folders folders;
  Win32Registry registry;
  Win32Shell shell;
  PageDialogs dialogs;

 private:
  const Platform platform_{process, files, folders, registry, shell, dialogs};
};

// The one setup of this process. Window and dialog procedures reach it here: the system calls
// them with nothing of ours.
struct SetupApp {
  HINSTANCE instance = nullptr;
  HWND mainWindow = nullptr;
  SetupState state;
  SetupPlatform platform;
  // For a package with the release entry: how the process ends (wizard/unattended.h), and
  // the folder that "/D=" named, which the page proposes. Any other package ends with 0.
  bool release = false;
  int exitCode = 0;
  std::string proposedDestination;  // empty: none
};
SetupApp& setupApp();

inline constexpr int kDialogTemplate = IDD_SETUP_PAGE;
inline constexpr int kIconResource = 101;

// Start-up and end (winmain_win32.cpp). startSetup is false when the page is not shown: the
// setup cannot start, or installed without it ("/S"), with app.exitCode set.
bool startSetup();
void quitSetup();
void showSetupCorrupted();
LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The page (wizard_page_win32.cpp). showDialog returns once the page has ended; a page that
// could not be created posts the close request itself.
void showDialog(HWND owner);
INT_PTR CALLBACK wizardDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void applyLanguageTexts(HWND dialog);
// The folder below which the page proposes the application folder.
std::string defaultDestinationParent();

// The folder browser (browse_win32.cpp): true and the chosen folder's path in `path`, or false
// when the user cancelled or chose something that has no file-system path.
bool browseForDestination(std::string& path);

// Package bitmaps (bitmaps_win32.cpp): a device-dependent bitmap from the "BmpT" entry of that
// name, or null when it is missing, damaged or unusable.
HBITMAP makePackageBitmap(HDC dc, Package& package, std::string_view name);
// "pic1" and "pic2" into the view's stage slots, "title", "pic" and "zorv" into their pictures.
void loadPageBitmaps(HWND dialog, Package& package, Win32RunView& view);

}  // namespace zorv
