// The part of the system seam that only the uninstaller needs: listing and removing files,
// folders and registry keys, reading the log, and the folders that must never go. Kept apart
// from Platform so that setup.exe carries none of it.
//
// Paths are the system's ANSI text in backslash form, as in Platform. No call follows a link
// (a symbolic link, a junction or any other reparse point): a link is removed as itself and
// never listed into.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace zorv {

class RemovePlatform {
 public:
  struct Entry {
    std::string name;  // without its folder
    bool folder = false;
    bool link = false;  // a link of any kind, to a folder or a file: removed, never entered
  };
  enum class Outcome { Removed, Missing, Failed };

  virtual ~RemovePlatform() = default;

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
