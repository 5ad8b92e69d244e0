// The mapping on POSIX systems: mmap, and madvise to drop pages.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "tools/host/mapped_file.h"

namespace zorv {

MappedFile::~MappedFile() {
  if (mapped_) munmap(const_cast<std::uint8_t*>(data_), size_);
}

std::expected<void, std::string> MappedFile::open(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0) {
    const std::string failure = path + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return std::unexpected(failure);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::unexpected(path + ": not a regular file");
  }
  size_ = std::size_t(st.st_size);
  static const std::uint8_t kEmpty = 0;
  data_ = &kEmpty;
  if (size_ > 0) {
    void* p = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) {
      const std::string failure = path + ": " + std::strerror(errno);
      ::close(fd);
      return std::unexpected(failure);
    }
    data_ = static_cast<const std::uint8_t*>(p);
    mapped_ = true;
  }
  ::close(fd);
  return {};
}

void MappedFile::dropPages() const {
  if (mapped_) madvise(const_cast<std::uint8_t*>(data_), size_, MADV_DONTNEED);
}

}  // namespace zorv
