// uninstall.exe: removes what the setup installed, as UnInstall.log in its own folder lists it.
//
// A running program cannot delete its own file, so the work is done by a copy of the program in
// the temporary folder, in three steps:
//   1. The program that the user or a script started (in the application's folder) copies
//      itself to the temporary folder, starts the copy with "/_run <pid> <own path>", waits
//      for it and returns its exit code, so that "uninstall.exe /S" in a script reports the
//      truth.
//   2. The copy asks (unless /S), removes everything but the waiting original, starts itself
//      once more with "/_finish <pid> <original> <folder>", reports, and exits with the code.
//   3. The finisher waits for the original to end, deletes it, removes the folder when empty
//      and marks its own file for deletion at the next restart.
// Exit codes: 0 everything listed went; 1 the user said no; 2 the log cannot be used;
// 3 something was left behind or refused.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform_win32.h"
#include "platform/remove_win32.h"
#include "texts/language.h"
#include "texts/texts.h"
#include "uninstall/uninstall.h"
#include "uninstall/uninstall_paths.h"

namespace zorv {

namespace {

constexpr int kExitDone = 0, kExitRefused = 1, kExitNoLog = 2, kExitLeftBehind = 3;
constexpr std::size_t kItemsShown = 15;

// The arguments of a command line: blanks separate, double quotes group; no escapes, since
// paths cannot hold quotes.
std::vector<std::string> splitArguments(std::string_view line) {
  std::vector<std::string> args;
  std::string current;
  bool quoted = false, any = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (any) args.push_back(current);
      current.clear();
      any = false;
    } else {
      current += c;
      any = true;
    }
  }
  if (any) args.push_back(current);
  return args;
}

bool equalsAscii(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(),
                                                int(a.size()), b.data(), int(b.size())) == 2;
}

std::string modulePath() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::string(path, n) : std::string();
}

std::string folderOf(std::string_view path) {
  const std::size_t cut = path.find_last_of("\\/");
  return std::string(path.substr(0, cut == std::string_view::npos ? 0 : cut));
}

// Starts `program` with `arguments`; the process handle, or null.
HANDLE start(const std::string& program, const std::string& arguments) {
  std::string line = "\"" + program + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process))
    return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

// The language that the setup stored for this application, else the installer's; nothing is
// written.
int storedLanguage(Platform& platform, const std::string& appName) {
  for (const std::string& key : {"SoftWare\\Zantrel\\" + appName, std::string(kLanguageKeyRead)}) {
    const StoredLanguage s =
        interpretStoredLanguage(platform.readString(RegRoot::LocalMachine, key, kLanguageValue));
    if (!s.rewrite) return s.language;
  }
  return kEnglish;
}

void appendItems(std::string& text, Text heading, const std::vector<std::string>& items,
                 int language) {
  if (items.empty()) return;
  text.append("\n\n").append(zorv::text(heading, language));
  for (std::size_t i = 0; i < items.size() && i < kItemsShown; ++i) text.append("\n").append(items[i]);
  if (items.size() > kItemsShown) text.append("\n... (" + std::to_string(items.size()) + ")");
}

// Step 1: in the application's folder.
int startCopy(const std::string& self, bool silent) {
  char folder[MAX_PATH], copy[MAX_PATH];
  const DWORD n = GetTempPathA(MAX_PATH, folder);
  if (n > 0 && n < MAX_PATH && GetTempFileNameA(folder, "zun", 0, copy) &&
      CopyFileA(self.c_str(), copy, FALSE)) {
    const std::string arguments = "/_run " + std::to_string(GetCurrentProcessId()) + " \"" +
                                  self + "\"" + (silent ? " /S" : "");
    if (HANDLE child = start(copy, arguments)) {
      WaitForSingleObject(child, INFINITE);
      DWORD code = kExitLeftBehind;
      GetExitCodeProcess(child, &code);
      CloseHandle(child);
      return int(code);
    }
    DeleteFileA(copy);
  }
  return -1;  // no copy: the caller works in place
}

