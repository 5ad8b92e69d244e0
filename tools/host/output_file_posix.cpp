// The output's files on POSIX systems: open with O_EXCL and O_NOFOLLOW, rename, unlink.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/host/output_file.h"

namespace zorv {

NewFile createNewFile(const std::string& path, std::FILE** file, std::string* why) {
  // O_EXCL refuses any name already there, a symbolic link too; O_NOFOLLOW says so again. The
  // mode is narrowed by the umask, as fopen's would be.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == EEXIST) return NewFile::NameTaken;
    *why = "cannot create " + path + ": " + std::strerror(errno);
    return NewFile::Failed;
  }
  *file = ::fdopen(fd, "w+b");
  if (!*file) {
    *why = "cannot create " + path + ": " + std::strerror(errno);
    ::close(fd);
    ::unlink(path.c_str());
    return NewFile::Failed;
  }
  return NewFile::Created;
}

bool replaceFile(const std::string& from, const std::string& to, std::string* why) {
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  *why = "cannot write " + to + ": " + std::strerror(errno);
  return false;
}

void removeFile(const std::string& path) { ::unlink(path.c_str()); }

}  // namespace zorv
