// The folders' part of the seam: whether a path names anything, or a folder; making a folder;
// the free space of its volume.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zorv {

class Folders {
 public:
  // True when `path` names a file or a folder.
  virtual bool pathExists(std::string_view path) = 0;
  // True when `path` is a folder (not a file, nor missing).
  virtual bool isFolder(std::string_view path) = 0;
  // Creates one folder, whose parent exists.
  virtual bool createDirectory(std::string_view path) = 0;
  // Bytes available to the caller on the volume that holds `path`.
  virtual std::optional<std::uint64_t> freeBytes(std::string_view path) = 0;

 protected:
  ~Folders() = default;  // never deleted through this interface (platform.h)
};

}  // namespace zorv
