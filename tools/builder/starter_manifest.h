// The starting manifest that `zorv init` writes into a folder of an application's files: every
// key the folder suggests, with a short comment on each, that parseManifest and the plan take
// without an error or a warning. Made from the facts of the folder alone, so that it is tested
// without files.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zorv {

// The manifest's own name in the folder.
inline constexpr const char* kStarterManifestName = "zorv.toml";

// What the folder says, in UTF-8 as the build machine names its files.
struct StarterFolder {
  std::string name;                // its last component (of the canonical path); may be ""
  std::vector<std::string> files;  // the names of the regular files at its top, any order
};

// The manifest's text and what it chose, for the report of `zorv init`.
struct StarterManifest {
  std::string text;                   // UTF-8 TOML
  std::string appName;                // UTF-8, valid in `codePage`
  int codePage = 1252;
  std::optional<std::string> run;     // the one program at the top
  std::vector<std::string> programs;  // every program at the top, sorted; more than one: none run
  std::optional<std::string> icon;
};

// The application is named after the folder, cleaned to a valid folder name of at most 79
// characters in code page 1252, else 1251 when the name (and the programs' names) need it, else
// a plain ASCII name with a comment saying why. A program is a ".exe" at the top (any case) but
// setup.exe and uninstall.exe, which builds and installs leave there; the icon an ".ico" at the
// top: the only one, the one named as the program, else the first in byte order.
StarterManifest starterManifest(const StarterFolder& folder);

}  // namespace zorv
