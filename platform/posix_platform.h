// The platform on Linux and other POSIX systems: the install engine that runs on Windows runs
// here unchanged and leaves real results that can be checked.
//
// - Paths arrive in the package's backslash form ("/tmp/x\sub\file.txt"); every '\' becomes
//   '/' and the path is otherwise used as given.
// - Told the package's code page (PosixPlatformOptions::codePage), the platform is a system
//   whose ANSI code page that is, over a file system that names things in UTF-8: every path
//   and text from the engine (names, link texts, registry names and data, the program to start)
//   becomes UTF-8 before it reaches a file, the registry file or the terminal, and what goes
//   back to the engine (the current and special folders, folder listings, registry data) becomes
//   ANSI again. File contents, the uninstall log among them, are bytes and pass unchanged.
//   Without a code page, texts pass as bytes both ways.
// - The registry is a REGEDIT4 file that Windows' and Wine's regedit can import (its texts are
//   UTF-8 under a code page, which they read as their own ANSI code page). It is read
//   when the platform is made and written again after every change, so a crash of the process
//   loses nothing.
// - Shortcuts are real .lnk files (see shell_link.h); the special folders are plain folders.
// - A started program gets its own path as its only argument (the command line is the Windows
//   form and is not split); it is not waited for and leaves no zombie behind.
// - A message box is a line "caption: text" on standard error, both through terminalText.
// - Once confined to a folder (confineBelow), no symbolic link below that folder is followed:
//   a path through one cannot be created, opened or deleted, and a link at its end is taken as
//   the link itself, so package names cannot reach outside the folder through links already
//   there.
// - Removal (the RemovePlatform half, for `zorv uninstall`) never follows a link at the end of
//   a path, and once limited to a few folders (confineRemovalTo) reaches nothing else and
//   follows no link below them either.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/registry_store.h"
#include "platform/remove_platform.h"
#include "platform/terminal_text.h"

