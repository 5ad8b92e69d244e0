// The output's files on POSIX systems: open with O_EXCL and O_NOFOLLOW, rename, unlink.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/host/output_file.h"

namespace zorv {

std::expected<std::FILE*, std::string> createNewFile(const std::string& path) {
  // O_EXCL refuses any name already there, a symbolic link too; O_NOFOLLOW says so again. The
  // mode is narrowed by the umask, as fopen's would be.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == EEXIST) return nullptr;
    return std::unexpected("cannot create " + path + ": " + std::strerror(errno));
  }
  std::FILE* file = ::fdopen(fd, "w+b");
  if (!file) {
    std::string why = "cannot create " + path + ": " + std::strerror(errno);
    ::close(fd);
    ::unlink(path.c_str());
    return std::unexpected(std::move(why));
  }
  return file;
}

std::expected<void, std::string> replaceFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) == 0) return {};
  return std::unexpected("cannot write " + to + ": " + std::strerror(errno));
}

void removeFile(const std::string& path) { ::unlink(path.c_str()); }

}  // namespace zorv
