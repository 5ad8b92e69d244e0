// zorv init [DIR]: writes DIR/zorv.toml, a starting manifest for the folder DIR whose files are
// the application (starter_manifest.h), then prints what it chose and the command that builds
// it. The file is created exclusively: a manifest, or anything else, already at that name is
// never written over, a link included.
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/terminal_text.h"
#include "tools/builder/starter_manifest.h"
#include "tools/examine/package_file.h"
#include "tools/host/host_system.h"
#include "tools/host/output_file.h"
#include "tools/zorv/commands.h"

namespace zorv {

namespace {

namespace fs = std::filesystem;

// The name as the manifest writes it: UTF-8, on Windows too (where the path is wide).
std::string utf8Name(const fs::path& path) {
  const std::u8string name = path.filename().u8string();
  return std::string(name.begin(), name.end());
}

// The folder's name and the regular files at its top (links followed, as the build does).
std::expected<StarterFolder, std::string> readFolder(const std::string& dir) {
  std::error_code ec;
  StarterFolder folder;
  folder.name = utf8Name(fs::canonical(dir, ec));
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code type;
    if (it->is_regular_file(type)) folder.files.push_back(utf8Name(it->path()));
  }
  if (ec) return std::unexpected("cannot list " + dir + ": " + ec.message());
  return folder;
}

// A path as the next command takes it: quoted when it holds a blank.
std::string shellWord(const std::string& path) {
  return path.find(' ') == path.npos ? path : "\"" + path + "\"";
}

std::string summary(const StarterManifest& m) {
  std::string s = "\"" + m.appName + "\" (code page " + std::to_string(m.codePage) + ")";
  if (m.run)
    s += ", runs " + *m.run;
  else if (m.programs.empty())
    s += ", no program at the top to run";
  else
    s += ", " + std::to_string(m.programs.size()) + " programs at the top: pick one in the file";
  if (m.icon) s += ", icon " + *m.icon;
  return s;
}

}  // namespace

int cmdInit(const InitArgs& args) {
  std::error_code ec;
  const fs::file_status st = fs::status(args.dir, ec);
  if (st.type() == fs::file_type::not_found)
    return fail(terminalText(args.dir) + ": no such folder");
  if (ec) return fail("cannot read " + terminalText(args.dir) + ": " + ec.message());
  if (!fs::is_directory(st)) return fail(terminalText(args.dir) + ": not a folder");
  const auto folder = readFolder(args.dir);
  if (!folder) return fail(terminalText(folder.error()));

  const StarterManifest m = starterManifest(*folder);
  const std::string path = pathIn(args.dir, kStarterManifestName);
  const auto file = createNewFile(path);
  if (!file) return fail(terminalText(file.error()));
  if (!*file)
    return fail(terminalText(path) + " already exists; zorv init never writes over it");
  const bool written = std::fwrite(m.text.data(), 1, m.text.size(), *file) == m.text.size();
  if (std::fclose(*file) != 0 || !written) {
    removeFile(path);
    return fail("cannot write " + terminalText(path));
  }
  std::printf("wrote %s: %s\nnext: zorv build %s -o setup.exe\n", terminalText(path).c_str(),
              terminalText(summary(m)).c_str(), terminalText(shellWord(path)).c_str());
  return 0;
}

}  // namespace zorv
