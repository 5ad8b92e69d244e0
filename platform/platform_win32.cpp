#include "platform/platform_win32.h"

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

namespace zorv {

namespace {

std::string z(std::string_view s) { return std::string(s); }

HKEY keyOf(KeyHandle key) { return reinterpret_cast<HKEY>(key); }

}  // namespace

// Process and time.

std::optional<std::string> Win32Process::currentDirectory() {
  char dir[MAX_PATH];
  DWORD n = GetCurrentDirectoryA(sizeof dir, dir);
  if (n == 0 || n >= sizeof dir) return std::nullopt;
  return std::string(dir, n);
}

bool Win32Process::setCurrentDirectory(std::string_view dir) {
  return SetCurrentDirectoryA(z(dir).c_str()) != FALSE;
}

// The handles of the started process and its thread are closed at once: nothing waits for it.
bool Win32Process::startProcess(std::string_view application, std::string_view commandLine) {
  std::string app = z(application);
  std::string line = z(commandLine);  // CreateProcessA may write into its command line
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessA(app.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

SystemTime Win32Process::utcNow() {
  SYSTEMTIME t;
  GetSystemTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

// Folders.

bool Win32Folders::pathExists(std::string_view path) {
  return GetFileAttributesA(z(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32Folders::isFolder(std::string_view path) {
  const DWORD attributes = GetFileAttributesA(z(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Folders::createDirectory(std::string_view path) {
  return CreateDirectoryA(z(path).c_str(), nullptr) != FALSE;
}

std::optional<std::uint64_t> Win32Folders::freeBytes(std::string_view path) {
  ULARGE_INTEGER available, total, free;
  if (!GetDiskFreeSpaceExA(z(path).c_str(), &available, &total, &free)) return std::nullopt;
  return available.QuadPart;
}

// Files.

// The runtime's low-level open: binary (no line-end translation), shared with other readers
// and writers, and not read-only when created.
FileHandle Win32Files::openOutputFile(std::string_view path) {
  int fd = _sopen(z(path).c_str(), _O_BINARY | _O_RDWR | _O_CREAT | _O_TRUNC, _SH_DENYNO,
                  _S_IREAD | _S_IWRITE);
  return fd < 0 ? kNoFile : fd;
}

FileHandle Win32Files::openAppendFile(std::string_view path) {
  int fd = _sopen(z(path).c_str(), _O_BINARY | _O_WRONLY | _O_APPEND, _SH_DENYNO);
  return fd < 0 ? kNoFile : fd;
}

bool Win32Files::writeFile(FileHandle file, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    unsigned chunk = unsigned(std::min<std::size_t>(bytes.size(), 1u << 30));
    int n = _write(file, bytes.data(), chunk);
    if (n <= 0) return false;
    bytes = bytes.subspan(std::size_t(n));
  }
  return true;
}

void Win32Files::closeFile(FileHandle file) {
  if (file != kNoFile) _close(file);
}

std::optional<std::string> Win32Files::readFileStart(std::string_view path, std::size_t limit) {
  HANDLE file = CreateFileA(z(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes(limit, '\0');
  DWORD read = 0;
  const bool ok = ReadFile(file, bytes.data(), DWORD(limit), &read, nullptr);
  CloseHandle(file);
  if (!ok) return std::nullopt;
  bytes.resize(read);
  return bytes;
}

void Win32Files::deleteFile(std::string_view path) { DeleteFileA(z(path).c_str()); }

bool Win32Files::replaceFile(std::string_view from, std::string_view to) {
  return MoveFileExA(z(from).c_str(), z(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// Registry.

// The value is read into a 260-byte buffer of which at most 259 bytes are offered, so the
// text always ends inside it whatever the stored type or length; a longer value fails.
std::optional<std::string> Win32Registry::readString(RegRoot root, std::string_view key,
                                                     std::string_view value) {
  HKEY k;
  if (RegOpenKeyExA(predefinedKey(root), z(key).c_str(), 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS)
    return std::nullopt;
  char data[MAX_PATH] = {};
  DWORD size = sizeof data - 1;
  LONG result =
      RegQueryValueExA(k, z(value).c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(k);
  if (result != ERROR_SUCCESS) return std::nullopt;
  return std::string(data, strnlen(data, std::min<std::size_t>(size, sizeof data - 1)));
}

KeyHandle Win32Registry::createKey(RegRoot root, std::string_view key) {
  HKEY k = nullptr;
  if (RegCreateKeyExA(predefinedKey(root), z(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &k, nullptr) != ERROR_SUCCESS ||
      k == nullptr)
    return kNoKey;
  return reinterpret_cast<KeyHandle>(k);
}

bool Win32Registry::setString(KeyHandle key, std::string_view value, std::string_view data) {
  std::string text = z(data);
  return RegSetValueExA(keyOf(key), z(value).c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text.c_str()),
                        DWORD(text.size() + 1)) == ERROR_SUCCESS;
}

bool Win32Registry::setDword(KeyHandle key, std::string_view value, std::uint32_t data) {
  const DWORD d = data;
  return RegSetValueExA(keyOf(key), z(value).c_str(), 0, REG_DWORD,
                        reinterpret_cast<const BYTE*>(&d), sizeof d) == ERROR_SUCCESS;
}

void Win32Registry::closeKey(KeyHandle key) {
  if (key != kNoKey) RegCloseKey(keyOf(key));
}

// Shell.

HKEY predefinedKey(RegRoot root) {
  switch (root) {
    case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RegRoot::CurrentConfig: return HKEY_CURRENT_CONFIG;
    case RegRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::Users: return HKEY_USERS;
  }
  return HKEY_LOCAL_MACHINE;
}

void restrictDllSearch() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  using SetDefaultDirs = BOOL(WINAPI*)(DWORD);
  if (auto set = systemFunction<SetDefaultDirs>(kernel, "SetDefaultDllDirectories")) {
    set(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return;
  }
  using SetDllDir = BOOL(WINAPI*)(LPCSTR);
  if (auto set = systemFunction<SetDllDir>(kernel, "SetDllDirectoryA")) set("");
}

std::optional<std::string> pathOfItemList(LPITEMIDLIST items) {
  char path[MAX_PATH] = {};
  BOOL ok = SHGetPathFromIDListA(items, path);
  IMalloc* shellMalloc = nullptr;
  if (SUCCEEDED(SHGetMalloc(&shellMalloc)) && shellMalloc != nullptr) {
    shellMalloc->Free(items);
    shellMalloc->Release();
  }
  if (!ok) return std::nullopt;
  path[MAX_PATH - 1] = 0;
  return std::string(path);
}

std::optional<std::string> Win32Shell::specialFolder(SpecialFolder folder) {
  LPITEMIDLIST items = nullptr;
  if (SHGetSpecialFolderLocation(nullptr, int(folder), &items) != S_OK || items == nullptr)
    return std::nullopt;
  return pathOfItemList(items);
}

// One shell link object serves every link of a run; its working directory is set once.
bool Win32Shell::beginLinks(std::string_view workingDirectory) {
  endLinks();
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link_))) ||
      link_ == nullptr) {
    link_ = nullptr;
    return false;
  }
  if (FAILED(link_->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&linkFile_))) ||
      linkFile_ == nullptr) {
    linkFile_ = nullptr;
    endLinks();
    return false;
  }
  link_->SetWorkingDirectory(z(workingDirectory).c_str());
  return true;
}

bool Win32Shell::saveLink(std::string_view linkPath, std::string_view target,
                          std::string_view description) {
  if (link_ == nullptr || linkFile_ == nullptr) return false;
  link_->SetPath(z(target).c_str());
  link_->SetDescription(z(description).c_str());
  WCHAR wide[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, z(linkPath).c_str(), -1, wide, MAX_PATH) == 0) return false;
  return SUCCEEDED(linkFile_->Save(wide, TRUE));
}

void Win32Shell::endLinks() {
  if (linkFile_ != nullptr) linkFile_->Release();
  if (link_ != nullptr) link_->Release();
  linkFile_ = nullptr;
  link_ = nullptr;
}

}  // namespace zorv
