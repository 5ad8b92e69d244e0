// Which file a path names on POSIX systems: its device and inode, through every link.
#include "tools/host/file_identity.h"

#include <sys/stat.h>

namespace zorv {

std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace zorv
