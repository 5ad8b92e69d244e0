// uninstall.exe: removes what the setup installed, as UnInstall.log in its own folder lists it.
//
// A running program cannot delete its own file, so the work is done by a copy of the program in
// the temporary folder, in two steps:
//   1. The program that the user or a script started (in the application's folder) makes a
//      folder of its own with a random name in the temporary folder (writable only by
//      Administrators and SYSTEM when it runs elevated: the user's other processes may be the
//      attacker), copies itself there and starts the copy with "/_run <pipe> <process> <own
//      path>", holding the folder and the copy open so that neither can be renamed or changed
//      before the copy runs. It then waits for the exit code on the pipe and returns it, so
//      that "uninstall.exe /S" in a script reports the truth.
//   2. The copy asks (unless /S), removes everything but the waiting original, reports, sends
//      its exit code, waits for the original to end, deletes it, removes the folder when
//      empty, and marks its own file and folder for deletion at the next restart: no file is
//      ever started again by its path.
// Exit codes: 0 everything listed went; 1 the user said no; 2 the log cannot be used;
// 3 something was left behind or refused.
#include <windows.h>

#include <ntsecapi.h>
#include <sddl.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform_win32.h"
#include "platform/remove_win32.h"
#include "texts/language.h"
#include "texts/texts.h"
#include "uninstall/uninstall.h"
#include "log/uninstall_paths.h"

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

// Starts `program` with `arguments`, handing it the inheritable handles, in the program's own
// folder: a current directory inherited from the application's folder would keep that folder
// from being removed. The process handle, or null.
HANDLE start(const std::wstring& program, const std::string& arguments) {
  const std::wstring folder = program.substr(0, program.find_last_of(L'\\'));
  int n = MultiByteToWideChar(CP_ACP, 0, arguments.data(), int(arguments.size()), nullptr, 0);
  std::wstring args(std::size_t(std::max(n, 0)), L'\0');
  MultiByteToWideChar(CP_ACP, 0, arguments.data(), int(arguments.size()), args.data(), n);
  std::wstring line = L"\"" + program + L"\" " + args;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      folder.c_str(), &startup, &process))
    return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

bool elevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation = {};
  DWORD n = 0;
  const bool yes = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &n) &&
                   elevation.TokenIsElevated;
  CloseHandle(token);
  return yes;
}

// A new folder in the temporary folder, named by 64 random bits; empty when none can be made.
// Elevated, only Administrators and SYSTEM may change it or what is in it.
std::wstring makePrivateFolder() {
  wchar_t temp[MAX_PATH];
  const DWORD n = GetTempPathW(MAX_PATH, temp);
  if (n == 0 || n >= MAX_PATH - 30) return {};
  SECURITY_ATTRIBUTES security = {sizeof security, nullptr, FALSE};
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (elevated() &&
      !ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)",
                                                            SDDL_REVISION_1, &descriptor, nullptr))
    return {};
  security.lpSecurityDescriptor = descriptor;
  std::wstring folder;
  for (int attempt = 0; attempt < 8 && folder.empty(); ++attempt) {
    unsigned char random[8];
    if (!RtlGenRandom(random, sizeof random)) break;
    std::wstring name = temp;
    if (name.back() != L'\\') name += L'\\';
    name += L"zun-";
    for (unsigned char b : random) {
      name += L"0123456789abcdef"[b >> 4];
      name += L"0123456789abcdef"[b & 15];
    }
    if (CreateDirectoryW(name.c_str(), &security)) folder = name;  // never one that was there
  }
  if (descriptor) LocalFree(descriptor);
  return folder;
}

// The language that the setup stored for this application, else the installer's; nothing is
// written.
int storedLanguage(Registry& registry, const std::string& appName) {
  for (const std::string& key : {"SoftWare\\Zantrel\\" + appName, std::string(kLanguageKeyRead)}) {
    const StoredLanguage s =
        interpretStoredLanguage(registry.readString(RegRoot::LocalMachine, key, kLanguageValue));
    if (!s.rewrite) return s.language;
  }
  return kEnglish;
}

void appendItems(std::string& text, Text heading, const std::vector<std::string>& items,
                 int language) {
  if (items.empty()) return;
  text.append("\n\n").append(zorv::text(heading, language));
  for (std::size_t i = 0; i < items.size() && i < kItemsShown; ++i)
    text.append("\n").append(items[i]);
  if (items.size() > kItemsShown) text.append("\n... (" + std::to_string(items.size()) + ")");
}

