// Which file of the build machine a path names, whatever the spelling: its device and inode,
// through every symbolic link. Two paths name one file exactly when their identities are equal.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace zorv {

struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// None when the path does not lead to a file (or it cannot be examined).
std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path);

}  // namespace zorv
