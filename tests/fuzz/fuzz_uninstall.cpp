// Runs the uninstall engine on an arbitrary log over a small hostile file system on the
// recording fake, and stops at the first thing acted on where it must not be: a file, folder or
// key outside "Work", the Programs folder and the Desktop's links; a path through a link; a
// listed name that climbs out of its folder; a run whose work outgrows its input. The lines that
// a later version's setup would carry over from the same log are held to the same places.
//
// Input: the log's bytes, then optionally a line "--names--" and lines of names that folders
// list besides their real children, each "<folder digit><flags digit><name>": the flags' bit 1
// says folder, bit 2 link, bit 4 a name that has no exact form (a best-fit rendering).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "install/install.h"
#include "tests/fake/fake_platform.h"
#include "uninstall/uninstall.h"

namespace {

using namespace zorv;

constexpr std::string_view kWork = "C:\\Apps\\Demo";
constexpr std::string_view kLog = "C:\\Apps\\Demo\\UnInstall.log";
constexpr std::string_view kJunction = "C:\\Apps\\Demo\\data";  // a link to a folder elsewhere
constexpr const char* kFolders[] = {"C:\\Apps\\Demo", "C:\\Apps\\Demo\\saves",
                                    "C:\\Menu\\Programs\\Demo", "C:\\Desktop"};

[[noreturn]] void fail(std::string_view what, std::string_view detail) {
  std::fprintf(stderr, "uninstall fuzz: %.*s: %.*s\n", int(what.size()), what.data(),
               int(detail.size()), detail.data());
  std::abort();
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = char(c >= 'a' && c <= 'z' ? c - 32 : c);
  return out;
}

// Below as the system compares: without regard to ASCII case.
bool below(std::string_view path, std::string_view base) {
  return path.size() > base.size() + 1 && upper(path).starts_with(upper(base)) &&
         (path[base.size()] == '\\' || path[base.size()] == '/');
}

bool same(std::string_view a, std::string_view b) { return upper(a) == upper(b); }

bool endsWithLnk(std::string_view path) { return upper(path).ends_with(".LNK"); }

// The path with "." and ".." resolved lexically, as the system would resolve it: a call that
// climbs out lands outside.
std::string resolved(std::string_view path) {
  std::vector<std::string> names;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '\\' && path[i] != '/') continue;
    std::string name(path.substr(start, i - start));
    start = i + 1;
    while (!name.empty() && (name.back() == ' ' || name.back() == '.') && name != "." &&
           name != "..")
      name.pop_back();
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      if (names.size() > 1) names.pop_back();
      continue;
    }
    names.push_back(name);
  }
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : "\\") + n;
  return out;
}

// Where the engine may act: "Work" and below, below the Programs folder, a link directly on
// the Desktop. The platform, not the engine, refuses what lies through a link.
bool mayActOn(std::string_view path) {
  if (same(path, kWork) || below(path, kWork) || below(path, "C:\\Menu\\Programs")) return true;
  return below(path, "C:\\Desktop") && path.find('\\', 11) == std::string_view::npos &&
         endsWithLnk(path);
}

// What may really go: the above, but nothing reached through the junction.
bool mayRemove(std::string_view path) { return mayActOn(path) && !below(path, kJunction); }

void setUp(FakePlatform& f) {
  f.addDirectory("C:\\Apps\\Demo\\saves\\slot1");
  f.addDirectory("C:\\Menu\\Programs\\Demo");
  f.addDirectory("C:\\victimdir");
  f.addDirectory("C:\\Program Files\\Common Files");
  f.addDirectory("C:\\Apps\\Demo \\sub");
  f.addDirectory("C:\\Apps\\Demo\\data\\cache");  // reached through the junction
  f.systemLinks[std::string(kJunction)] = true;
  for (const char* file :
       {"C:\\Apps\\Demo\\demo.exe", "C:\\Apps\\Demo\\run.log", "C:\\Apps\\Demo\\saves\\a.sav",
        "C:\\Apps\\Demo\\saves\\slot1\\b.sav", "C:\\Menu\\Programs\\Demo\\Demo.lnk",
        "C:\\Desktop\\Demo.lnk", "C:\\Desktop\\notes.txt", "C:\\victimdir\\secret.txt",
        "C:\\victim.log", "C:\\Apps\\Demo \\victim.txt", "C:\\Program Files\\Common Files\\x.dll",
        "C:\\Apps\\Demo\\data\\scores.dat", "C:\\Apps\\Demo\\data\\cache\\c"})
    f.files[file] = "x";
  f.shortNames["C:\\PROG~FBU"] = "C:\\Program Files";
  f.shortNames["C:\\Apps\\DEMO~1"] = "C:\\Apps\\Demo";
  const std::string arp = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  f.registry[arp + "Demo"]["InstallLocation"] = "C:\\Apps\\Demo";
  f.registry[arp + "Other"]["InstallLocation"] = "C:\\Apps\\Other";
  f.registry["HKLM\\Software\\Zorv\\Demo"]["Path"] = "C:\\Apps\\Demo";
  f.registry["HKLM\\SoftWare\\Zantrel\\Demo"]["Language"] = "1";
}

