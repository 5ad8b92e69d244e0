#include "wizard/paths.h"

#include "platform/platform.h"

namespace zorv {

namespace {

// Length of the root that parentFolder never strips: "D:\" (3), "D:" (2), "\\server\share\" (up
// to and including the backslash after the share name), "\" (1), or 0 for a relative path.
std::size_t rootLength(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') return path.size() >= 3 && path[2] == '\\' ? 3 : 2;
  if (path.starts_with("\\\\")) {
    std::size_t server = path.find('\\', 2);
    if (server == std::string_view::npos) return path.size();
    std::size_t share = path.find('\\', server + 1);
    return share == std::string_view::npos ? path.size() : share + 1;
  }
  return path.starts_with('\\') ? 1 : 0;
}

}  // namespace

std::optional<std::string> setupDirFromModulePath(std::string_view modulePath) {
  std::size_t cut = modulePath.rfind('\\');
  if (cut == std::string_view::npos || cut + 1 > kMaxPathChars) return std::nullopt;
  return std::string(modulePath.substr(0, cut + 1));
}

std::string setupDirFromCurrentDirectory(std::string_view currentDir) {
  std::string dir(currentDir);
  if (dir.empty() || dir.back() != '\\') dir += '\\';
  return dir;
}

std::string workingDirectoryOf(std::string_view setupDir) {
  if (setupDir.empty()) return {};
  return std::string(setupDir.substr(0, setupDir.size() - 1));
}

std::optional<std::string> parentFolder(std::string_view path) {
  while (!path.empty() && path.back() == '\\' && path.size() > rootLength(path))
    path.remove_suffix(1);
  std::size_t root = rootLength(path);
  if (path.size() <= root) return std::nullopt;
  std::size_t cut = path.rfind('\\');
  if (cut == std::string_view::npos) {
    // "D:Apps" has the drive as its parent; a bare name has none.
    if (root == 0) return std::nullopt;
    return std::string(path.substr(0, root));
  }
  if (cut + 1 <= root) return std::string(path.substr(0, root));
  return std::string(path.substr(0, cut));
}

}  // namespace zorv
