// Finding and reading the windows of the process under test: the wizard page (a dialog with
// control 1006) and its message boxes (dialogs without it). Every message to the target is
// sent with a time-out, so a busy or hung setup can delay the driver but never stop it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

inline constexpr int kNextButtonId = 1006;

// A window text twice: the bytes in the ANSI code page, and the same text as UTF-8 from the
// Unicode form, for people reading the report.
struct WindowText {
  bool ok = false;
  std::string bytes;
  std::string utf8;
};

WindowText readText(HWND window);

// A process id that stands for every process but the driver's own: the boxes of a program
// that does its work in a child process (the uninstaller).
inline constexpr DWORD kAnyProcess = 0;

// Visible top-level dialogs ("#32770") of the process.
std::vector<HWND> dialogsOf(DWORD processId);
HWND findPage(DWORD processId);
// A message box of the process: a visible dialog that is not the page.
HWND findBox(DWORD processId);

struct BoxContent {
  WindowText text;
  WindowText caption;
};
BoxContent readBox(HWND box);
// Presses the box's OK button, or the button `id` (IDYES, IDNO); true once the box is gone.
bool pressBoxOk(HWND box, DWORD timeoutMs);
bool pressBoxButton(HWND box, int id, DWORD timeoutMs);

// Sends with the driver's standard time-out; false when the target did not answer.
bool sendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result);

std::string className(HWND window);

}  // namespace e2e
