// The output's files on Windows: CreateFileA with CREATE_NEW, MoveFileExA, DeleteFileA.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cstdio>
#include <system_error>

#include "tools/host/output_file.h"

namespace zorv {

namespace {

std::string lastError() { return std::system_category().message(int(GetLastError())); }

}  // namespace

std::expected<std::FILE*, std::string> createNewFile(const std::string& path) {
  // CREATE_NEW refuses any name already there; FILE_FLAG_OPEN_REPARSE_POINT keeps a symbolic
  // link or junction at the name from being followed to a target that does not exist yet.
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return nullptr;
    return std::unexpected("cannot create " + path + ": " + lastError());
  }
  // From here the descriptor owns the handle, and then the stream owns the descriptor.
  const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_RDWR | _O_BINARY);
  if (fd < 0) CloseHandle(handle);
  std::FILE* file = fd < 0 ? nullptr : _fdopen(fd, "w+b");
  if (!file) {
    if (fd >= 0) _close(fd);
    DeleteFileA(path.c_str());
    return std::unexpected("cannot create " + path + ": no stream for its handle");
  }
  return file;
}

std::expected<void, std::string> replaceFile(const std::string& from, const std::string& to) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return {};
  return std::unexpected("cannot write " + to + ": " + lastError());
}

void removeFile(const std::string& path) { DeleteFileA(path.c_str()); }

}  // namespace zorv
