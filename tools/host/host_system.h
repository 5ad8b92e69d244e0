// The system that `zorv install`, `zorv extract` and `zorv uninstall` act on, in one file per
// system chosen by CMake:
// - host_system_posix.cpp: the POSIX platform (platform/posix_platform.h): files, a REGEDIT4
//   file for the registry and .lnk files, in zorv's own data folder unless the command line
//   names others (--registry-file, --programs-dir, --desktop-dir).
// - host_system_win32.cpp: the Win32 platform of setup.exe and uninstall.exe: the registry,
//   the Start menu's Programs folder and the desktop of the user. --programs-dir and
//   --desktop-dir stand in for the two folders; --registry-file is refused. Message boxes are
//   lines on standard error, as on POSIX systems.
// Paths made here and handed to the engine are absolute and in the system's own form.
#pragma once

#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/remove_platform.h"

namespace zorv {

// Where `zorv install` and `zorv uninstall` keep the registry file, the Programs and the Desktop
// folders; empty for the system's defaults.
struct PlatformPaths {
  std::string registryFile, programsDir, desktopDir;
};

class HostSystem {
 public:
  virtual ~HostSystem() = default;
  virtual const Platform& platform() = 0;
  virtual RemovePlatform& remover() = 0;
  // Why the system must not be changed (an unreadable registry file, an option this system
  // does not take), or empty.
  virtual const std::string& error() const = 0;
  // The Programs and Desktop folders that the run gives the engine.
  virtual std::string programsFolder() = 0;
  virtual std::string desktopFolder() = 0;
  // Makes the folders an install writes to where missing: the two above and the registry
  // file's. The reason, naming the folder, when one cannot be made.
  virtual std::expected<void, std::string> prepareInstall() = 0;
  // From now on no link (symbolic link, junction) strictly below `root` is followed by the
  // platform's file calls; refusedLink() names the link that stopped the last one, or is empty.
  virtual void confineBelow(std::string_view root) = 0;
  virtual const std::string& refusedLink() const = 0;
  // Removal reaches only `roots` and what is below them. Where names differ by case alone on
  // this file system, the engine's case-blind rules are not enough, and this holds it to the
  // folders named byte for byte; Windows relies on the engine's rules, as uninstall.exe does.
  virtual void confineRemovalTo(std::vector<std::string> roots) = 0;

  // The engine's texts are in `codePage` (1252 or 1251) from now on. On POSIX systems the
  // platform writes them in UTF-8 and converts what it hands back; Windows converts with its
  // own ANSI code page, as it does for the setup. The code page the platform converts from,
  // 0 when it converts nothing.
  virtual int useCodePage(int codePage) = 0;
  // A text of the engine as this system names it; a text of this system for the engine, none
  // when the code page lacks one of its characters.
  virtual std::string hostText(std::string_view text) const = 0;
  virtual std::optional<std::string> engineText(std::string_view text) const = 0;
  // Ends the install's log (a path of this system, not followed when a link) with the line
  // that names the code page for `zorv uninstall` (text_code_page.h); nothing where the
  // platform converts nothing or there is no log. False when the log could not be extended.
  virtual bool noteLogCodePage(const std::string& log) = 0;
};

// Called first thing in main. On Windows DLLs are then loaded from the system folder only, as
// setup.exe and uninstall.exe do (restrictDllSearch): zorv.exe is run in folders of packages
// and downloads, where a planted DLL would otherwise be loaded. Nothing on POSIX systems.
void restrictLibrarySearch();

// The system for an install or uninstall, with the folders of `paths`; check error() first.
std::unique_ptr<HostSystem> openHostSystem(const PlatformPaths& paths);
// The system for an extraction: files only, the registry is never touched.
std::unique_ptr<HostSystem> openFilesOnlySystem();

// The path made absolute against the current folder and lexically normal, in the system's
// form and without a separator at its end (but a root's); as given when that fails.
std::string absolutePath(const std::string& path);
// The folder that holds an absolute path, without a separator at its end (but a root's).
std::string parentFolder(const std::string& path);
// `name` in `folder`.
std::string pathIn(const std::string& folder, std::string_view name);
// True when the two paths name one folder in the system's eyes: byte for byte on POSIX
// systems, without regard to case on Windows; a separator at either end is ignored.
bool sameFolder(std::string_view a, std::string_view b);
// A path from the engine or an uninstall log in the system's form: every '\' becomes '/' on
// POSIX systems.
std::string hostPath(std::string_view path);
// A report item made safe to print: a path in the system's form (on POSIX systems those that
// start with '/'), or a key or log value as it is.
std::string shownPath(std::string_view item);
// A text from the command line that is no path, in UTF-8: Windows hands the arguments over in
// its ANSI code page, POSIX systems as the terminal wrote them (UTF-8), which stay as they are.
std::string commandLineText(const std::string& text);
// Creates a folder and every missing parent; true when it exists after.
bool createFolders(const std::string& folder);
// True when the standard input is a terminal or console (the progress bar asks the same of the
// standard error itself).
bool stdinIsTerminal();

}  // namespace zorv
