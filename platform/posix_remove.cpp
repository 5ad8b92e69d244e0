// The uninstaller's half of the POSIX platform: listing and removing files, folders and
// registry keys, reading the log, and the folders that must never go.
//
// The uninstall engine compares paths as Windows does (without regard to case, trailing dots
// and blanks dropped), while this file system tells "App", "APP" and "App." apart. So once
// confined, a path is acted on only when it begins, byte for byte, with one of the roots, and
// everything below the root is reached without following a link: what the engine takes for a
// path inside "Work" is then really inside it.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/posix_internal.h"
#include "platform/posix_platform.h"

namespace zorv {

namespace {

// Folders of the system that no uninstall may empty, besides the user's own.
constexpr const char* kSystemFolders[] = {
    "/",        "/bin",       "/boot",     "/dev",       "/etc", "/home",    "/lib",
    "/lib32",   "/lib64",     "/media",    "/mnt",       "/opt", "/proc",    "/root",
    "/run",     "/sbin",      "/srv",      "/sys",       "/tmp", "/usr",     "/usr/bin",
    "/usr/lib", "/usr/local", "/usr/sbin", "/usr/share", "/var", "/var/lib", "/var/tmp",
};

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool missingError(int error) { return error == ENOENT || error == ENOTDIR; }

// True when `key` is `tree` or one of its sub-keys, at any depth.
bool holds(const RegistryStore::Key& tree, const RegistryStore::Key* key) {
  if (&tree == key) return true;
  for (const auto& sub : tree.subKeys)
    if (holds(*sub, key)) return true;
  return false;
}

}  // namespace

// Where a removal acts: a folder's descriptor (or the current directory's, for a path used as
// given) and a name in it.
struct PosixPlatform::RemovalPlace {
  enum class State { Found, Missing, Refused } state = State::Refused;
  posix::BelowRoot below;  // owns the descriptor when the path lies below a root
  int dir = AT_FDCWD;
  std::string name;
};

void PosixPlatform::confineRemovalTo(std::vector<std::string> roots) {
  removalRoots_.clear();
  for (const std::string& root : roots)
    if (!root.empty()) removalRoots_.push_back(withoutTrailingSlashes(posixPath(root)));
  removalConfined_ = true;
}

void PosixPlatform::locateForRemoval(std::string_view path, RemovalPlace& place) {
  using State = RemovalPlace::State;
  const std::string p = hostPath(path);
  if (!removalConfined_) {
    place.name = p;
    place.state = State::Found;
    return;
  }
  for (const std::string& root : removalRoots_) {
    std::string link;
    posix::walkBelow(root, p, place.below, &link);
    if (!place.below.below) continue;
    if (place.below.dir >= 0) {
      place.dir = place.below.dir;
      place.name = place.below.leaf;
      place.state = State::Found;
    } else {
      // A folder on the way is missing: so is the path. A link or ".." on the way: refused.
      place.state =
          link.empty() && missingError(place.below.error) ? State::Missing : State::Refused;
    }
    return;
  }
  for (const std::string& root : removalRoots_) {
    if (withoutTrailingSlashes(p) == root) {
      place.name = root;
      place.state = State::Found;
      return;
    }
  }
  place.state = State::Refused;
}

// Opened without following a link at the end: a link, like a file, is no folder to list.
std::optional<std::vector<RemovePlatform::Entry>> PosixPlatform::listFolder(std::string_view path) {
  RemovalPlace at;
  locateForRemoval(path, at);
  if (at.state != RemovalPlace::State::Found) return std::nullopt;
  const int fd = openat(at.dir, at.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  DIR* folder = fdopendir(fd);
  if (!folder) {
    close(fd);
    return std::nullopt;
  }
  std::vector<Entry> entries;
  while (const dirent* e = readdir(folder)) {
    const std::string_view name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    if (fstatat(dirfd(folder), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone
    std::optional<std::string> engineName = engineText(name);
    if (!engineName) continue;
    entries.push_back({std::move(*engineName), S_ISDIR(st.st_mode), S_ISLNK(st.st_mode)});
  }
  closedir(folder);
  return entries;
}

// unlink takes a link itself, whatever it points at, and refuses a folder (EISDIR).
RemovePlatform::Outcome PosixPlatform::removeFile(std::string_view path) {
  RemovalPlace at;
  locateForRemoval(path, at);
  if (at.state == RemovalPlace::State::Missing) return Outcome::Missing;
  if (at.state == RemovalPlace::State::Refused) return Outcome::Failed;
  if (unlinkat(at.dir, at.name.c_str(), 0) == 0) return Outcome::Removed;
  return missingError(errno) ? Outcome::Missing : Outcome::Failed;
}

// If the entry changes between the look and the removal, the removal fails: rmdir refuses a
// link (ENOTDIR) and unlink a folder (EISDIR).
RemovePlatform::Outcome PosixPlatform::removeFolder(std::string_view path) {
  RemovalPlace at;
  locateForRemoval(path, at);
  if (at.state == RemovalPlace::State::Missing) return Outcome::Missing;
  if (at.state == RemovalPlace::State::Refused) return Outcome::Failed;
  struct stat st;
  if (fstatat(at.dir, at.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return missingError(errno) ? Outcome::Missing : Outcome::Failed;
  if (!S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode)) return Outcome::Failed;
  if (unlinkat(at.dir, at.name.c_str(), S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0) == 0)
    return Outcome::Removed;
  return errno == ENOENT ? Outcome::Missing : Outcome::Failed;
}

// Handles still open on the key or below it are dropped with it.
RemovePlatform::Outcome PosixPlatform::removeKey(RegRoot root, std::string_view key) {
  if (!registryError_.empty()) return Outcome::Failed;
  const std::unique_ptr<RegistryStore::Key> removed = registry_.removeKey(root, hostText(key));
  if (!removed) return Outcome::Missing;
  std::erase_if(openKeys_, [&](const auto& open) { return holds(*removed, open.second); });
  return saveRegistry() ? Outcome::Removed : Outcome::Failed;
}

// O_NONBLOCK keeps a FIFO from holding the open; only a regular file is read.
std::optional<std::string> PosixPlatform::readFile(std::string_view path, std::size_t limit) {
  RemovalPlace at;
  locateForRemoval(path, at);
  if (at.state != RemovalPlace::State::Found) return std::nullopt;
  const int fd = openat(at.dir, at.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st;
  std::optional<std::string> text;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && std::uint64_t(st.st_size) <= limit) {
    // Read to the end: a file that grew past the limit meanwhile is refused like a larger one.
    std::string bytes;
    bytes.reserve(std::size_t(st.st_size));
    char buffer[65536];
    bool ok = true;
    for (;;) {
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      ok = n >= 0 && std::size_t(std::max<ssize_t>(n, 0)) <= limit - bytes.size();
      if (n <= 0 || !ok) break;
      bytes.append(buffer, std::size_t(n));
    }
    if (ok) text = std::move(bytes);
  }
  close(fd);
  return text;
}

std::vector<std::string> PosixPlatform::protectedFolders() {
  std::vector<std::string> folders(std::begin(kSystemFolders), std::end(kSystemFolders));
  std::string home = posix::homeDirectory();
  for (const std::string* own :
       {&home, &options_.programsFolder, &options_.desktopFolder, &options_.appDataFolder})
    if (!own->empty())
      if (std::optional<std::string> folder = engineText(*own)) folders.push_back(*folder);
  return folders;
}

}  // namespace zorv
