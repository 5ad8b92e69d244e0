#include "platform/remove_win32.h"

#include <windows.h>

#include <shlobj.h>

#include "platform/platform_win32.h"

namespace zorv {

namespace {

std::string z(std::string_view s) { return std::string(s); }

bool missing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// ANSI text in the wide form; none for bytes that are no text of the code page.
std::optional<std::wstring> wide(std::string_view ansi) {
  if (ansi.empty()) return std::wstring();
  const int n =
      MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), int(ansi.size()), nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring out(std::size_t(n), L'\0');
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), int(ansi.size()), out.data(), n);
  return out;
}

// The ANSI form of a name of the system, with '?' for what the code page lacks; `exact` tells
// whether it converts back to the very same name. Best fit is never used: it would make
// "..\" out of U+FF0E U+FF0E U+FF3C.
std::string ansi(std::wstring_view name, bool* exact) {
  *exact = false;
  if (name.empty()) {
    *exact = true;
    return {};
  }
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.data(), int(name.size()),
                                    nullptr, 0, "?", &usedDefault);
  if (n <= 0) return "?";
  std::string out(std::size_t(n), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.data(), int(name.size()), out.data(), n,
                      "?", &usedDefault);
  const std::optional<std::wstring> back = wide(out);
  *exact = !usedDefault && back && *back == name;
  return out;
}

bool sameText(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         (a.empty() || CompareStringOrdinal(a.data(), int(a.size()), b.data(), int(b.size()),
                                            TRUE) == CSTR_EQUAL);
}

// A path as the system resolves one: "/" turned to "\", runs of separators and "." names
// dropped, and the trailing dots and blanks of the last name. None for a ".." name.
std::optional<std::wstring> resolvedForm(std::wstring_view path) {
  std::wstring out;
  std::size_t start = 0;
  // A share's leading pair of separators is kept.
  if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
    out = L"\\\\";
    start = 2;
  }
  for (std::size_t i = start; i <= path.size(); ++i) {
    if (i < path.size() && !isSeparator(path[i])) continue;
    const std::wstring_view name = path.substr(start, i - start);
    start = i + 1;
    if (name.empty() || name == L".") continue;
    if (name == L"..") return std::nullopt;
    if (!out.empty() && out.back() != L'\\') out += L'\\';
    out.append(name);
  }
  while (!out.empty() && (out.back() == L'.' || out.back() == L' ')) out.pop_back();
  return out;
}

