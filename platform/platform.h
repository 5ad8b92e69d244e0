// The seam between the setup's logic and the operating system.
//
// The reader, the install engine and the portable parts of the wizard call the system only
// through these two interfaces. platform_win32.cpp makes the real ANSI calls, platform_posix.cpp
// lets the same engine run on Linux (files, a REGEDIT4 registry file, .lnk files), and the
// tests use a fake that records every call. No implementation throws: results report failure.
//
// Paths are the system's ANSI text in the package's backslash form. The engine never passes a
// path longer than kMaxPathChars to these calls; it fails the item itself first.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zorv {

// MAX_PATH less its NUL: the longest path that an ANSI system call takes.
inline constexpr std::size_t kMaxPathChars = 259;

enum class RegRoot { LocalMachine, ClassesRoot, CurrentConfig, CurrentUser, Users };

// The values are the shell's CSIDL numbers. The common ones are those of all users.
enum class SpecialFolder {
  Programs = 2,
  DesktopDirectory = 16,
  CommonPrograms = 0x17,
  CommonDesktopDirectory = 0x19,
  AppData = 0x1A,
  LocalAppData = 0x1C,
  ProgramFiles = 0x26,
};

struct SystemTime {
  unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

using FileHandle = int;  // the runtime's low-level descriptor
inline constexpr FileHandle kNoFile = -1;
using KeyHandle = std::uintptr_t;
inline constexpr KeyHandle kNoKey = 0;

class Platform {
 public:
  virtual ~Platform() = default;

  // Process and time.
  virtual std::optional<std::string> currentDirectory() = 0;
  virtual bool setCurrentDirectory(std::string_view dir) = 0;
  // Starts `application` with `commandLine` in the current directory; not waited for.
  virtual bool startProcess(std::string_view application, std::string_view commandLine) = 0;
  virtual SystemTime utcNow() = 0;

  // Files. openOutputFile creates or truncates the file (read-write, binary, shared, not
  // read-only). writeFile succeeds only when every byte was written.
  virtual bool pathExists(std::string_view path) = 0;
  virtual bool createDirectory(std::string_view path) = 0;
  virtual void deleteFile(std::string_view path) = 0;
  virtual FileHandle openOutputFile(std::string_view path) = 0;
  // Opens an existing file for writing at its end, as openOutputFile shares it.
  virtual FileHandle openAppendFile(std::string_view path) = 0;
  // Puts the file `from` in the place of `to` in one step, replacing what was there; false,
  // with nothing changed, when that fails. Both lie in one folder.
  virtual bool replaceFile(std::string_view from, std::string_view to) = 0;
  // At most the first `limit` bytes of a regular file; none when it cannot be read.
  virtual std::optional<std::string> readFileStart(std::string_view path, std::size_t limit) = 0;
  virtual bool writeFile(FileHandle file, std::span<const std::uint8_t> bytes) = 0;
  virtual void closeFile(FileHandle file) = 0;
  // Bytes available to the caller on the volume that holds `path`.
  virtual std::optional<std::uint64_t> freeBytes(std::string_view path) = 0;

  // Registry. createKey creates or opens the key (all access); setString writes REG_SZ with
  // its NUL counted.
  virtual std::optional<std::string> readString(RegRoot root, std::string_view key,
                                                std::string_view value) = 0;
  virtual KeyHandle createKey(RegRoot root, std::string_view key) = 0;
  virtual bool setString(KeyHandle key, std::string_view value, std::string_view data) = 0;
  // Writes REG_DWORD.
  virtual bool setDword(KeyHandle key, std::string_view value, std::uint32_t data) = 0;
  virtual void closeKey(KeyHandle key) = 0;

  // Shell. A link session holds one shell link object whose working directory is set once;
  // each saveLink writes one .lnk file through it.
  virtual std::optional<std::string> specialFolder(SpecialFolder folder) = 0;
  virtual bool beginLinks(std::string_view workingDirectory) = 0;
  virtual bool saveLink(std::string_view linkPath, std::string_view target,
                        std::string_view description) = 0;
  virtual void endLinks() = 0;

  // A message box with the button OK and no owner window.
  virtual void messageBox(std::string_view text, std::string_view caption) = 0;
  // A question with Retry and Cancel; true for Retry. Where nobody can answer, the text is
  // shown as a message and the answer is Cancel.
  virtual bool askRetry(std::string_view text, std::string_view caption) {
    messageBox(text, caption);
    return false;
  }
  // True when `path` is a folder (not a file, nor missing).
  virtual bool isFolder(std::string_view path) = 0;
};

// The run's view of the wizard page: the controls it hides and shows, the progress bar, the
// two lines of text, the stage pictures and the end of the page.
class RunView {
 public:
  virtual ~RunView() = default;
  virtual void showControl(int id, bool visible) = 0;
  virtual void setControlText(int id, std::string_view text) = 0;
  virtual void setProgressRange(std::uint32_t high) = 0;
  virtual void setProgressPos(std::uint32_t pos) = 0;
  // Shows stage bitmap 0 ("pic1") or 1 ("pic2") in picture 1008 at once, deleting the image it
  // replaces; does nothing when that bitmap is missing.
  virtual void showStageBitmap(int stage) = 0;
  // Clears and deletes the pictures, ends the page and posts the close request. Nothing may
  // use the package afterwards.
  virtual void closeSetup() = 0;
};

}  // namespace zorv
