// The files' part of the seam: making, writing, reading the start of, replacing and deleting
// files. Folders and the questions about a path are in folders.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zorv {

using FileHandle = int;  // the runtime's low-level descriptor
inline constexpr FileHandle kNoFile = -1;

class Files {
 public:
  // Creates or truncates the file (read-write, binary, shared, not read-only).
  virtual FileHandle openOutputFile(std::string_view path) = 0;
  // Opens an existing file for writing at its end, as openOutputFile shares it.
  virtual FileHandle openAppendFile(std::string_view path) = 0;
  // Succeeds only when every byte was written.
  virtual bool writeFile(FileHandle file, std::span<const std::uint8_t> bytes) = 0;
  virtual void closeFile(FileHandle file) = 0;
  // At most the first `limit` bytes of a regular file; none when it cannot be read.
  virtual std::optional<std::string> readFileStart(std::string_view path, std::size_t limit) = 0;
  virtual void deleteFile(std::string_view path) = 0;
  // Puts the file `from` in the place of `to` in one step, replacing what was there; false,
  // with nothing changed, when that fails. Both lie in one folder.
  virtual bool replaceFile(std::string_view from, std::string_view to) = 0;

 protected:
  ~Files() = default;  // never deleted through this interface (platform.h)
};

}  // namespace zorv