// The system's own name for an open handle, without its "\\?\" (or "\\?\UNC\") prefix.
std::optional<std::wstring> finalName(HANDLE handle) {
  std::wstring name(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD n = GetFinalPathNameByHandleW(handle, name.data(), DWORD(name.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return std::nullopt;
    if (n < name.size()) {
      name.resize(n);
      if (name.starts_with(L"\\\\?\\UNC\\")) return L"\\" + name.substr(7);
      if (name.starts_with(L"\\\\?\\")) return name.substr(4);
      return name;
    }
    name.assign(n + 1, L'\0');
  }
  return std::nullopt;
}

// The sub-keys first, each with its own, then the key. Keys nest at most 512 deep in the
// registry; the walk stops at 64 and leaves the rest.
bool removeKeyTree(HKEY parent, const std::string& name, int depth) {
  if (depth > 64) return false;
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
  bool ok = true;
  char sub[256];
  for (DWORD skipped = 0;;) {
    DWORD length = sizeof sub;
    if (RegEnumKeyExA(key, skipped, sub, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    if (!removeKeyTree(key, sub, depth + 1)) {
      ok = false;
      ++skipped;  // left behind: go on with the next one
    }
  }
  RegCloseKey(key);
  return RegDeleteKeyA(parent, name.c_str()) == ERROR_SUCCESS && ok;
}

}  // namespace

// An entry opened as itself, after its name was checked; closed when it goes out of scope.
struct Win32RemovePlatform::Opened {
  Outcome state = Outcome::Failed;  // Removed here means found and checked
  HANDLE handle = INVALID_HANDLE_VALUE;
  DWORD attributes = 0;
  std::wstring path;

  Opened() = default;
  Opened(Opened&& other) noexcept
      : state(other.state),
        handle(other.handle),
        attributes(other.attributes),
        path(std::move(other.path)) {
    other.handle = INVALID_HANDLE_VALUE;
  }
  ~Opened() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  bool found() const { return state == Outcome::Removed; }
  bool folder() const { return attributes & FILE_ATTRIBUTE_DIRECTORY; }
  bool link() const { return attributes & FILE_ATTRIBUTE_REPARSE_POINT; }
};

void Win32RemovePlatform::confineRemovalTo(std::vector<std::string> roots) {
  roots_.clear();
  confined_ = true;
  for (const std::string& root : roots) {
    const std::optional<std::wstring> given = wide(root);
    if (!given || given->empty()) continue;
    const std::optional<std::wstring> form = resolvedForm(*given);
    if (!form || form->empty()) continue;
    Root r{*form, *form};
    // Links above and at the root are followed here, once: they are the system's, not the
    // log's. A root that does not exist keeps its own name, so nothing made there later
    // through a link matches it.
    HANDLE h = CreateFileW(form->c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      if (std::optional<std::wstring> final = finalName(h)) r.final = std::move(*final);
      CloseHandle(h);
    }
    while (!r.final.empty() && r.final.back() == L'\\') r.final.pop_back();
    roots_.push_back(std::move(r));
  }
}

// Opens the entry at `path` itself. Found only when the path lies at or below a root (any
// full path while unconfined) and the system's name for what was opened is the root's own
// followed by the path's names: whatever else it is, some name on the way was a link.
Win32RemovePlatform::Opened Win32RemovePlatform::open(std::string_view path, unsigned long access,
                                                      unsigned long share) {
  Opened o;
  const std::optional<std::wstring> given = wide(path);
  const std::optional<std::wstring> form = given ? resolvedForm(*given) : std::nullopt;
  if (!form || form->empty()) return o;
  std::wstring expected;
  if (!confined_) {
    expected = *form;
  } else {
    for (const Root& root : roots_) {
      const std::size_t n = root.given.size();
      if (form->size() >= n && sameText(std::wstring_view(*form).substr(0, n), root.given) &&
          (form->size() == n || (*form)[n] == L'\\')) {
        expected = root.final + form->substr(n);
        break;
      }
    }
    if (expected.empty()) return o;  // outside every root
  }
  o.path = *form;
  o.handle = CreateFileW(form->c_str(), access, share, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (o.handle == INVALID_HANDLE_VALUE) {
    o.state = missing(GetLastError()) ? Outcome::Missing : Outcome::Failed;
    return o;
  }
  BY_HANDLE_FILE_INFORMATION info;
  const std::optional<std::wstring> final = finalName(o.handle);
  if (!GetFileInformationByHandle(o.handle, &info) || !final || !sameText(*final, expected))
    return o;
  o.attributes = info.dwFileAttributes;
  o.state = Outcome::Removed;
  return o;
}

std::optional<std::string> Win32RemovePlatform::expandPath(std::string_view path) {
  const std::optional<std::wstring> given = wide(path);
  if (!given) return std::nullopt;
  // The deepest prefix that the system can expand; the names past it stay as they are.
  std::wstring head = *given, tail;
  std::wstring longForm;
  for (;;) {
    const DWORD n = GetLongPathNameW(head.c_str(), nullptr, 0);
    if (n > 0) {
      longForm.assign(n, L'\0');
      const DWORD m = GetLongPathNameW(head.c_str(), longForm.data(), n);
      if (m > 0 && m < n) {
        longForm.resize(m);
        break;
      }
    }
    std::size_t cut = head.find_last_of(L"\\/");
    if (cut == std::wstring::npos || cut <= 2) {  // at a root: nothing of it exists
      longForm = head;
      break;
    }
    tail.insert(0, head.substr(cut));
    head.resize(cut);
  }
  if (tail.find(L'~') != std::wstring::npos) return std::nullopt;
  bool exact = false;
  std::string out = ansi(longForm + tail, &exact);
  if (!exact) return std::nullopt;
  return out;
}

std::optional<std::vector<RemovePlatform::Entry>> Win32RemovePlatform::listFolder(
    std::string_view path) {
  // Held without sharing deletion, so that the folder cannot be renamed while it is listed.
  const Opened folder =
      open(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (!folder.found() || !folder.folder() || folder.link()) return std::nullopt;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileExW((folder.path + L"\\*").c_str(), FindExInfoBasic, &found,
                                 FindExSearchNameMatch, nullptr, 0);
  std::vector<Entry> entries;
  if (find == INVALID_HANDLE_VALUE) return entries;
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    Entry e;
    e.name = ansi(name, &e.exact);
    e.folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    e.link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entries.push_back(std::move(e));
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return entries;
}

// Through the handle that was checked: the entry removed is the one whose name was judged.
RemovePlatform::Outcome Win32RemovePlatform::removeFile(std::string_view path) {
  const Opened o = open(path, DELETE | FILE_READ_ATTRIBUTES,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  if (!o.found()) return o.state;
  if (o.folder() && !o.link()) return Outcome::Failed;
  FILE_DISPOSITION_INFO dispose = {TRUE};
  return SetFileInformationByHandle(o.handle, FileDispositionInfo, &dispose, sizeof dispose)
             ? Outcome::Removed
             : Outcome::Failed;
}

RemovePlatform::Outcome Win32RemovePlatform::removeFolder(std::string_view path) {
  std::wstring at;
  {
    const Opened o = open(path, DELETE | FILE_READ_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (!o.found()) return o.state;
    if (!o.folder()) return Outcome::Failed;
    FILE_DISPOSITION_INFO dispose = {TRUE};
    if (!SetFileInformationByHandle(o.handle, FileDispositionInfo, &dispose, sizeof dispose))
      return Outcome::Failed;
    at = o.path;
  }
  // A folder that is not empty may take the mark and stay when the handle closes.
  return GetFileAttributesW(at.c_str()) == INVALID_FILE_ATTRIBUTES ? Outcome::Removed
                                                                   : Outcome::Failed;
}

RemovePlatform::Outcome Win32RemovePlatform::removeKey(RegRoot root, std::string_view key) {
  HKEY probe = nullptr;
  const LONG opened = RegOpenKeyExA(predefinedKey(root), z(key).c_str(), 0, KEY_READ, &probe);
  if (opened == ERROR_FILE_NOT_FOUND) return Outcome::Missing;
  if (opened != ERROR_SUCCESS) return Outcome::Failed;
  RegCloseKey(probe);
  return removeKeyTree(predefinedKey(root), z(key), 0) ? Outcome::Removed : Outcome::Failed;
}

std::optional<std::string> Win32RemovePlatform::readFile(std::string_view path, std::size_t limit) {
  const std::optional<std::wstring> w = wide(path);
  if (!w) return std::nullopt;
  HANDLE file = CreateFileW(w->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<std::string> text;
  DWORD high = 0;
  const DWORD size = GetFileSize(file, &high);
  if (size != INVALID_FILE_SIZE && high == 0 && size <= limit) {
    std::string bytes(size, '\0');
    DWORD read = 0;
    if (size == 0 || (ReadFile(file, bytes.data(), size, &read, nullptr) && read == size))
      text = std::move(bytes);
  }
  CloseHandle(file);
  return text;
}

std::vector<std::string> Win32RemovePlatform::protectedFolders() {
  // The user's and all users' folders, the Start menu's and the system's.
  static constexpr int kFolders[] = {
      CSIDL_PROGRAMS,         CSIDL_PERSONAL,
      CSIDL_STARTUP,          CSIDL_STARTMENU,
      CSIDL_DESKTOPDIRECTORY, CSIDL_FONTS,
      CSIDL_COMMON_STARTMENU, CSIDL_COMMON_PROGRAMS,
      CSIDL_COMMON_STARTUP,   CSIDL_COMMON_DESKTOPDIRECTORY,
      CSIDL_APPDATA,          CSIDL_LOCAL_APPDATA,
      CSIDL_COMMON_APPDATA,   CSIDL_WINDOWS,
      CSIDL_SYSTEM,           CSIDL_PROGRAM_FILES,
      CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON,
      CSIDL_PROFILE,          CSIDL_COMMON_DOCUMENTS,
  };
  std::vector<std::string> folders;
  for (int csidl : kFolders) {
    LPITEMIDLIST items = nullptr;
    if (SHGetSpecialFolderLocation(nullptr, csidl, &items) != S_OK || items == nullptr) continue;
    if (auto path = pathOfItemList(items)) folders.push_back(std::move(*path));
  }
  char windows[MAX_PATH];
  const UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
  if (n > 0 && n < MAX_PATH) folders.emplace_back(windows, n);
  return folders;
}

}  // namespace zorv
