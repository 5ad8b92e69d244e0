// The wizard page: dialog template 101 and its procedure. Every message goes to a small
// handler; the decisions are in destination.cpp, disk_space.cpp, language.cpp and
// page_texts.cpp.
#include <windows.h>

#include <optional>

#include "install/install.h"
#include "wizard/destination.h"
#include "wizard/disk_space.h"
#include "texts/language.h"
#include "wizard/package_facts.h"
#include "wizard/page_texts.h"
#include "wizard/setup_win32.h"
#include "wizard/unattended.h"

namespace zorv {

namespace {

// The page's own state beside SetupState: the run's view (which holds the stage bitmaps) and
// whether the one run of this process has begun.
struct Page {
  std::optional<Win32RunView> view;
  bool runStarted = false;
};
Page page;

HWND control(HWND dialog, int id) { return GetDlgItem(dialog, id); }

void show(HWND dialog, int id, bool visible) {
  ShowWindow(control(dialog, id), visible ? SW_SHOW : SW_HIDE);
}

void setText(HWND dialog, int id, const std::string& text) {
  SetDlgItemTextA(dialog, id, text.c_str());
}

// A page that is ending, or that has begun its run, takes no more choices.
bool choosing() { return page.view && !page.view->closed() && !page.runStarted; }

// Queries and shows the free and needed space, appends the application folder to the
// destination unless it is one already, and shows either Next or the warning.
void showDiskSpace(HWND dialog, bool appendFolder = true) {
  SetupApp& app = setupApp();
  SetupState& s = app.state;
  DiskSpaceView space =
      diskSpaceView(queryFreeBytes(s.destinationDir, app.platform.folders), s.requiredBytes);
  show(dialog, control::kFreeFigure, false);
  setText(dialog, control::kFreeFigure, space.freeText);
  show(dialog, control::kFreeFigure, true);
  setText(dialog, control::kNeedFigure, space.needText);
  if (appendFolder) s.destinationDir = appendAppFolder(s.destinationDir, s.appName);
  setText(dialog, control::kDestination, s.destinationDir);
  show(dialog, control::kNext, space.showNext);
  show(dialog, control::kNoSpaceWarning, !space.showNext);
}

}  // namespace

std::string defaultDestinationParent() {
  SetupApp& app = setupApp();
  auto packageFolder = readDefaultFolder(*app.state.package);
  std::optional<std::string> systemFolder;
  if (!packageFolder) systemFolder = systemParentFolder(app.state, app.platform.shell);
  return defaultParentFolder(packageFolder, systemFolder);
}

namespace {

void initWizardDialog(HWND dialog) {
  SetupApp& app = setupApp();
  SetupState& s = app.state;
  RECT outer;
  GetWindowRect(dialog, &outer);
  int w = outer.right - outer.left, h = outer.bottom - outer.top;
  int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;

  SendDlgItemMessageA(dialog, control::kPlaceIcons, BM_SETCHECK, BST_CHECKED, 0);
  SendDlgItemMessageA(dialog, control::kRunAfterInstall, BM_SETCHECK, BST_CHECKED, 0);
  HWND list = control(dialog, control::kLanguageList);
  SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("English"));
  SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Russian"));
  SendMessageA(list, CB_SETCURSEL, s.language != 0 ? 1 : 0, 0);

  page.view.emplace(dialog, app.mainWindow);
  app.platform.dialogs.setPageView(&*page.view);  // boxes show over the page brought up to date
  loadPageBitmaps(dialog, *s.package, *page.view);