// Step 2: the copy, or the original when no copy could be started (originalProcess 0).
int uninstall(DWORD originalProcess, const std::string& original, bool silent) {
  Win32Platform platform;
  Win32RemovePlatform remover;
  const std::string logPath = folderOf(original) + "\\UnInstall.log";
  const std::vector<std::string> protectedFolders = remover.protectedFolders();
  std::string why;
  const std::optional<UninstallLog> log =
      loadUninstallLog(remover, logPath, protectedFolders, &why);
  const int language = storedLanguage(platform, log ? log->appName : std::string());
  const std::string caption =
      std::string(text(Text::UninstallCaption, language)) + (log ? log->appName : "");
  if (!log) {
    if (!silent)
      MessageBoxA(nullptr, (std::string(text(Text::UninstallCannot, language)) + why).c_str(),
                  caption.c_str(), MB_OK | MB_ICONERROR);
    return kExitNoLog;
  }
  if (!silent) {
    const std::string question = std::string(text(Text::UninstallQuestionPrefix, language)) +
                                 log->appName +
                                 std::string(text(Text::UninstallQuestionSuffix, language));
    if (MessageBoxA(nullptr, question.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION) !=
        IDYES)
      return kExitRefused;
  }
  UninstallScope scope = defaultUninstallScope(platform, remover, logPath);
  scope.deferredFile = original;
  const UninstallReport report = runUninstall(*log, scope, remover);
  if (originalProcess != 0)
    if (HANDLE finisher = start(modulePath(), "/_finish " + std::to_string(originalProcess) +
                                                  " \"" + original + "\" \"" + log->work + "\""))
      CloseHandle(finisher);
  if (!silent) {
    std::string message;
    if (report.complete()) message = text(Text::UninstallComplete, language);
    appendItems(message, Text::UninstallLeftBehind, report.leftBehind, language);
    appendItems(message, Text::UninstallRefused, report.refused, language);
    if (report.workKept) appendItems(message, Text::UninstallWorkKept, {log->work}, language);
    while (!message.empty() && message.front() == '\n') message.erase(0, 1);
    MessageBoxA(nullptr, message.c_str(), caption.c_str(),
                MB_OK | (report.complete() ? MB_ICONINFORMATION : MB_ICONWARNING));
  }
  return report.complete() ? kExitDone : kExitLeftBehind;
}

// Step 3. The original is removed only when the uninstall is over: its folder must be one that
// may be emptied and hold no log any more.
int finish(DWORD originalProcess, const std::string& original, const std::string& work) {
  if (HANDLE waiting = OpenProcess(SYNCHRONIZE, FALSE, originalProcess)) {
    WaitForSingleObject(waiting, 60'000);
    CloseHandle(waiting);
  }
  Win32RemovePlatform remover;
  const std::optional<PathParts> folder = splitFullPath(work);
  const std::optional<PathParts> own = splitFullPath(folderOf(original));
  const std::string log = work + "\\UnInstall.log";
  if (folder && own && samePath(*folder, *own) &&
      workFolderAllowed(*folder, [&] {
        std::vector<PathParts> parts;
        for (const std::string& p : remover.protectedFolders())
          if (auto s = splitFullPath(p)) parts.push_back(std::move(*s));
        return parts;
      }()) &&
      GetFileAttributesA(log.c_str()) == INVALID_FILE_ATTRIBUTES) {
    // The file stays locked for a moment after its process has ended.
    for (int attempt = 0; attempt < 50 && !finishUninstall(original, work, remover); ++attempt)
      Sleep(100);
  }
  MoveFileExA(modulePath().c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return 0;
}

}  // namespace

}  // namespace zorv

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace zorv;
  restrictDllSearch();
  const std::vector<std::string> args = splitArguments(GetCommandLineA());
  bool silent = false;
  for (std::size_t i = 1; i < args.size(); ++i) silent = silent || equalsAscii(args[i], "/S");
  const std::string self = modulePath();
  if (args.size() >= 4 && args[1] == "/_run")
    return uninstall(DWORD(std::strtoul(args[2].c_str(), nullptr, 10)), args[3], silent);
  if (args.size() >= 5 && args[1] == "/_finish")
    return finish(DWORD(std::strtoul(args[2].c_str(), nullptr, 10)), args[3], args[4]);
  if (self.empty()) return kExitNoLog;
  const int code = startCopy(self, silent);
  return code >= 0 ? code : uninstall(0, self, silent);
}
