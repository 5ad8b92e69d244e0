// The platform on Windows: the ANSI system calls. Texts go to the system unchanged, in the ANSI
// code page; only shortcut file names are widened, with CP_ACP, for the shell's file interface.
// The page's message boxes and the run's view of the page are the wizard's
// (wizard/page_view_win32.h).
#pragma once

#include <windows.h>

#include <shlobj.h>

#include "platform/platform.h"

namespace zorv {

// The parts of the seam on Windows but the message boxes, which each program shows its own way
// (the setup's over its page; the tool's on its console). Files, Folders and Shell are open to
// the tool's console versions (tools/host/host_system_win32.cpp), which change a few calls.
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

}  // namespace zorv
