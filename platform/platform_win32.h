// The platform on Windows: the ANSI system calls, and the run's view on the wizard page's
// controls. Texts go to the system unchanged, in the ANSI code page; only shortcut file names
// are widened, with CP_ACP, for the shell's file interface.
#pragma once

#include <windows.h>

#include <shlobj.h>

#include "platform/page_pacing.h"
#include "platform/platform.h"

namespace zorv {

class Win32RunView;

// The parts of the seam on Windows. Files, Folders and Shell are open to the tool's console
// versions (tools/zorv/host_system_win32.cpp), which change a few of their calls.
class Win32Process final : public Process {
 public:
  std::optional<std::string> currentDirectory() override;
  bool setCurrentDirectory(std::string_view dir) override;
  bool startProcess(std::string_view application, std::string_view commandLine) override;
  SystemTime utcNow() override;
};

class Win32Files : public Files {
 public:
  FileHandle openOutputFile(std::string_view path) override;
  FileHandle openAppendFile(std::string_view path) override;
  bool writeFile(FileHandle file, std::span<const std::uint8_t> bytes) override;
  void closeFile(FileHandle file) override;
  std::optional<std::string> readFileStart(std::string_view path, std::size_t limit) override;
  void deleteFile(std::string_view path) override;
  bool replaceFile(std::string_view from, std::string_view to) override;
};

class Win32Folders : public Folders {
 public:
  bool pathExists(std::string_view path) override;
  bool isFolder(std::string_view path) override;
  bool createDirectory(std::string_view path) override;
  std::optional<std::uint64_t> freeBytes(std::string_view path) override;
};

class Win32Registry final : public Registry {
 public:
  std::optional<std::string> readString(RegRoot root, std::string_view key,
                                        std::string_view value) override;
  KeyHandle createKey(RegRoot root, std::string_view key) override;
  bool setString(KeyHandle key, std::string_view value, std::string_view data) override;
  bool setDword(KeyHandle key, std::string_view value, std::uint32_t data) override;
  void closeKey(KeyHandle key) override;
};

class Win32Shell : public Shell {
 public:
  Win32Shell() = default;
  Win32Shell(const Win32Shell&) = delete;
  Win32Shell& operator=(const Win32Shell&) = delete;
  ~Win32Shell() { endLinks(); }

  std::optional<std::string> specialFolder(SpecialFolder folder) override;
  bool beginLinks(std::string_view workingDirectory) override;
  bool saveLink(std::string_view linkPath, std::string_view target,
                std::string_view description) override;
  void endLinks() override;

 private:
  IShellLinkA* link_ = nullptr;
  IPersistFile* linkFile_ = nullptr;
};

// Brings the page up to date before each box, so that the box shows over the page as it would
// be had every update been shown.
class Win32Dialogs final : public Dialogs {
 public:
  void messageBox(std::string_view text, std::string_view caption) override;
  bool askRetry(std::string_view text, std::string_view caption) override;
  // From now on message boxes show nothing: an install without the page ("/S").
  void silenceMessageBoxes() { silent_ = true; }
  void setPageView(Win32RunView* view) { pageView_ = view; }

 private:
  Win32RunView* pageView_ = nullptr;
  bool silent_ = false;
};

// The whole seam of setup.exe: one of each part, handed to the engine as its Platform.
class Win32Platform {
 public:
  Win32Platform() = default;
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;
  operator const Platform&() const { return platform_; }

  Win32Process process;
  Win32Files files;
  Win32Folders folders;
  Win32Registry registry;
  Win32Shell shell;
  Win32Dialogs dialogs;

 private:
  const Platform platform_{process, files, folders, registry, shell, dialogs};
};

// GetProcAddress gives a generic function pointer; the detour through void (*)() is the
// conversion that the compiler accepts between unrelated function types.
template <typename Fn>
Fn systemFunction(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Our programs are often started from a folder full of other people's files: DLLs are loaded
// from the system directory only. Systems without the call get the current directory taken
// out of the search instead.
void restrictDllSearch();

HKEY predefinedKey(RegRoot root);

// The path of an item list from the shell, freed through the shell's allocator; none when the
// item has no file-system path.
std::optional<std::string> pathOfItemList(LPITEMIDLIST items);

// The wizard page as the install run sees it. The view holds the two stage bitmaps until they
// are shown; a bitmap in a picture control belongs to the control until closeSetup. The
// file-name line and the bar are paced (page_pacing.h): catchUp() shows what waits; it runs
// before every other change to the page, before every message box, at closeSetup, and must
// run when the run returns.
class Win32RunView final : public RunView {
 public:
  Win32RunView(HWND dialog, HWND mainWindow) : dialog_(dialog), mainWindow_(mainWindow) {}
  Win32RunView(const Win32RunView&) = delete;
  Win32RunView& operator=(const Win32RunView&) = delete;

  void setStageBitmaps(HBITMAP first, HBITMAP second) {
    stage_[0] = first;
    stage_[1] = second;
  }
  // True once closeSetup has run: the page is ending and the package may be gone.
  bool closed() const { return closed_; }

  void showControl(int id, bool visible) override;
  void setControlText(int id, std::string_view text) override;
  void setProgressRange(std::uint32_t high) override;
  void setProgressPos(std::uint32_t pos) override;
  void showStageBitmap(int stage) override;
  void closeSetup() override;
  void catchUp();

 private:
  void showFileName(DWORD now);
  void setBar(DWORD now);

  HWND dialog_;
  HWND mainWindow_;
  LinePacing fileName_;
  BarPacing bar_;
  HBITMAP stage_[2] = {};
  bool closed_ = false;
};

// Places `bitmap` (or nothing) in a picture control and deletes the image it replaces.
void placePicture(HWND dialog, int control, HBITMAP bitmap);

}  // namespace zorv
