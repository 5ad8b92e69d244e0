// The install run: files and directories, the uninstall log, shortcuts, registry values, the
// clean-up lines and the start of the installed program, in that fixed order. Portable: it
// reaches the system only through the parts of Platform and the page only through RunView.
//
// Every phase that can end the run returns false after it has shown its message; the run then
// closes the log and the setup and stops. Nothing already made is rolled back.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "install/package_limits.h"
#include "install/package_walk.h"
#include "install/records.h"
#include "install/setup_state.h"
#include "log/uninstall_log_file.h"
#include "log/uninstall_paths.h"
#include "platform/platform.h"
#include "texts/texts.h"

namespace zorv {

// How many bytes of uninstall-log lines a run keeps before it writes them (see logLine).
inline constexpr std::size_t kLogBufferBytes = 4096;
// How many folders a run remembers having made or found (see InstallRun::knownFolders).
inline constexpr std::size_t kMaxKnownFolders = 1024;

// Sorts lines (bytes compared as unsigned) and drops repeated ones; and the search in them.
void sortLines(std::vector<std::string_view>& lines);
bool hasLine(const std::vector<std::string_view>& lines, std::string_view line);

// What every phase of one run works with.
struct InstallRun {
  SetupState& state;
  Platform platform;  // copied, so that each call reaches its part one step sooner
  RunView& view;
  std::uint32_t progressBytes = 0;  // unpacked bytes written so far: the bar's position
  std::string logPath{};            // set by beginUninstallLog
  std::string logPending{};         // lines that logLine has not written yet
  bool logWritten = false;          // whether any line has reached the log
  // The walk of the package's files and folders, top-level entries included: one budget and
  // each record read once (see PackageWalk).
  PackageWalk walk{};
  // Folders that createOutputFile has made or found in this run, sorted: each file's parents
  // are asked for once per run, not once per file. Past kMaxKnownFolders the list starts
  // again; a folder forgotten is only asked for again.
  std::vector<std::string> knownFolders{};
  // The known folders that this run made itself (sorted, forgotten with them): a file in one
  // of these cannot have an older copy to delete first, so that request is not made.
  std::vector<std::string> madeFolders{};
  // An earlier log of this application, and the lines of it that the new log carried over
  // (carriedLogLines, each without its line feed): written first, and not again when the run
  // comes to them.
  std::string earlierLog{};
  std::vector<std::string_view> carriedLines{};
  // The message of the box that ended the run, when the run showed one itself.
  std::optional<Text> failure{};
};

// How a run ended: completed (the page shows so), with the installed program started (the
// setup closed), or failed after a message box, whose text `message` names where the run
// showed it itself (a folder that cannot be made shows its own); Text::FileInUsePrefix when
// the user answered Cancel to a file in use, or nobody could answer.
enum class RunEnding { Completed, ProgramStarted, Failed };
struct RunOutcome {
  RunEnding ending = RunEnding::Failed;
  std::optional<Text> message{};
};

// The whole run, called once after createDirectoryPath succeeded on destinationDir. On return
// the page either shows its completion state or has been closed with view.closeSetup().
// `walkBudget` is the number of "Copy" and "CopD" records that the run may visit in the whole
// package (tests lower it).
RunOutcome runInstall(SetupState& state, const Platform& platform, RunView& view,
                      std::uint32_t walkBudget = kMaxRecordsVisited);

// Paths.

// Creates every missing directory of a full path, dropping blanks before each separator and at
// the end; rewrites `path` on success. Separators at indexes 0 to 2 create nothing. On failure,
// a prefix over 259 characters included, shows "<dir> - Error Create" and leaves `path` as is.
bool createDirectoryPath(std::string& path, int language, const Platform& platform);
// True when a package name would leave the directory it is joined to: two leading separators,
// a drive or any colon, or a ".." component ("\" and "/" both separate). One leading "\" is
// harmless once joined.
bool escapesDirectory(std::string_view name);
// True for a file name that the run must not write: one that escapes the destination, or the
// uninstall log, which is open while files are written.
bool refusedFileName(std::string_view name);
// True when a name, joined to a folder, still names a folder of its own below it: it does not
// escape, and some component is more than "." and blanks. The program group needs one.
bool namesSubfolder(std::string_view name);

// Extraction.

// Opens destinationDir\name for writing, creating its parent directories ("\" separates) unless
// run.knownFolders has them; kNoFile on failure, a folder that cannot be made included. An
// existing file is deleted first (none can exist in a folder this run made) and the open
// truncates.
FileHandle createOutputFile(InstallRun& run, std::string_view name);
// Writes one file block by block; false when its name is refused, it cannot be created, or a
// block cannot be read or written. No message.
bool extractFile(InstallRun& run, const CopyRecord& file);
// Counts the visit of `member` in run.walk, reads its DirectoryRecord, `depth` levels below the
// destination (a top-level "CopD" entry is level 1), and extracts its members depth first.
// False on the first member that cannot be read or written, for a record nested deeper than
// kMaxDirectoryDepth, and for one that run.walk may not visit.
bool extractDirectory(InstallRun& run, const RangeItem& member, int depth);
// The file phase and the directory phase; false after the file-error message.
bool extractFiles(InstallRun& run);
bool extractDirectories(InstallRun& run);

// The uninstall log.

// Creates destinationDir\UnInstall.log, keeps it in state.uninstallLog and writes its "Name"
// and "Work" lines; false, after the log's message, when that fails. A log of an earlier
// install is deleted first; for a release, one that holds this application's "Name" is
// carried over instead: the new log, its first lines and the carried lines, is written beside
// it as UnInstall.new, put in its place in one step and then extended, so that whenever the
// run stops the log names what every version installed, and the old log is never truncated.
bool beginUninstallLog(InstallRun& run);
// The lines of an earlier log (its bytes) that a new log in `work` carries over, each
// without its line end, sorted and each once: its "DelF", "DelD", "DelE" and "DelK" lines that
// the uninstaller would act on there (log/uninstall_paths.h: below `work` or a Programs
// folder, a ".lnk" in a Desktop folder, a key that is the application's own where other
// programs share the tree). None when the earlier log is damaged (log/uninstall_log_file.h),
// lacks its "Name" or "Work" line or has either twice, or names another application than
// `appName`.
std::optional<std::vector<std::string_view>> carriedLogLines(
    std::string_view earlier, std::string_view appName, std::string_view work,
    std::span<const std::string> groupFolders, std::span<const std::string> desktopFolders);
// One line: the four tag bytes, a blank, the value, a line feed; CR and LF in the value become
// blanks so that a package text cannot add lines of its own.
std::string logLineText(std::uint32_t tag, std::string_view value);
// A line for the run's log, unless the log carried it over. The first line is written at once, so
// that a log that cannot be written stops the run before anything is made; later lines are kept and
// written kLogBufferBytes at a time (one write per file cost as much as the file under Wine).
// False, after the log's message, when a write fails: the run must end.
bool logLine(InstallRun& run, std::uint32_t tag, std::string_view value);
// Writes the kept lines; false, after the log's message, when that fails.
bool flushUninstallLog(InstallRun& run);
// Writes the kept lines, without a message, and closes the log.
void closeUninstallLog(InstallRun& run);

// Shortcuts. createShortcuts fails only when the log cannot be written.
bool createShortcuts(InstallRun& run);
// Creates the folders that a link name puts before its last separator, below `base`.
void createLinkFolder(std::string_view base, std::string_view linkName, int language,
                      const Platform& platform);

// Registry. writeRegistryValues fails, after its message, when the key cannot be created or
// the log cannot be written.
bool writeRegistryValues(InstallRun& run);
void writeApplicationLanguage(InstallRun& run);

// The system's list of installed programs: when the package carries an uninstaller ("UnIn"),
// its key below kUninstallKeyParent (log/uninstall_paths.h), named after the application, with
// the values that list shows, logged as a "DelK" line. Fails, after its message, only when the
// log cannot be written; an unusable record or a key that cannot be made registers nothing.
bool registerUninstaller(InstallRun& run);
// Whether an application name can name that key: not empty, without a backslash (it would
// name a key further down) or a control character. A package whose name cannot is installed
// without an entry in the list.
bool usableUninstallKeyName(std::string_view appName);
// " 5. 3.2002  9: 7: 0": blank-padded day, month, year, hour, minute, second.
std::string formatInstallTimestamp(const SystemTime& t);

}  // namespace zorv
