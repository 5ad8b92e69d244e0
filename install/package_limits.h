// Limits that the install engine applies to package data, and that the builder and `zorv verify`
// apply the same way: verify passes exactly what the setup can install, and the builder never
// writes what verify refuses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zorv {

// Directory records nested deeper than this below the destination (a top-level "CopD" entry is
// level 1) are taken for a loop of ranges.
inline constexpr int kMaxDirectoryDepth = 64;

// "Copy" and "CopD" records that one walk of the whole package may visit: its top-level entries,
// nested directories and files together (install/package_walk.h). A budget per top-level entry
// would let many small entries each name one large legal tree. A walk that would go further is
// unreadable, as a damaged record is.
inline constexpr std::uint32_t kMaxRecordsVisited = 1'000'000;

// The file the run writes its uninstall log to, at the top of the destination.
inline constexpr std::string_view kUninstallLogName = "UnInstall.log";

// True when a package name, joined to the destination, is the uninstall log itself: that
// name in any case, after any leading separators and "." components, and with the trailing
// dots and blanks that Windows drops. "\" and "/" both separate.
inline bool namesUninstallLog(std::string_view name) {
  auto isSep = [](char c) { return c == '\\' || c == '/'; };
  for (;;) {
    while (!name.empty() && isSep(name.front())) name.remove_prefix(1);
    if (name.size() >= 2 && name[0] == '.' && isSep(name[1])) {
      name.remove_prefix(2);
      continue;
    }
    break;
  }
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
  if (name.size() != kUninstallLogName.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    char a = name[i], b = kUninstallLogName[i];
    if (a >= 'a' && a <= 'z') a = char(a - 'a' + 'A');
    if (b >= 'a' && b <= 'z') b = char(b - 'a' + 'A');
    if (a != b) return false;
  }
  return true;
}

}  // namespace zorv
