// Which file of the build machine a path names, whatever the spelling: its device and inode (on
// Windows its volume's serial number and its file index), through every symbolic link. Two
// paths name one file exactly when their identities are equal.
// And the whole of a small input file (a bitmap, the icon, the uninstaller).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace zorv {

struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// None when the path does not lead to a file (or it cannot be examined).
std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path);

// The bytes of a regular file (links followed); none for a folder, a device or a pipe, or a
// file that cannot be read.
std::optional<std::vector<std::uint8_t>> readInputFile(const std::filesystem::path& path);

}  // namespace zorv
