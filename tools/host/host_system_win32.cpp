// The tool's system on Windows: the Win32 platform that setup.exe and uninstall.exe use, seen
// from a console: its files and folders behind a guard against links, its shell with the
// folders that the command line gives, and message boxes on standard error. Paths stay in the
// ANSI code page, as the platform takes them.
#include <windows.h>

#include <io.h>

#include <cstdio>
#include <cstring>

#include "platform/platform_win32.h"
#include "platform/remove_win32.h"
#include "platform/terminal_text.h"
#include "tools/host/host_system.h"

namespace zorv {

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

std::string withoutTrailingSeparators(std::string path) {
  // "C:\" and "\" keep theirs: they name a root.
  while (path.size() > 1 && isSeparator(path.back()) && !(path.size() == 3 && path[1] == ':'))
    path.pop_back();
  return path;
}

// No reparse point is followed below a confining folder: a name of the package that passes
// through a junction or symbolic link already there is refused. Shared by the console's files
// and folders.
class LinkGuard {
 public:
  void confineBelow(std::string_view root) { root_ = withoutTrailingSeparators(std::string(root)); }
  const std::string& refusedLink() const { return refusedLink_; }

  // The components strictly between the root and the path's end, from the root down; each must
  // be no reparse point. The path must be below the root, as the engine makes every path of a
  // run; ".." is refused.
  bool throughLink(std::string_view path) {
    refusedLink_.clear();
    if (root_.empty() || !below(path)) return false;
    std::size_t at = root_.size();
    for (;;) {
      const std::size_t next = path.find_first_of("\\/", at + 1);
      if (next == std::string_view::npos) return false;
      const std::string_view part = path.substr(at + 1, next - at - 1);
      if (part == "..") return refuse(path.substr(0, next));
      if (isLink(path.substr(0, next))) return refuse(path.substr(0, next));
      at = next;
    }
  }
  // A link at the end is refused too where opening it would write to its target.
  bool throughOrAtLink(std::string_view path) {
    return throughLink(path) || (!root_.empty() && below(path) && isLink(path) && refuse(path));
  }

