// The uninstall engine: removes what UnInstall.log lists, within the rules of uninstall_paths.h.
// Portable: it reaches the system only through RemovePlatform, the registry and the shell's
// folders, and shows nothing; its callers (uninstall.exe, `zorv uninstall`) ask first and report
// after.
//
// Order: every "DelF" (wildcards in the last name), every "DelD" with its contents, every
// "DelE" folder that is empty by then (deepest first; one that is not is kept, no failure),
// every "DelK" with its values and sub-keys, then the application's own key of the stored
// language, the log (only when everything else went), and the "Work" folder when nothing is
// left in it. Nothing is rolled back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/remove_platform.h"
#include "platform/shell.h"
#include "log/uninstall_log_file.h"

namespace zorv {

// What one uninstall may do: every log line and every name that a folder listing gives counts
// once, whatever line it serves, so that a log of many wildcard lines over one large folder
// cannot make the work grow without end. Past it, what is left is left behind and reported;
// nesting deeper than kMaxRemoveDepth is left behind as a folder that cannot be removed is.
inline constexpr std::uint32_t kMaxRemoveEntries = 1'000'000;
inline constexpr int kMaxRemoveDepth = 128;

struct UninstallReport {
  std::vector<std::string> removed;     // files, folders and keys that went
  std::vector<std::string> notFound;    // listed, but already gone
  std::vector<std::string> leftBehind;  // could not be removed: in use, read-only, not empty
  std::vector<std::string> refused;     // outside where the uninstaller may act; untouched
  std::vector<std::string> kept;        // folders an install made, still holding the user's files
  bool workKept = false;                // "Work" still holds something no line listed
  bool logKept = false;                 // kept for another run, since not everything went
  bool outOfBudget = false;             // kMaxRemoveEntries ran out; the rest is left behind
  // True when everything listed is gone (a kept "Work" does not count against it).
  bool complete() const { return leftBehind.empty() && refused.empty(); }
};

// The folders where the uninstaller may act, checked once before anything is removed.
struct UninstallScope {
  std::string logPath;                      // the log that was read, removed last
  std::string deferredFile;                 // a listed file that the caller removes itself (the
                                            // running uninstaller); skipped here
  std::vector<std::string> groupFolders;    // Programs folders: the group may lie below one
  std::vector<std::string> desktopFolders;  // .lnk files directly in one may go
  std::vector<std::string> protectedFolders;
  // "InstallLocation" of the entries named after the log's application in the system's list of
  // installed programs (machine and user). When one names another folder than "Work", the
  // log's "Name" is another application's, and neither that entry nor the stored language
  // named after it is this log's to remove.
  std::vector<std::string> registeredLocations;
};

// Reads and parses the log at `logPath`; none, with the reason, when it is missing, too large
// or malformed, or when its "Work" folder, in its long form (RemovePlatform::expandPath), is one
// the uninstaller must not empty. The log's "Work" is given back in that form.
std::optional<UninstallLog> loadUninstallLog(RemovePlatform& remover, std::string_view logPath,
                                             const std::vector<std::string>& protectedFolders,
                                             std::string* why);

// The scope for a log in its usual place: the Programs and Desktop folders of the shell, the
// remover's protected folders, the log's own path and where the system's list of installed
// programs has the log's application.
UninstallScope defaultUninstallScope(Registry& registry, Shell& shell, RemovePlatform& remover,
                                     const UninstallLog& log, std::string_view logPath);
// The "InstallLocation" values of the entries of the list of installed programs named after
// `appName`, under the machine's and the user's root.
std::vector<std::string> registeredLocations(Registry& registry, std::string_view appName);

// Removes everything the log lists. The log must come from loadUninstallLog.
UninstallReport runUninstall(const UninstallLog& log, const UninstallScope& scope,
                             RemovePlatform& remover);

// The last step, once the deferred file's process has ended: removes that file, then "Work"
// when it is empty. True when the file is gone.
bool finishUninstall(std::string_view deferredFile, std::string_view work, RemovePlatform& remover);

}  // namespace zorv
