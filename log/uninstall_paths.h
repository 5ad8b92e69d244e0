// The uninstaller's rules for paths, applied whatever the log says: a log is a file that anyone
// could edit. Paths compare as the system compares them: "\" and "/" both separate, repeated
// separators count once, trailing dots and blanks of a name are dropped, and case does not
// matter (ASCII and the letters of code page 1251). First, what both engines make the log's
// paths and keys with.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace zorv {

// `dir` + "\" + `name`, whatever `dir` ends with.
std::string joinPath(std::string_view dir, std::string_view name);
// True when the text holds a byte below 0x20 or DEL: a log line would show CR and LF as blanks,
// and so name something else.
bool hasControlCharacter(std::string_view text);
// The parent of the system's list of installed programs: an application's entry is the key
// of its name below it.
inline constexpr std::string_view kUninstallKeyParent =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// A full path cut into its root ("C:", "\\server\share" or "/", in upper case) and its names.
struct PathParts {
  std::string root;
  std::vector<std::string> names;  // in upper case, as compared
};

// None for a path that is not full (no drive, share or leading "/"), that climbs with a ".."
// (or "...", ".. ") name, or that holds a wildcard before its last name. "." names are dropped.
// The system drops the trailing dots and blanks of the last name only, and of the others
// keeps some and drops others, so a name before the last that ends in one is refused:
// "C:\App \x" is not in "C:\App".
std::optional<PathParts> splitFullPath(std::string_view path);
// True when `inner` lies strictly below `outer`.
bool isBelow(const PathParts& inner, const PathParts& outer);
bool samePath(const PathParts& a, const PathParts& b);

// "Work" may be emptied only when it is a full path below a drive or share root that is none of
// the protected folders and holds none of them.
bool workFolderAllowed(const PathParts& work, const std::vector<PathParts>& protectedFolders);

// Where a listed path lies, and so whether a line may name it: below "Work" or a Programs
// folder (the group), or, for a file only, a ".lnk" directly in a Desktop folder (no wildcard
// there). The protected folders are the caller's to check first.
enum class ListedPlace { Work, Group, Desktop, Refused };
ListedPlace placeOfListed(const PathParts& path, bool folder, const PathParts& work,
                          std::span<const PathParts> groups, std::span<const PathParts> desktops);

// A name that a folder listing gave, fit to be joined to its folder: one name, neither empty
// nor only dots and blanks, without a separator, a colon, a wildcard or a control character.
bool usableListedName(std::string_view name);

// Keys below Software that other programs share: Microsoft, Classes, Policies, Wow6432Node
// and Zantrel, at any depth. `path` is a key path without its root.
bool inSharedKeyTree(std::string_view path);
// The keys there that belong to the application named `appName`: its entry in the system's
// list of installed programs and its stored language, each with what lies below.
bool applicationsOwnKey(std::string_view path, std::string_view appName);

// "HLM", "HCR", "HCC", "HCU", "HU" in any case; none for any other text.
std::optional<RegRoot> rootFromText(std::string_view abbreviation);

// A "DelK" line, "ROOT path": a known root and a path of at least three names, the first
// "Software", none empty, without control characters (a trailing "\" dropped). `shared` says
// that the key lies in a tree that other programs share (inSharedKeyTree).
struct ListedKey {
  RegRoot root;
  std::string path;
  bool shared;
};
std::optional<ListedKey> parseListedKey(std::string_view line);

// `*` and `?` against one name, without regard to case. A name of only dots never matches.
bool matchesWildcard(std::string_view pattern, std::string_view name);
bool hasWildcard(std::string_view name);

}  // namespace zorv
