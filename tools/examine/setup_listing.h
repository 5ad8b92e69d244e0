// What a setup installs, read from its package without writing anything: the files in the order
// the run writes them (the "Copy" entries, then the walks of the "CopD" entries, under the same
// budget), its links, its registry key and values, the program it starts and the clean-up lines
// it leaves the uninstaller. Texts are kept as the package has them (code page bytes, "\"
// separators); the printer makes them fit for the terminal or for JSON.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <vector>

#include "package/package.h"

namespace zorv {

struct ListedFile {
  std::string name;          // below the destination
  std::uint64_t size = 0;    // its blocks' unpacked sizes: what the run writes
  std::uint64_t packed = 0;  // its blocks' packed sizes
};

struct ListedLink {
  bool desktop = false;  // on the desktop; else in the program group
  std::string name;      // may name sub-folders of the group
  std::string target;    // below the destination
};

struct ListedValue {
  std::string name, type, data;  // data may start with SRCDIR, DESTDIR or DATEINSTALL
};

struct SetupListing {
  std::string appName;  // "" when the package lacks "AppN"
  std::vector<ListedFile> files;
  std::vector<ListedLink> links;                // the group's, then the desktop's
  std::optional<std::string> keyRoot, keyPath;  // the first "root" record
  std::vector<ListedValue> values;              // the values written below it
  std::optional<std::string> program;           // the first "RunS" record
  std::optional<std::string> uninstaller;       // the "UnIn" record's program
  std::vector<std::string> deleteFolders, deleteFiles;
  std::uint64_t bytes = 0, packed = 0;  // over all files
};

// A reason naming the entry when a record the run would read cannot be read: the
// install would stop there too.
std::expected<SetupListing, std::string> listSetup(Package& package);

}  // namespace zorv
