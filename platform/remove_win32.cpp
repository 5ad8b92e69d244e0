#include "platform/remove_win32.h"

#include <windows.h>

#include <shlobj.h>

#include "platform/platform_win32.h"

namespace zorv {

namespace {

std::string z(std::string_view s) { return std::string(s); }

bool missing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
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

std::optional<std::vector<RemovePlatform::Entry>> Win32RemovePlatform::listFolder(
    std::string_view path) {
  const DWORD attributes = GetFileAttributesA(z(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return std::nullopt;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((z(path) + "\\*").c_str(), &found);
  std::vector<Entry> entries;
  if (find == INVALID_HANDLE_VALUE) return entries;
  do {
    const std::string_view name = found.cFileName;
    if (name == "." || name == "..") continue;
    entries.push_back({std::string(name), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                       (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return entries;
}

RemovePlatform::Outcome Win32RemovePlatform::removeFile(std::string_view path) {
  const std::string p = z(path);
  const DWORD attributes = GetFileAttributesA(p.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return missing(GetLastError()) ? Outcome::Missing : Outcome::Failed;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return Outcome::Failed;
    return RemoveDirectoryA(p.c_str()) ? Outcome::Removed : Outcome::Failed;
  }
  return DeleteFileA(p.c_str()) ? Outcome::Removed : Outcome::Failed;
}

RemovePlatform::Outcome Win32RemovePlatform::removeFolder(std::string_view path) {
  const std::string p = z(path);
  const DWORD attributes = GetFileAttributesA(p.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return missing(GetLastError()) ? Outcome::Missing : Outcome::Failed;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return Outcome::Failed;
  return RemoveDirectoryA(p.c_str()) ? Outcome::Removed : Outcome::Failed;
}

RemovePlatform::Outcome Win32RemovePlatform::removeKey(RegRoot root, std::string_view key) {
  HKEY probe = nullptr;
  const LONG opened = RegOpenKeyExA(predefinedKey(root), z(key).c_str(), 0, KEY_READ, &probe);
  if (opened == ERROR_FILE_NOT_FOUND) return Outcome::Missing;
  if (opened != ERROR_SUCCESS) return Outcome::Failed;
  RegCloseKey(probe);
  return removeKeyTree(predefinedKey(root), z(key), 0) ? Outcome::Removed : Outcome::Failed;
}

std::optional<std::string> Win32RemovePlatform::readFile(std::string_view path,
                                                         std::size_t limit) {
  HANDLE file = CreateFileA(z(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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
      CSIDL_PROGRAMS,        CSIDL_PERSONAL,          CSIDL_STARTUP,
      CSIDL_STARTMENU,       CSIDL_DESKTOPDIRECTORY,  CSIDL_FONTS,
      CSIDL_COMMON_STARTMENU, CSIDL_COMMON_PROGRAMS,  CSIDL_COMMON_STARTUP,
      CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_APPDATA,   CSIDL_LOCAL_APPDATA,
      CSIDL_COMMON_APPDATA,  CSIDL_WINDOWS,           CSIDL_SYSTEM,
      CSIDL_PROGRAM_FILES,   CSIDL_PROGRAM_FILESX86,  CSIDL_PROGRAM_FILES_COMMON,
      CSIDL_PROFILE,         CSIDL_COMMON_DOCUMENTS,
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
