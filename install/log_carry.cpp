#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "install/install.h"
#include "log/uninstall_paths.h"

namespace zorv {

namespace {

int compareLines(const void* a, const void* b) {
  return static_cast<const std::string_view*>(a)->compare(*static_cast<const std::string_view*>(b));
}

std::vector<PathParts> splitAll(std::span<const std::string> paths) {
  std::vector<PathParts> out;
  for (const std::string& p : paths)
    if (auto parts = splitFullPath(p)) out.push_back(std::move(*parts));
  return out;
}

}  // namespace

// The C library's qsort and bsearch: std::sort and std::binary_search would cost the setup a
// twentieth of the room it has.
void sortLines(std::vector<std::string_view>& lines) {
  if (lines.empty()) return;  // no array to hand the C library
  std::qsort(lines.data(), lines.size(), sizeof(std::string_view), compareLines);
  lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
}

bool hasLine(const std::vector<std::string_view>& lines, std::string_view line) {
  return !lines.empty() && std::bsearch(&line, lines.data(), lines.size(), sizeof(std::string_view),
                                        compareLines) != nullptr;
}

std::optional<std::vector<std::string_view>> carriedLogLines(
    std::string_view earlier, std::string_view appName, std::string_view work,
    std::span<const std::string> groupFolders, std::span<const std::string> desktopFolders) {
  const std::optional<PathParts> workParts = splitFullPath(work);
  const std::vector<PathParts> groups = splitAll(groupFolders), desktops = splitAll(desktopFolders);
  std::vector<std::string_view> lines;
  int names = 0, works = 0;
  bool ours = false;
  const LogWalk walk = forEachLogLine(
      {reinterpret_cast<const std::uint8_t*>(earlier.data()), earlier.size()},
      [&](std::uint32_t tag, std::string_view value) {
        bool carry = false;
        if (tag == kTagLogName) {
          ++names;
          ours = logAppName(value) == appName;
        } else if (tag == kTagLogWork) {
          ++works;
        } else if (tag == kTagLogDeleteKey) {
          const std::optional<ListedKey> key = parseListedKey(value);
          carry = key && (!key->shared || applicationsOwnKey(key->path, appName));
        } else if (tag == kTagDeleteFile || tag == kTagDeleteDir || tag == kTagLogDeleteEmpty) {
          const bool folder = tag != kTagDeleteFile;
          const std::optional<PathParts> p = splitFullPath(value);
          carry = workParts && p && !p->names.empty() &&
                  !(folder && hasWildcard(p->names.back())) &&
                  placeOfListed(*p, folder, *workParts, groups, desktops) != ListedPlace::Refused;
        }
        // The whole line, its code and blank included: they stand just before the value.
        if (carry) lines.emplace_back(value.data() - 5, value.size() + 5);
        return names < 2 && works < 2;
      });
  if (walk.damage != LogDamage::None || names != 1 || works != 1 || !ours) return std::nullopt;
  sortLines(lines);
  return lines;
}

}  // namespace zorv
