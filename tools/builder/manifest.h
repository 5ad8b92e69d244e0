// The manifest: a TOML file that says what a package holds. Every text that goes into the
// package is converted to the manifest's code page here, and every item keeps the line it came
// from, so that later checks can name it.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/builder/diagnostics.h"

namespace zorv {

// A text of the manifest in the package's code page, and the line it stands on.
struct ManifestText {
  std::string text;
  int line = 0;
};

// A pattern of [[files]] exclude, in UTF-8 as the build machine names its files: "*" and "?"
// match the last name at any level, or, when the pattern holds a "/", the path below the
// source folder name by name (plan.h, matchesExcludePattern).
struct ExcludePattern {
  std::string pattern;
  int line = 0;
};

// [[files]]: a file or a folder of the build machine and where it goes below the destination.
struct FileMapping {
  std::filesystem::path source;  // absolute, or relative to the manifest's folder
  std::string sourceText;        // as written, for messages
  std::string target;            // with "\" separators; "" puts a folder's contents at the top
  bool targetGiven = false;
  std::vector<ExcludePattern> exclude;
  int line = 0;
};

// [[shortcut]]: a link in the program group, on the desktop, or both.
struct ShortcutSpec {
  std::string name;    // may name sub-folders of the group, "\" separated
  std::string target;  // relative to the destination
  bool group = true;
  bool desktop = false;
  int line = 0;
};

struct RegistryValueSpec {
  std::string name;
  std::string data;  // may start with SRCDIR, DESTDIR or DATEINSTALL
  int line = 0;
};

// [registry]: one key with its string values.
struct RegistrySpec {
  std::string root;  // HLM, HCR, HCC, HCU or HU, upper case
  std::string path;  // below the root
  int line = 0;
  std::vector<RegistryValueSpec> values;  // in manifest order
};

// The five page bitmaps, by their entry names.
inline constexpr std::array<const char*, 5> kBitmapNames = {"title", "pic", "zorv", "pic1", "pic2"};

struct BitmapSpec {
  std::filesystem::path source;
  std::string sourceText;
  int line = 0;
};

// [application] icon: an .ico file for the setup and the uninstaller.
struct IconSpec {
  std::filesystem::path source;
  std::string sourceText;
  int line = 0;
};

// [signing]: the program that signs the branded uninstaller before it is packed and the
// finished setup.exe, with its arguments, run without a shell. "{file}" in an argument stands
// for a file that the program signs in place; "{in}" and "{out}" for one that writes the signed
// copy to a new file. UTF-8, as the manifest has it.
struct SigningSpec {
  std::vector<std::string> command;
  int line = 0;
};

// The uninstaller that `[uninstall] program` puts at the top of the destination.
inline constexpr std::string_view kUninstallerName = "uninstall.exe";

struct Manifest {
  std::string path;                  // the manifest file, for messages
  std::filesystem::path baseFolder;  // sources are relative to it
  int codePage = 1252;

  ManifestText appName;
  std::optional<ManifestText> defaultParent;  // "DirD"
  std::optional<ManifestText> run;            // "RunS"
  // The product's identity: the executables' version resources and "UnIn".
  std::optional<ManifestText> version;
  std::optional<ManifestText> publisher;
  std::optional<ManifestText> copyright;
  std::optional<IconSpec> icon;
  std::vector<FileMapping> files;
  std::vector<ShortcutSpec> shortcuts;
  std::optional<RegistrySpec> registry;
  std::vector<ManifestText> deleteFolders;  // "DelD"
  std::vector<ManifestText> deleteFiles;    // "DelF"
  bool uninstaller = true;                  // carry kUninstallerName and its "UnIn" entry
  bool userScope = false;                   // [application] scope = "user"
  bool bestCompression = false;             // [build] compression = "best"
  std::optional<SigningSpec> signing;
  std::array<std::optional<BitmapSpec>, kBitmapNames.size()> bitmaps;
  // Whether the manifest has a [bitmaps] table, even an empty one; without one the builder
  // draws the page's opening bitmaps itself (default_bitmaps.h).
  bool bitmapsTable = false;
};

// Reads and checks a manifest. Problems that need only the manifest (unknown keys, texts too
// long, names that leave the destination) are all reported, each with its line; none comes
// back when there was any. Sizes that depend on the files are checked by the plan.
std::optional<Manifest> loadManifest(const std::string& path, Diagnostics& diag);
std::optional<Manifest> parseManifest(std::string_view toml, const std::string& path,
                                      const std::filesystem::path& baseFolder, Diagnostics& diag);

}  // namespace zorv