// Step 1: in the application's folder. The exit code of the copy, or -1 when no copy runs.
int startCopy(const std::string& self, bool silent) {
  wchar_t selfWide[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, selfWide, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return -1;
  const std::wstring folder = makePrivateFolder();
  if (folder.empty()) return -1;
  const std::wstring copy = folder + L"\\uninstall.exe";
  // Neither the folder nor the copy can be renamed, deleted or written while these are open.
  HANDLE heldFolder = CreateFileW(
      folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  HANDLE heldCopy = INVALID_HANDLE_VALUE;
  if (heldFolder != INVALID_HANDLE_VALUE && CopyFileW(selfWide, copy.c_str(), TRUE))
    heldCopy = CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  int code = -1;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE pipeRead = nullptr, pipeWrite = nullptr, me = nullptr;
  if (heldCopy != INVALID_HANDLE_VALUE && CreatePipe(&pipeRead, &pipeWrite, &inherit, 0) &&
      SetHandleInformation(pipeRead, HANDLE_FLAG_INHERIT, 0) &&
      DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &me,
                      SYNCHRONIZE, TRUE, 0)) {
    const std::string arguments = "/_run " + std::to_string(std::uintptr_t(pipeWrite)) + " " +
                                  std::to_string(std::uintptr_t(me)) + " \"" + self + "\"" +
                                  (silent ? " /S" : "");
    if (HANDLE child = start(copy, arguments)) {
      CloseHandle(pipeWrite);
      pipeWrite = nullptr;
      DWORD sent = 0, read = 0;
      if (ReadFile(pipeRead, &sent, sizeof sent, &read, nullptr) && read == sizeof sent) {
        code = int(sent);
      } else {  // the copy ended without a word
        WaitForSingleObject(child, INFINITE);
        DWORD exit = kExitLeftBehind;
        code = GetExitCodeProcess(child, &exit) ? int(exit) : kExitLeftBehind;
      }
      CloseHandle(child);
    }
  }
  for (HANDLE h : {pipeRead, pipeWrite, me})
    if (h) CloseHandle(h);
  if (heldCopy != INVALID_HANDLE_VALUE) CloseHandle(heldCopy);
  if (heldFolder != INVALID_HANDLE_VALUE) CloseHandle(heldFolder);
  if (code < 0) {
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
  }
  return code;
}

// The folder's rules for removing the original: "Work" must be the original's folder, one that
// may be emptied, and hold no log any more (the uninstall is over).
bool mayFinish(const std::string& original, const std::string& work, RemovePlatform& remover) {
  const std::optional<PathParts> folder = splitFullPath(work);
  const std::optional<PathParts> own =
      splitFullPath(remover.expandPath(folderOf(original)).value_or(""));
  std::vector<PathParts> protectedParts;
  for (const std::string& p : remover.protectedFolders())
    if (auto parts = splitFullPath(p)) protectedParts.push_back(std::move(*parts));
  return folder && own && samePath(*folder, *own) && workFolderAllowed(*folder, protectedParts) &&
         GetFileAttributesA((work + "\\UnInstall.log").c_str()) == INVALID_FILE_ATTRIBUTES;
}

// The end of the copy: once the original has ended, its file and then "Work" when empty; the
// copy's own file and folder, still in use, at the next restart.
void finish(HANDLE originalProcess, const std::string& original, const std::string& work,
            RemovePlatform& remover) {
  WaitForSingleObject(originalProcess, 60'000);
  CloseHandle(originalProcess);
  if (mayFinish(original, work, remover)) {
    // The file stays locked for a moment after its process has ended.
    for (int attempt = 0; attempt < 50 && !finishUninstall(original, work, remover); ++attempt)
      Sleep(100);
  }
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  std::wstring folder(self, n);
  folder.resize(folder.find_last_of(L'\\'));
  MoveFileExW(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// Step 2: the copy, with the pipe for its exit code and the original's process; or the original
// itself when no copy could be started (both null).
int uninstall(HANDLE exitPipe, HANDLE originalProcess, const std::string& original, bool silent) {
  Win32Registry registry;
  Win32Shell shell;
  Win32RemovePlatform remover;
  const std::string logPath = folderOf(original) + "\\UnInstall.log";
  const std::vector<std::string> protectedFolders = remover.protectedFolders();
  std::string why;
  const std::optional<UninstallLog> log =
      loadUninstallLog(remover, logPath, protectedFolders, &why);
  const int language = storedLanguage(registry, log ? log->appName : std::string());
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
  UninstallScope scope = defaultUninstallScope(registry, shell, remover, *log, logPath);
  scope.deferredFile = original;
  std::vector<std::string> roots = {log->work};
  roots.insert(roots.end(), scope.groupFolders.begin(), scope.groupFolders.end());
  roots.insert(roots.end(), scope.desktopFolders.begin(), scope.desktopFolders.end());
  remover.confineRemovalTo(roots);
  const UninstallReport report = runUninstall(*log, scope, remover);
  if (!silent) {
    std::string message;
    if (report.complete()) message = text(Text::UninstallComplete, language);
    appendItems(message, Text::UninstallLeftBehind, report.leftBehind, language);
    appendItems(message, Text::UninstallRefused, report.refused, language);
    std::vector<std::string> kept = report.kept;
    if (report.workKept) kept.push_back(log->work);
    appendItems(message, Text::UninstallWorkKept, kept, language);
    while (!message.empty() && message.front() == '\n') message.erase(0, 1);
    MessageBoxA(nullptr, message.c_str(), caption.c_str(),
                MB_OK | (report.complete() ? MB_ICONINFORMATION : MB_ICONWARNING));
  }
  const DWORD code = report.complete() ? kExitDone : kExitLeftBehind;
  if (exitPipe) {
    DWORD written = 0;
    WriteFile(exitPipe, &code, sizeof code, &written, nullptr);
    CloseHandle(exitPipe);
  }
  if (originalProcess) finish(originalProcess, original, log->work, remover);
  return int(code);
}

HANDLE handleArgument(const std::string& text) {
  return reinterpret_cast<HANDLE>(std::uintptr_t(std::strtoul(text.c_str(), nullptr, 10)));
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
  if (args.size() >= 5 && args[1] == "/_run")
    return uninstall(handleArgument(args[2]), handleArgument(args[3]), args[4], silent);
  if (self.empty()) return kExitNoLog;
  const int code = startCopy(self, silent);
  return code >= 0 ? code : uninstall(nullptr, nullptr, self, silent);
}
