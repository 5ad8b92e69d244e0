// The seam between the setup's logic and the operating system, one interface per concern:
// the process (process.h), files (files.h), folders (folders.h), the registry (registry.h), the
// shell's folders and links (shell.h) and message boxes (dialogs.h); the uninstaller's removal
// is apart (remove_platform.h), so that setup.exe carries none of it.
//
// The reader, the install engine and the portable parts of the wizard call the system only
// through these interfaces and RunView. platform_win32.cpp makes the real ANSI calls,
// posix_platform.cpp lets the same engine run on Linux (files, a REGEDIT4 registry file, .lnk
// files), and the tests use a fake that records every call. No implementation throws: results
// report failure. A wrapper that changes a few calls implements only the interface they belong
// to and hands the others on untouched.
//
// The parts are never deleted through their interfaces: the interfaces' destructors are
// protected and not virtual, which keeps them out of every table of virtual functions.
//
// Paths are the system's ANSI text in the package's backslash form. The engine never passes a
// path longer than kMaxPathChars to these calls; it fails the item itself first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace zorv {

// MAX_PATH less its NUL: the longest path that an ANSI system call takes.
inline constexpr std::size_t kMaxPathChars = 259;

// The whole seam as the engine takes it: one of each part, which may be separate objects or
// one that is all of them (platformOf).
struct Platform {
  Process& process;
  Files& files;
  Folders& folders;
  Registry& registry;
  Shell& shell;
  Dialogs& dialogs;
};

// The Platform of an object that is every part: the POSIX platform, the tests' fake.
template <typename Whole>
Platform platformOf(Whole& whole) {
  return {whole, whole, whole, whole, whole, whole};
}

// The run's view of the wizard page: the controls it hides and shows, the progress bar, the
// two lines of text, the stage pictures and the end of the page.
class RunView {
 public:
  virtual ~RunView() = default;
  virtual void showControl(int id, bool visible) = 0;
  virtual void setControlText(int id, std::string_view text) = 0;
  virtual void setProgressRange(std::uint32_t high) = 0;
  virtual void setProgressPos(std::uint32_t pos) = 0;
  // Shows stage bitmap 0 ("pic1") or 1 ("pic2") in the title picture at once, deleting the
  // image it replaces; does nothing when that bitmap is missing.
  virtual void showStageBitmap(int stage) = 0;
  // Clears and deletes the pictures, ends the page and posts the close request. Nothing may
  // use the package afterwards.
  virtual void closeSetup() = 0;
};

}  // namespace zorv
