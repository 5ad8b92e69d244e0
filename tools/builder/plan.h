// The plan of a package: the manifest's files and folders expanded into the records the
// package will hold, every name and size checked against the setup's limits, and the page
// bitmaps converted (or drawn, without a [bitmaps] table). Everything that can be refused is
// refused here, before a byte is written.
#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/builder/diagnostics.h"
#include "tools/builder/manifest.h"
#include "tools/pe/icons.h"

namespace zorv {

// A "Copy" record: a file of the build machine and its name below the destination.
struct PlannedFile {
  std::filesystem::path source;
  std::string name;  // ANSI, "\" separated, relative to the destination
  std::uint64_t size = 0;
  int line = 0;  // the [[files]] entry it comes from
  // Bytes made by the builder (the uninstaller with the product's resources), used instead
  // of reading `source`.
  std::shared_ptr<const std::vector<std::uint8_t>> contents;
};

// A "CopD" record. Its members are its files, then its sub-folders, each sorted by name; the
// members' names carry the whole path below the destination, as the setup expects.
struct PlannedFolder {
  std::string name;
  std::vector<PlannedFile> files;
  std::vector<PlannedFolder> folders;
  int line = 0;
};

struct PlannedBitmap {
  std::string name;  // "title", "pic", "zorv", "pic1" or "pic2"
  std::vector<std::uint8_t> body;
};

struct Plan {
  std::vector<PlannedFile> files;      // top-level "Copy" entries, in manifest order
  std::vector<PlannedFolder> folders;  // top-level "CopD" entries, after every "Copy"
  std::vector<PlannedBitmap> bitmaps;  // in page order
  std::vector<IconImage> icon;         // every image of the manifest's icon; empty without one
  bool carriesUninstaller = false;     // its "Copy" is the last top-level file
  std::uint64_t totalBytes = 0;        // the "SumC" value
  std::uint64_t blockCount = 0;
  std::size_t folderCount = 0;  // every "CopD" record, nested ones included
  std::size_t fileCount = 0;    // every "Copy" record, nested ones included
};

// Expands and checks; none when any error was reported (all of them are).
std::optional<Plan> makePlan(const Manifest& manifest, Diagnostics& diag);

// Adds the uninstaller's bytes as kUninstallerName, the last top-level file; `source` names
// the program they were made from, for messages. The reason when the package would pass 4 GB.
std::expected<void, std::string> addUninstaller(Plan& plan, const std::filesystem::path& source,
                                                std::vector<std::uint8_t> program);

// Every file in the order its blocks go into the package: the top-level files, then each
// top-level folder depth first (its files, then its sub-folders).
void forEachFileInPackageOrder(const Plan& plan, const std::function<void(const PlannedFile&)>& fn);

// Whether a name matches a pattern of "*" (any run of characters) and "?" (one character).
bool matchesPattern(std::string_view name, std::string_view pattern);

// Whether an exclude pattern leaves out `path`, a file or folder below the mapping's source
// folder ("data/old.bak"). A pattern without "/" matches the last name, at any level; one with
// "/" matches the whole path from the source folder, name by name, so "*" and "?" never match
// a "/" (a leading "/" is allowed and changes nothing). A folder left out takes its contents.
bool matchesExcludePattern(std::string_view path, std::string_view pattern);

}  // namespace zorv
