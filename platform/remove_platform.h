// The part of the system seam that only the uninstaller needs: listing and removing files,
// folders and registry keys, reading the log, and the folders that must never go. Kept apart
// from Platform so that setup.exe carries none of it.
//
// Paths are the system's ANSI text in backslash form, as in Platform. No call follows a link
// (a symbolic link, a junction or any other reparse point) anywhere on its path below the roots
// it is confined to: a link is removed as itself and never listed into, and a path through one
// is refused.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace zorv {

class RemovePlatform {
 public:
  struct Entry {
    std::string name;  // without its folder
    bool folder = false;
    bool link = false;  // a link of any kind, to a folder or a file: removed, never entered
    // False when the system's own name has no exact form in the engine's text: `name` is then
    // only a rendering for reports (a best-fit conversion would turn U+FF0E into '.' and
    // U+FF3C into '\\'), and the entry must never be acted on.
    bool exact = true;
  };
  enum class Outcome { Removed, Missing, Failed };

  virtual ~RemovePlatform() = default;

  // From now on every call acts only on `roots` (paths as this system names them) and what
  // lies below them, and refuses a path on which a name between the root and the entry is a
  // link or is reached through one. A root itself may be reached through links above it (a
  // desktop that is a link elsewhere). Where the file system tells names apart by case and the
  // engine does not, the roots are matched byte for byte.
  virtual void confineRemovalTo(std::vector<std::string> roots) = 0;
  // The path with every name that exists in its long form, the names past the deepest one that
  // exists as given; none when one of those holds a '~' (a short name that nothing expands).
  // Paths are judged in this form: "C:\\PROGRA~1" is the Program Files folder.
  virtual std::optional<std::string> expandPath(std::string_view path) = 0;
  // The entries of a folder, without "." and ".."; none when the path is missing, not a folder,
  // or a link.
  virtual std::optional<std::vector<Entry>> listFolder(std::string_view path) = 0;
  // Removes a file, or a link as itself. Failed for a folder, a file in use or a read-only one.
  virtual Outcome removeFile(std::string_view path) = 0;
  // Removes an empty folder, or a link to a folder as itself.
  virtual Outcome removeFolder(std::string_view path) = 0;
  // Removes a key with its values and all its sub-keys.
  virtual Outcome removeKey(RegRoot root, std::string_view key) = 0;
  // A whole file of at most `limit` bytes; none when it is missing, unreadable or larger.
  virtual std::optional<std::string> readFile(std::string_view path, std::size_t limit) = 0;
  // Full paths of the folders that no uninstall may remove, or any folder above: the system's
  // (the Windows folder, Program Files) and the user's (profile, desktop, documents,
  // application data, Programs), for the user and for all users where there are both.
  virtual std::vector<std::string> protectedFolders() = 0;
};

}  // namespace zorv