  // Typing stops at an ANSI path; a longer composed destination is refused by Next.
  SendDlgItemMessageA(dialog, control::kDestination, EM_LIMITTEXT, kMaxPathChars, 0);
  const bool proposed = !app.proposedDestination.empty();
  s.destinationDir = proposed ? app.proposedDestination : defaultDestinationParent();
  showDiskSpace(dialog, !proposed);
  MoveWindow(dialog, x, y, w, h, TRUE);
  applyLanguageTexts(dialog);
}

// The whole text, however long: a composed destination may pass what typing allows, and Next
// must see it to refuse it.
void onDestinationEdited(HWND dialog) {
  HWND edit = control(dialog, control::kDestination);
  std::string text(std::size_t(GetWindowTextLengthA(edit)) + 1, '\0');
  int n = GetWindowTextA(edit, text.data(), int(text.size()));
  text.resize(n > 0 ? std::size_t(n) : 0);
  setupApp().state.destinationDir = std::move(text);
}

void onBrowse(HWND dialog) {
  std::string path = setupApp().state.destinationDir;
  if (!browseForDestination(path)) return;
  // The browser's own message loop may have run Next or Cancel meanwhile.
  if (!choosing()) return;
  setupApp().state.destinationDir = std::move(path);
  showDiskSpace(dialog);
  SetFocus(control(dialog, control::kNext));
}

// Next is also the default button, so Enter sends its command even while the low-space warning
// has hidden it: a hidden Next does nothing.
void onNext(HWND dialog) {
  if (!choosing() || !IsWindowVisible(control(dialog, control::kNext))) return;
  SetupApp& app = setupApp();
  SetupState& s = app.state;
  if (!composeInstallDestination(s, app.platform.dialogs)) return;
  if (!createDirectoryPath(s.destinationDir, s.language, app.platform)) return;
  page.runStarted = true;
  const RunOutcome outcome = runInstall(s, app.platform, *page.view);
  if (app.release) app.exitCode = exitCodeOf(outcome);
  // The completion state's texts may still wait in the paced view.
  page.view->catchUp();
}

void onLanguageChosen(HWND dialog, HWND list) {
  SetupApp& app = setupApp();
  LRESULT chosen = SendMessageA(list, CB_GETCURSEL, 0, 0);
  if ((chosen != kEnglish && chosen != kRussian) || chosen == app.state.language) return;
  app.state.language = int(chosen);
  applyLanguageTexts(dialog);
  writeLanguage(app.state.language, app.platform.registry);
}

void onCommand(HWND dialog, int id, int notification, HWND from) {
  SetupState& s = setupApp().state;
  if (!page.view) return;  // nothing is handled before the page is initialised
  switch (id) {
    case control::kDestination:
      if (notification == EN_UPDATE) onDestinationEdited(dialog);
      break;
    case control::kBrowse: onBrowse(dialog); break;
    case control::kPlaceIcons:
      s.placeIconsOnDesktop = IsDlgButtonChecked(dialog, id) == BST_CHECKED;
      break;
    case control::kRunAfterInstall:
      s.runAfterInstall = IsDlgButtonChecked(dialog, id) == BST_CHECKED;
      break;
    case control::kNext: onNext(dialog); break;
    case control::kCancel: page.view->closeSetup(); break;
    case control::kLanguageList:
      if (notification == CBN_SELCHANGE) onLanguageChosen(dialog, from);
      break;
    default: break;  // among them IDCANCEL: Escape and the close command keep the page
  }
}

}  // namespace

void applyLanguageTexts(HWND dialog) {
  SetupState& s = setupApp().state;
  for (const ControlText& c : pageControlTexts())
    if (hasText(c.text, s.language))
      SetDlgItemTextA(dialog, c.control, std::string(text(c.text, s.language)).c_str());
  SetWindowTextA(dialog, pageCaption(s.appName, s.language).c_str());
  s.browseTitle = browseTitle(s.appName, s.language);
}

// The procedure never asks the system to set the focus, and handles nothing as "processed".
INT_PTR CALLBACK wizardDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) initWizardDialog(dialog);
  if (message == WM_COMMAND)
    onCommand(dialog, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
  return 0;
}

void showDialog(HWND owner) {
  DialogBoxParamA(setupApp().instance, MAKEINTRESOURCEA(kDialogTemplate), owner, wizardDialogProc,
                  0);
  // A page that could not be created never ran closeSetup: end the process all the same
  // instead of waiting for a close request that nothing would send.
  if (!page.view || !page.view->closed()) PostMessageA(owner, WM_CLOSE, 0, 0);
}

}  // namespace zorv
