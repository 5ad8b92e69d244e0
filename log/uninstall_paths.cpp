#include "log/uninstall_paths.h"

#include "platform/codepage1251.h"

namespace zorv {

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = char(upperCp1251(std::uint8_t(c)));
  return out;
}

}  // namespace

std::string joinPath(std::string_view dir, std::string_view name) {
  std::string path;
  path.reserve(dir.size() + 1 + name.size());
  path.append(dir).append(1, '\\').append(name);
  return path;
}

bool hasControlCharacter(std::string_view text) {
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
}

bool hasWildcard(std::string_view name) {
  return name.find_first_of("*?") != std::string_view::npos;
}

std::optional<PathParts> splitFullPath(std::string_view path) {
  PathParts parts;
  if (path.size() >= 2 && path[1] == ':' &&
      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
    if (path.size() > 2 && !isSeparator(path[2])) return std::nullopt;  // "C:x" is relative
    parts.root = upper(path.substr(0, 2));
    path.remove_prefix(2);
  } else if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
    // A share: "\\server\share"; "\\?\" and "\\.\" device forms are refused.
    path.remove_prefix(2);
    std::size_t server = 0;
    while (server < path.size() && !isSeparator(path[server])) ++server;
    std::size_t share = server + 1;
    while (share < path.size() && !isSeparator(path[share])) ++share;
    if (server == 0 || share > path.size() || share == server + 1) return std::nullopt;
    const std::string_view serverName = path.substr(0, server);
    if (serverName == "?" || serverName == ".") return std::nullopt;
    parts.root = "\\\\" + upper(path.substr(0, share));
    path.remove_prefix(share);
  } else if (!path.empty() && isSeparator(path[0])) {
    parts.root = "/";
  } else {
    return std::nullopt;
  }
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && !isSeparator(path[i])) continue;
    std::string_view name = path.substr(start, i - start);
    start = i + 1;
    std::size_t dots = 0;
    bool onlyDotsAndBlanks = true;
    for (char c : name) {
      if (c == '.')
        ++dots;
      else if (c != ' ')
        onlyDotsAndBlanks = false;
    }
    if (onlyDotsAndBlanks && dots >= 2) return std::nullopt;  // climbs
    if (onlyDotsAndBlanks) continue;                          // "", ".", " ": the same folder
    const bool last =
        i == path.size() || path.find_first_not_of("\\/", i) == std::string_view::npos;
    if (!last && (name.back() == '.' || name.back() == ' ')) return std::nullopt;
    while (name.back() == '.' || name.back() == ' ') name.remove_suffix(1);
    parts.names.push_back(upper(name));
  }
  for (std::size_t n = 0; n + 1 < parts.names.size(); ++n)
    if (hasWildcard(parts.names[n])) return std::nullopt;
  return parts;
}

bool isBelow(const PathParts& inner, const PathParts& outer) {
  if (inner.root != outer.root || inner.names.size() <= outer.names.size()) return false;
  for (std::size_t i = 0; i < outer.names.size(); ++i)
    if (inner.names[i] != outer.names[i]) return false;
  return true;
}

bool samePath(const PathParts& a, const PathParts& b) {
  return a.root == b.root && a.names == b.names;
}

bool workFolderAllowed(const PathParts& work, const std::vector<PathParts>& protectedFolders) {
  if (work.names.empty() || hasWildcard(work.names.back())) return false;
  for (const PathParts& p : protectedFolders)
    if (samePath(work, p) || isBelow(p, work)) return false;
  return true;
}

ListedPlace placeOfListed(const PathParts& path, bool folder, const PathParts& work,
                          std::span<const PathParts> groups, std::span<const PathParts> desktops) {
  if (isBelow(path, work)) return ListedPlace::Work;
  for (const PathParts& g : groups)
    if (isBelow(path, g)) return ListedPlace::Group;
  if (!folder) {
    for (const PathParts& d : desktops) {
      const std::string& name = path.names.back();
      if (isBelow(path, d) && path.names.size() == d.names.size() + 1 && name.size() > 4 &&
          name.ends_with(".LNK") && !hasWildcard(name))
        return ListedPlace::Desktop;
    }
  }
  return ListedPlace::Refused;
}

bool usableListedName(std::string_view name) {
  if (name.find_first_not_of(". ") == std::string_view::npos) return false;
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?')
      return false;
  return true;
}

namespace {

// The names of a key path in upper case, as the registry compares them.
std::vector<std::string> keyNames(std::string_view path) {
  std::vector<std::string> names;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '\\') continue;
    names.push_back(upper(path.substr(start, i - start)));
    start = i + 1;
  }
  return names;
}

bool startsWith(const std::vector<std::string>& names,
                std::initializer_list<std::string_view> head) {
  if (names.size() < head.size()) return false;
  std::size_t i = 0;
  for (std::string_view h : head)
    if (names[i++] != h) return false;
  return true;
}

}  // namespace

bool inSharedKeyTree(std::string_view path) {
  const std::vector<std::string> names = keyNames(path);
  for (std::string_view tree : {"MICROSOFT", "CLASSES", "POLICIES", "WOW6432NODE", "ZANTREL"})
    if (startsWith(names, {"SOFTWARE", tree})) return true;
  return false;
}

bool applicationsOwnKey(std::string_view path, std::string_view appName) {
  if (appName.empty() || appName.find('\\') != std::string_view::npos) return false;
  const std::string app = upper(appName);
  const std::vector<std::string> names = keyNames(path);
  return startsWith(names,
                    {"SOFTWARE", "MICROSOFT", "WINDOWS", "CURRENTVERSION", "UNINSTALL", app}) ||
         startsWith(names, {"SOFTWARE", "ZANTREL", app});
}

std::optional<RegRoot> rootFromText(std::string_view abbreviation) {
  static constexpr struct {
    std::string_view text;
    RegRoot root;
  } kRoots[] = {{"HLM", RegRoot::LocalMachine},
                {"HCR", RegRoot::ClassesRoot},
                {"HCC", RegRoot::CurrentConfig},
                {"HCU", RegRoot::CurrentUser},
                {"HU", RegRoot::Users}};
  for (const auto& r : kRoots)
    if (equalsIgnoreCaseCp1251(abbreviation, r.text)) return r.root;
  return std::nullopt;
}

std::optional<ListedKey> parseListedKey(std::string_view line) {
  const std::size_t blank = line.find(' ');
  if (blank == std::string_view::npos) return std::nullopt;
  const std::optional<RegRoot> root = rootFromText(line.substr(0, blank));
  std::string_view path = line.substr(blank + 1);
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  std::size_t names = 1;
  bool unusable = path.empty() || path.front() == '\\';
  for (std::size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = std::uint8_t(path[i]);
    unusable = unusable || c < 0x20 || c == 0x7F;
    if (c != '\\') continue;
    ++names;
    unusable = unusable || i + 1 == path.size() || path[i + 1] == '\\';
  }
  const bool underSoftware =
      path.size() > 9 && equalsIgnoreCaseCp1251(path.substr(0, 9), "Software\\");
  if (!root || unusable || names < 3 || !underSoftware) return std::nullopt;
  return ListedKey{*root, std::string(path), inSharedKeyTree(path)};
}

bool matchesWildcard(std::string_view pattern, std::string_view name) {
  if (name.find_first_not_of('.') == std::string_view::npos) return false;
  // Iterative matching with one point to return to after the last '*'.
  std::size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
  auto same = [](char a, char b) {
    return upperCp1251(std::uint8_t(a)) == upperCp1251(std::uint8_t(b));
  };
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace zorv