// Keys that belong to others and must stay.
constexpr const char* kOthersKeys[] = {
    "HKLM\\Software\\Microsoft\\Windows",
    "HKLM\\Software\\Microsoft\\Cryptography",
    "HKLM\\Software\\Classes\\CLSID",
    "HKCU\\Software\\Policies\\Vendor\\App",
    "HKLM\\Software\\Wow6432Node\\Vendor\\App",
    "HKLM\\SoftWare\\Zantrel\\Other",
    "HKLM\\SoftWare\\Zantrel\\Installer",
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find("--names--\n");
  const std::string_view logText = input.substr(0, cut);

  FakePlatform fake;
  setUp(fake);
  for (const char* key : kOthersKeys) fake.registry[key]["v"] = "1";
  fake.files[std::string(kLog)] = std::string(logText);
  std::size_t stray = 0;
  if (cut != std::string_view::npos) {
    std::string_view rest = input.substr(cut + 10);
    while (!rest.empty()) {
      const std::size_t end = rest.find('\n');
      const std::string_view line = rest.substr(0, end);
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
      if (line.size() < 3) continue;
      const unsigned folder = unsigned(line[0] - '0') % 4, flags = unsigned(line[1] - '0');
      fake.strayNames[kFolders[folder]].push_back(
          {std::string(line.substr(2)), (flags & 1) != 0, (flags & 2) != 0, (flags & 4) == 0});
      ++stray;
    }
  }
  const std::set<std::string> dirsBefore = fake.directories;
  const std::map<std::string, std::string> filesBefore = fake.files;
  const std::map<std::string, bool> linksBefore = fake.systemLinks;

  // What the next version's setup would carry over from this log: lines of the log only, and
  // paths only where the uninstaller may act.
  const std::string groups[] = {"C:\\Menu\\Programs"}, desktops[] = {"C:\\Desktop"};
  if (const auto carried = carriedLogLines(logText, "Demo", kWork, groups, desktops)) {
    for (std::string_view line : *carried) {
      if (logText.find(line) == std::string_view::npos) fail("carried a line it lacks", line);
      if (!line.starts_with("DelK") && !mayActOn(resolved(line.substr(5))))
        fail("carried a path outside", line);
    }
  }

  const std::optional<UninstallLog> log = loadUninstallLog(fake, kLog, fake.protectedList, nullptr);
  if (!log) return 0;
  UninstallScope scope = defaultUninstallScope(fake, fake, fake, *log, kLog);
  fake.calls.clear();
  runUninstall(*log, scope, fake);

  for (const std::string& call : fake.calls) {
    const std::size_t blank = call.find(' ');
    const std::string verb = call.substr(0, blank);
    if (verb != "removeFile" && verb != "removeFolder" && verb != "listFolder") continue;
    const std::string path = call.substr(blank + 1);
    // A wildcard line lists its folder, which may be the Programs or the Desktop folder itself.
    const bool listsARoot = verb == "listFolder" && (same(resolved(path), "C:\\Menu\\Programs") ||
                                                     same(resolved(path), "C:\\Desktop"));
    if (!mayActOn(resolved(path)) && !listsARoot) fail("acted outside", call);
  }
  for (const std::string& dir : dirsBefore)
    if (!fake.directories.count(dir) && !mayRemove(dir)) fail("folder removed", dir);
  for (const auto& [file, contents] : filesBefore)
    if (!fake.files.count(file) && !mayRemove(file)) fail("file removed", file);
  for (const auto& [link, folder] : linksBefore)
    if (!fake.systemLinks.count(link) && !mayRemove(link)) fail("link removed", link);
  for (const char* key : kOthersKeys)
    if (!fake.registry.count(key)) fail("key removed", key);

  // Every line and every listed name costs once; the fake lists a few dozen names per folder.
  const std::size_t lines = log->files.size() + log->folders.size() + log->keys.size();
  if (fake.calls.size() > 64 * (lines + 1) + 8 * stray * (lines + 1))
    fail("work outgrew the log", std::to_string(fake.calls.size()) + " calls");
  return 0;
}
