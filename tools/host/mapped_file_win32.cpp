// The mapping on Windows: a read-only view of the whole file. The view keeps the mapping
// alive, so both handles are closed at once and only the view is kept.
#include <windows.h>

#include <system_error>
#include <utility>

#include "tools/host/mapped_file.h"

namespace zorv {

namespace {

std::string lastError(const std::string& path) {
  return path + ": " + std::system_category().message(int(GetLastError()));
}

}  // namespace

MappedFile::~MappedFile() {
  if (mapped_) UnmapViewOfFile(data_);
}

std::expected<void, std::string> MappedFile::open(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::unexpected(lastError(path));
  LARGE_INTEGER size{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
    CloseHandle(file);
    return std::unexpected(path + ": not a regular file");
  }
  if (std::uint64_t(size.QuadPart) > SIZE_MAX) {
    CloseHandle(file);
    return std::unexpected(path + ": too large to map");
  }
  size_ = std::size_t(size.QuadPart);
  static const std::uint8_t kEmpty = 0;
  data_ = &kEmpty;
  if (size_ > 0) {
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    const std::string failure = view ? "" : lastError(path);
    if (mapping) CloseHandle(mapping);
    if (view == nullptr) {
      CloseHandle(file);
      return std::unexpected(failure);
    }
    data_ = static_cast<const std::uint8_t*>(view);
    mapped_ = true;
  }
  CloseHandle(file);
  return {};
}

// Unlocking pages that are not locked takes them out of the working set; they are read from
// the file again if needed.
void MappedFile::dropPages() const {
  if (mapped_) VirtualUnlock(const_cast<std::uint8_t*>(data_), size_);
}

}  // namespace zorv
