// What the files of the POSIX platform share and nothing else uses: the walk below a confining
// folder and the user's home folder.
#pragma once

#include <string>

namespace zorv::posix {

// $HOME, else the password database's entry, else ".".
std::string homeDirectory();

// A path strictly below a confining root, as the descriptor of its parent folder and its last
// component.
struct BelowRoot {
  BelowRoot() = default;
  BelowRoot(const BelowRoot&) = delete;
  BelowRoot& operator=(const BelowRoot&) = delete;
  ~BelowRoot();
  bool below = false;  // false: the path is not below the root, or there is no root
  int dir = -1;        // -1 when the walk was refused or a folder on the way is missing
  int error = 0;       // errno of the step that failed, when dir is -1
  std::string leaf;
};

// Walks from `root` (followed: the user chose it) to the parent of `path` (both POSIX form),
// opening each folder with O_NOFOLLOW relative to the one before, so that no link below the
// root is followed and no folder can be swapped for one midway. Empty and "." components are
// skipped; ".." refuses the path, as does a link, whose path goes to `link` (cleared first).
void walkBelow(const std::string& root, const std::string& path, BelowRoot& out, std::string* link);

}  // namespace zorv::posix