namespace zorv {

struct PosixPlatformOptions {
  std::string registryFile;    // the REGEDIT4 file of the registry
  std::string programsFolder;  // SpecialFolder::Programs
  std::string desktopFolder;   // SpecialFolder::DesktopDirectory
  std::string appDataFolder;   // SpecialFolder::AppData
  int codePage = 0;            // the engine's texts: 1252 or 1251; 0 passes them as bytes
};

// Everything below one data folder of our own, $XDG_DATA_HOME/zorv (by default
// ~/.local/share/zorv): registry.reg, "Start Menu/Programs", Desktop and "Application Data".
// The links are .lnk files, not desktop entries, so they stay out of the desktop's own folders.
// `dataHome` empty means `home` + "/.local/share".
PosixPlatformOptions posixPlatformOptionsFor(std::string_view home, std::string_view dataHome);
// The same from $XDG_DATA_HOME and $HOME (or the password database when HOME is unset).
PosixPlatformOptions defaultPosixPlatformOptions();

// The POSIX form of a path from the engine: every '\' becomes '/'.
std::string posixPath(std::string_view path);
// Creates a POSIX directory and every missing parent (mode 0777); true when it exists after.
bool createDirectories(std::string_view dir);

// Every part of the seam in one object: the parts share the code page, the confining folder
// and the registry file. platformOf(*this) is its Platform.
class PosixPlatform final : public Process,
                            public Files,
                            public Folders,
                            public Registry,
                            public Shell,
                            public Dialogs,
                            public RemovePlatform {
 public:
  explicit PosixPlatform(PosixPlatformOptions options = defaultPosixPlatformOptions());
  PosixPlatform(const PosixPlatform&) = delete;
  PosixPlatform& operator=(const PosixPlatform&) = delete;

  const PosixPlatformOptions& options() const { return options_; }
  // The engine's code page from now on (PosixPlatformOptions::codePage).
  void setCodePage(int codePage) { options_.codePage = codePage; }
  // Why the registry file could not be read, or empty. A registry whose file exists but cannot
  // be read or parsed refuses every change (createKey gives kNoKey), so that the file is never
  // overwritten with less than it held.
  const std::string& registryError() const { return registryError_; }
  // A text of the engine as this system writes it (UTF-8 under a code page), and back: none
  // when the system's text holds a character that the code page lacks.
  std::string hostText(std::string_view text) const;
  std::optional<std::string> engineText(std::string_view text) const;
  // From now on every path strictly below `root` (a POSIX or backslash path of this system,
  // not of the engine) is reached from `root` one component at a time without following
  // symbolic links. `root` itself may be a link. refusedLink() names the link that stopped the
  // last of pathExists, createDirectory, deleteFile and openOutputFile, or is empty.
  void confineBelow(std::string_view root);
  const std::string& refusedLink() const { return refusedLink_; }
  // From now on listFolder, removeFile, removeFolder and readFile reach only the `roots` (paths
  // of this system, like confineBelow's) themselves and the paths strictly below one of them,
  // the latter from their root one component at a time without following links; a root must
  // be named byte for byte as given here (no case folding, no dropped trailing dots). Any
  // other path is Failed, or none.
  // Before, paths are used as given: only a link at a path's end is never followed.
  void confineRemovalTo(std::vector<std::string> roots) override;
  // No short names here: the path as given.
  std::optional<std::string> expandPath(std::string_view path) override {
    return std::string(path);
  }

  std::optional<std::string> currentDirectory() override;
  bool setCurrentDirectory(std::string_view dir) override;
  bool startProcess(std::string_view application, std::string_view commandLine) override;
  SystemTime utcNow() override;

  FileHandle openOutputFile(std::string_view path) override;
  FileHandle openAppendFile(std::string_view path) override;
  bool writeFile(FileHandle file, std::span<const std::uint8_t> bytes) override;
  void closeFile(FileHandle file) override;
  std::optional<std::string> readFileStart(std::string_view path, std::size_t limit) override;
  void deleteFile(std::string_view path) override;
  bool replaceFile(std::string_view from, std::string_view to) override;

  bool pathExists(std::string_view path) override;
  bool isFolder(std::string_view path) override;
  bool createDirectory(std::string_view path) override;
  std::optional<std::uint64_t> freeBytes(std::string_view path) override;

  std::optional<std::string> readString(RegRoot root, std::string_view key,
                                        std::string_view value) override;
  KeyHandle createKey(RegRoot root, std::string_view key) override;
  bool setString(KeyHandle key, std::string_view value, std::string_view data) override;
  bool setDword(KeyHandle key, std::string_view value, std::uint32_t data) override;
  void closeKey(KeyHandle key) override;

  std::optional<std::string> specialFolder(SpecialFolder folder) override;
  bool beginLinks(std::string_view workingDirectory) override;
  bool saveLink(std::string_view linkPath, std::string_view target,
                std::string_view description) override;
  void endLinks() override;

  void messageBox(std::string_view text, std::string_view caption) override;

  // A link is listed as a link, never as a folder (its target is not even looked at), and is
  // removed as itself by removeFile and removeFolder. removeFile fails on a folder; removeKey
  // saves the registry file at once and fails while the file could not be read (above).
  // readFile reads regular files only, never through a link at the end of the path.
  std::optional<std::vector<Entry>> listFolder(std::string_view path) override;
  Outcome removeFile(std::string_view path) override;
  Outcome removeFolder(std::string_view path) override;
  Outcome removeKey(RegRoot root, std::string_view key) override;
  std::optional<std::string> readFile(std::string_view path, std::size_t limit) override;
  // "/", the usual system folders, $HOME, and the Programs, Desktop and AppData folders of the
  // options; under a code page, those that it can name. A listing leaves out the names that the
  // code page cannot write, as no path of the engine could name them.
  std::vector<std::string> protectedFolders() override;

 private:
  struct RemovalPlace;
  void locateForRemoval(std::string_view path, RemovalPlace& place);
  // open(2) of `path` with `flags`, never through a link below the confining root.
  FileHandle openBelow(std::string_view path, int flags);
  std::string hostPath(std::string_view path) const { return posixPath(hostText(path)); }
  void loadRegistry();
  bool saveRegistry();

  PosixPlatformOptions options_;
  RegistryStore registry_;
  std::string registryError_;
  std::string confiningRoot_;  // POSIX form, no trailing '/' (but "/" itself); empty: none
  std::string refusedLink_;
  std::vector<std::string> removalRoots_;  // POSIX form, no trailing '/'
  bool removalConfined_ = false;
  std::map<KeyHandle, RegistryStore::Key*> openKeys_;
  KeyHandle nextKey_ = 1;
  std::optional<std::string> linkWorkingDirectory_;  // set while a link session is open
};

}  // namespace zorv