 private:
  bool below(std::string_view path) const {
    return path.size() > root_.size() + 1 && isSeparator(path[root_.size()]) &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.data(), int(root_.size()),
                          root_.data(), int(root_.size())) == CSTR_EQUAL;
  }
  static bool isLink(std::string_view path) {
    const DWORD a = GetFileAttributesA(std::string(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
  }
  bool refuse(std::string_view link) {
    refusedLink_ = link;
    return true;
  }

  std::string root_, refusedLink_;
};

// The Win32 files and folders of setup.exe behind the guard.
class ConsoleFolders final : public Win32Folders {
 public:
  explicit ConsoleFolders(LinkGuard& guard) : guard_(guard) {}
  bool pathExists(std::string_view path) override {
    return !guard_.throughLink(path) && Win32Folders::pathExists(path);
  }
  bool createDirectory(std::string_view path) override {
    return !guard_.throughLink(path) && Win32Folders::createDirectory(path);
  }

 private:
  LinkGuard& guard_;
};

class ConsoleFiles final : public Win32Files {
 public:
  explicit ConsoleFiles(LinkGuard& guard) : guard_(guard) {}
  void deleteFile(std::string_view path) override {
    if (!guard_.throughLink(path)) Win32Files::deleteFile(path);
  }
  FileHandle openOutputFile(std::string_view path) override {
    return guard_.throughOrAtLink(path) ? kNoFile : Win32Files::openOutputFile(path);
  }
  FileHandle openAppendFile(std::string_view path) override {
    return guard_.throughOrAtLink(path) ? kNoFile : Win32Files::openAppendFile(path);
  }
  bool replaceFile(std::string_view from, std::string_view to) override {
    if (guard_.throughLink(from) || guard_.throughOrAtLink(to)) return false;
    return Win32Files::replaceFile(from, to);
  }

 private:
  LinkGuard& guard_;
};

// The shell's folders, but for the Programs and Desktop folders that the command line gave.
class ConsoleShell final : public Win32Shell {
 public:
  explicit ConsoleShell(const PlatformPaths& paths)
      : programs_(paths.programsDir), desktop_(paths.desktopDir) {}
  std::optional<std::string> specialFolder(SpecialFolder folder) override {
    // Given folders stand for the user's and all users' alike.
    const bool programs =
        folder == SpecialFolder::Programs || folder == SpecialFolder::CommonPrograms;
    const bool desktop = folder == SpecialFolder::DesktopDirectory ||
                         folder == SpecialFolder::CommonDesktopDirectory;
    if (programs && !programs_.empty()) return programs_;
    if (desktop && !desktop_.empty()) return desktop_;
    return Win32Shell::specialFolder(folder);
  }

 private:
  std::string programs_, desktop_;
};

// Nobody answers on a console: a question is printed as a message and the answer is Cancel
// (Dialogs::askRetry).
class ConsoleDialogs final : public Dialogs {
 public:
  // As the POSIX platform prints it: "caption: text", each line through terminalText.
  void messageBox(std::string_view text, std::string_view caption) override {
    const std::string out = terminalMessage(caption, text);
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
  }
};

class Win32Host final : public HostSystem {
 public:
  explicit Win32Host(const PlatformPaths& paths) : shell_(paths) {
    if (!paths.registryFile.empty())
      error_ = "--registry-file: on Windows the registry is the system's own";
  }
  const Platform& platform() override { return platform_; }
  RemovePlatform& remover() override { return remover_; }
  const std::string& error() const override { return error_; }
  std::string programsFolder() override {
    return shell_.specialFolder(SpecialFolder::Programs).value_or("");
  }
  std::string desktopFolder() override {
    return shell_.specialFolder(SpecialFolder::DesktopDirectory).value_or("");
  }
  std::expected<void, std::string> prepareInstall() override {
    for (const std::string& dir : {programsFolder(), desktopFolder()}) {
      if (dir.empty()) return std::unexpected("the system names no Programs or Desktop folder");
      if (!createFolders(dir)) return std::unexpected("cannot create " + dir);
    }
    return {};
  }
  void confineBelow(std::string_view root) override { guard_.confineBelow(root); }
  const std::string& refusedLink() const override { return guard_.refusedLink(); }
  void confineRemovalTo(std::vector<std::string> roots) override {
    remover_.confineRemovalTo(std::move(roots));
  }
  int useCodePage(int) override { return 0; }
  std::string hostText(std::string_view text) const override { return std::string(text); }
  std::optional<std::string> engineText(std::string_view text) const override {
    return std::string(text);
  }
  bool noteLogCodePage(const std::string&) override { return true; }

 private:
  LinkGuard guard_;
  Win32Process process_;
  ConsoleFiles files_{guard_};
  ConsoleFolders folders_{guard_};
  Win32Registry registry_;
  ConsoleShell shell_;
  ConsoleDialogs dialogs_;
  const Platform platform_{process_, files_, folders_, registry_, shell_, dialogs_};
  Win32RemovePlatform remover_;
  std::string error_;
};

}  // namespace

void restrictLibrarySearch() { restrictDllSearch(); }

// The shell's folders and links need COM on this thread; the process ends with it still open.
std::unique_ptr<HostSystem> openHostSystem(const PlatformPaths& paths) {
  CoInitialize(nullptr);
  PlatformPaths absolute = paths;
  for (std::string* p : {&absolute.programsDir, &absolute.desktopDir})
    if (!p->empty()) *p = absolutePath(*p);
  return std::make_unique<Win32Host>(absolute);
}

std::unique_ptr<HostSystem> openFilesOnlySystem() { return openHostSystem({}); }

std::string absolutePath(const std::string& path) {
  char full[MAX_PATH];
  const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  if (n == 0 || n >= sizeof full) return path;
  return withoutTrailingSeparators(std::string(full, n));
}

std::string parentFolder(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos) return path;
  return withoutTrailingSeparators(path.substr(0, cut + 1));
}

std::string pathIn(const std::string& folder, std::string_view name) {
  return folder + (isSeparator(folder.empty() ? '\\' : folder.back()) ? "" : "\\") +
         std::string(name);
}

bool sameFolder(std::string_view a, std::string_view b) {
  const std::string x = withoutTrailingSeparators(std::string(a));
  const std::string y = withoutTrailingSeparators(std::string(b));
  return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, x.data(), int(x.size()), y.data(),
                        int(y.size())) == CSTR_EQUAL;
}

std::string hostPath(std::string_view path) { return std::string(path); }

// Through UTF-16; a text the conversion refuses stays as it is, and the checks of its field
// then find that it is not UTF-8.
std::string commandLineText(const std::string& text) {
  if (text.empty()) return text;
  const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
  if (units <= 0) return text;
  std::wstring wide(std::size_t(units), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(), units);
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return text;
  std::string out(std::size_t(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, out.data(), bytes, nullptr, nullptr);
  return out;
}

std::string shownPath(std::string_view item) { return terminalText(item); }

bool createFolders(const std::string& folder) {
  const std::string path = absolutePath(folder);
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && !isSeparator(path[i])) continue;
    const std::string prefix = path.substr(0, i);
    if (prefix.empty() || prefix.back() == ':' || prefix == "\\") continue;
    CreateDirectoryA(prefix.c_str(), nullptr);
  }
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool stdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

}  // namespace zorv
