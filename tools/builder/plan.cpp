#include "tools/builder/plan.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

#include "install/package_limits.h"
#include "package/format.h"
#include "tools/builder/bmp.h"
#include "tools/builder/default_bitmaps.h"
#include "platform/codepage.h"
#include "tools/host/file_identity.h"
#include "tools/builder/limits.h"

namespace zorv {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFu;  // the record's file size is 32 bits

class Planner {
 public:
  Planner(const Manifest& m, Diagnostics& diag) : m_(m), diag_(diag) {}
  std::optional<Plan> run();

 private:
  void error(int line, std::string message) { diag_.error(m_.path, line, std::move(message)); }
  void warning(int line, std::string message) { diag_.warning(m_.path, line, std::move(message)); }
  std::string shown(std::string_view ansi) const { return ansiToUtf8(ansi, m_.codePage); }

  void addMapping(const FileMapping& f);
  std::optional<PlannedFile> file(const fs::path& source, std::string name, int line);
  // Fills a folder's members from the folder `source` of the build machine; `prefix` is the
  // folder's name below the destination ("" at the top), `relative` its path below the
  // mapping's source folder ("" at the top, "/" separated), and `level` the nesting of the
  // folder records that its sub-folders become (a top-level "CopD" is level 1).
  void scanFolder(const fs::path& source, const std::string& prefix, const std::string& relative,
                  int level, const FileMapping& f, std::vector<PlannedFile>& files,
                  std::vector<PlannedFolder>& folders);
  void scanSubfolder(const fs::path& child, const std::string& name, const std::string& relative,
                     int level, const FileMapping& f, std::vector<PlannedFolder>& folders);
  bool excluded(const FileMapping& f, const std::string& relative);
  void warnUnusedExcludes(const FileMapping& f, bool isFolder);
  bool leadsBack(const fs::path& child, int line);
  bool countRecord(int line);
  std::optional<std::string> childName(const fs::path& parent, const fs::path& child,
                                       const std::string& prefix, int line);
  bool claim(const std::string& name, bool isFolder, int line);
  void checkTargets();
  void loadBitmaps();
  void loadIcon();
  void count(const PlannedFolder& d);

  const Manifest& m_;
  Diagnostics& diag_;
  Plan plan_;
  std::map<std::string, int> files_;    // folded names of installed files, and their lines
  std::map<std::string, int> folders_;  // folded names of every folder they need
  // The source folders being scanned, outermost first: a folder met again below itself is a
  // loop of symbolic links, which would be walked for ever.
  std::vector<std::pair<FileIdentity, fs::path>> open_;
  // File and folder records planned so far in the whole package. The setup walks at most
  // kMaxRecordsVisited of them, and links can multiply a tree without making a loop.
  std::uint64_t records_ = 0;
  // Which exclude patterns of the mapping being planned left out at least one name.
  std::vector<bool> excludeUsed_;
};

bool Planner::claim(const std::string& name, bool isFolder, int line) {
  if (namesUninstallLog(name)) {
    error(line, "\"" + shown(name) +
                    "\" is the uninstall log, which the setup writes at the top "
                    "of the destination");
    return false;
  }
  const std::string key = foldCase(name, m_.codePage);
  if (m_.uninstaller && key == foldCase(kUninstallerName, m_.codePage)) {
    error(line, "\"" + shown(name) +
                    "\" is the uninstaller, which the builder puts at the top of the "
                    "destination (set [uninstall] program = false to install one of your own)");
    return false;
  }
  auto& mine = isFolder ? folders_ : files_;
  auto& other = isFolder ? files_ : folders_;
  if (auto it = other.find(key); it != other.end()) {
    error(line, "\"" + shown(name) + "\" would be both a file and a folder (see line " +
                    std::to_string(it->second) + ")");
    return false;
  }
  auto [it, fresh] = mine.emplace(key, line);
  if (!fresh && !isFolder) {
    error(line, "\"" + shown(name) + "\" is installed twice (also from line " +
                    std::to_string(it->second) + "); Windows names ignore case");
    return false;
  }
  // A folder claimed before had its parents claimed with it.
  if (!fresh) return true;
  // The parent folder is a folder too, and through it every folder above.
  const std::size_t cut = name.rfind('\\');
  return cut == name.npos || claim(name.substr(0, cut), true, line);
}

std::optional<PlannedFile> Planner::file(const fs::path& source, std::string name, int line) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(source, ec);
  if (ec) {
    error(line, "cannot read \"" + source.string() + "\": " + ec.message());
    return std::nullopt;
  }
  if (size > kMaxFileSize) {
    error(line, "\"" + source.string() + "\" is larger than 4 GB, which a package cannot hold");
    return std::nullopt;
  }
  if (!std::ifstream(source, std::ios::binary)) {
    error(line, "cannot open \"" + source.string() + "\" for reading");
    return std::nullopt;
  }
  const std::size_t path = destinationLength(m_.defaultParent ? m_.defaultParent->text : "",
                                             m_.defaultParent.has_value(), m_.appName.text) +
                           1 + name.size();
  if (path > kMaxPath) {
    error(line, "\"" + shown(name) + "\" makes a path of " + std::to_string(path) +
                    " characters below the destination; at most " + std::to_string(kMaxPath) +
                    " fit" +
                    (m_.defaultParent ? ""
                                      : " (the default parent folder is taken as " +
                                            std::to_string(kAssumedShellFolder) + " characters)"));
    return std::nullopt;
  }
  if (!claim(name, false, line)) return std::nullopt;
  plan_.totalBytes += size;
  plan_.blockCount += (size + kBlockSize - 1) / kBlockSize;
  return PlannedFile{source, std::move(name), size, line, nullptr};
}

std::optional<std::string> Planner::childName(const fs::path& parent, const fs::path& child,
                                              const std::string& prefix, int line) {
  std::string bad;
  auto ansi = utf8ToAnsi(child.filename().string(), m_.codePage, &bad);
  if (!ansi) {
    error(line, "the name of \"" + (parent / child.filename()).string() + "\" holds " + bad);
    return std::nullopt;
  }
  std::string why = componentProblem(*ansi);
  if (!why.empty()) {
    error(line, "\"" + (parent / child.filename()).string() +
                    "\" cannot be installed: its name holds " + why);
    return std::nullopt;
  }
  return prefix.empty() ? *ansi : prefix + "\\" + *ansi;
}

bool Planner::leadsBack(const fs::path& child, int line) {
  const std::optional<FileIdentity> id = fileIdentity(child);
  for (const auto& [open, path] : open_)
    if (id && *id == open) {
      error(line, "\"" + child.string() + "\" leads back to \"" + path.string() +
                      "\", a folder it lies in (a symbolic link?); the folder would never end");
      return true;
    }
  return false;
}

// Counts one more file or folder record; false, with an error the first time, past what the
// setup walks in one package, where the uninstaller the builder adds is one record too.
bool Planner::countRecord(int line) {
  const std::uint64_t budget = kMaxRecordsVisited - (m_.uninstaller ? 1 : 0);
  if (++records_ <= budget) return true;
  if (records_ == budget + 1)
    error(line, "the package would hold more than " + std::to_string(budget) +
                    " files and folders" + (m_.uninstaller ? " besides the uninstaller" : "") +
                    ", more than the setup walks in one package");
  return false;
}

void Planner::scanSubfolder(const fs::path& child, const std::string& name,
                            const std::string& relative, int level, const FileMapping& f,
                            std::vector<PlannedFolder>& folders) {
  if (leadsBack(child, f.line)) return;
  if (name.size() + 1 > kMaxRecordText) {
    error(f.line, "the folder name \"" + shown(name) + "\" is longer than a record holds");
    return;
  }
  if (level > kMaxDirectoryDepth) {
    error(f.line, "the folder \"" + shown(name) + "\" lies " + std::to_string(level) +
                      " folders deep; the setup installs at most " +
                      std::to_string(kMaxDirectoryDepth) + " levels of folders");
    return;
  }
  if (!claim(name, true, f.line)) return;
  const std::size_t path = destinationLength(m_.defaultParent ? m_.defaultParent->text : "",
                                             m_.defaultParent.has_value(), m_.appName.text) +
                           1 + name.size();
  if (path + 2 > kMaxPath) {
    error(f.line, "the folder \"" + shown(name) +
                      "\" leaves no room for file names below the destination (" +
                      std::to_string(path) + " characters of " + std::to_string(kMaxPath) + ")");
    return;
  }
  PlannedFolder d{name, {}, {}, f.line};
  scanFolder(child, name, relative, level + 1, f, d.files, d.folders);
  if (d.files.empty() && d.folders.empty())
    warning(f.line, "the folder \"" + shown(name) +
                        "\" is empty; the setup creates folders only for the files in them");
  folders.push_back(std::move(d));
}

bool Planner::excluded(const FileMapping& f, const std::string& relative) {
  bool out = false;
  for (std::size_t i = 0; i < f.exclude.size(); ++i)
    if (matchesExcludePattern(relative, f.exclude[i].pattern)) out = excludeUsed_[i] = true;
  return out;
}

// A pattern that leaves nothing out is most likely a typo, or a path written from the wrong
// folder; the files it meant to keep out of the package are in it.
void Planner::warnUnusedExcludes(const FileMapping& f, bool isFolder) {
  for (std::size_t i = 0; i < f.exclude.size(); ++i)
    if (!excludeUsed_[i])
      warning(f.exclude[i].line,
              "the exclude pattern \"" + f.exclude[i].pattern + "\" matches nothing in \"" +
                  f.sourceText + "\"" +
                  (isFolder ? (f.exclude[i].pattern.find('/') != std::string::npos
                                   ? " (a pattern with \"/\" is a path below that folder)"
                                   : "")
                            : ", a file: patterns apply to the contents of folders"));
}

void Planner::scanFolder(const fs::path& source, const std::string& prefix,
                         const std::string& relative, int level, const FileMapping& f,
                         std::vector<PlannedFile>& files, std::vector<PlannedFolder>& folders) {
  std::error_code ec;
  std::vector<fs::path> children;
  for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec))
    children.push_back(it->path());
  if (ec) {
    error(f.line, "cannot list \"" + source.string() + "\": " + ec.message());
    return;
  }
  // Byte order of the names: the same package on every machine and file system.
  std::sort(children.begin(), children.end(), [](const fs::path& a, const fs::path& b) {
    return a.filename().string() < b.filename().string();
  });
  const std::optional<FileIdentity> self = fileIdentity(source);
  if (self) open_.emplace_back(*self, source);
  for (const fs::path& child : children) {
    const std::string leaf = child.filename().string();
    const std::string path = relative.empty() ? leaf : relative + "/" + leaf;
    if (excluded(f, path)) continue;
    if (!countRecord(f.line)) break;
    auto name = childName(source, child, prefix, f.line);
    if (!name) continue;
    const fs::file_status st = fs::status(child, ec);  // links are followed
    if (ec) {
      error(f.line, "cannot read \"" + child.string() + "\": " + ec.message());
    } else if (fs::is_regular_file(st)) {
      if (auto pf = file(child, *name, f.line)) files.push_back(std::move(*pf));
    } else if (fs::is_directory(st)) {
      scanSubfolder(child, *name, path, level, f, folders);
    } else {
      error(f.line, "\"" + child.string() + "\" is neither a file nor a folder");
    }
  }
  if (self) open_.pop_back();
}

void Planner::addMapping(const FileMapping& f) {
  excludeUsed_.assign(f.exclude.size(), false);
  std::error_code ec;
  const fs::file_status st = fs::status(f.source, ec);
  if (ec || !fs::exists(st)) {
    error(f.line, "\"" + f.sourceText + "\" does not exist (looked for " + f.source.string() + ")");
    return;
  }
  std::string target = f.target;
  if (!f.targetGiven) {
    fs::path leaf = fs::weakly_canonical(f.source, ec).filename();
    auto name = childName(f.source.parent_path(), leaf, "", f.line);
    if (!name) return;
    target = *name;
  }
  if (fs::is_regular_file(st)) {
    if (target.empty()) {
      error(f.line, "the file \"" + f.sourceText + "\" needs a target name");
      return;
    }
    if (!countRecord(f.line)) return;
    if (auto pf = file(f.source, target, f.line)) plan_.files.push_back(std::move(*pf));
    warnUnusedExcludes(f, false);
  } else if (fs::is_directory(st)) {
    if (target.empty()) {
      // The folder's contents go straight into the destination folder.
      scanFolder(f.source, "", "", 1, f, plan_.files, plan_.folders);
    } else if (countRecord(f.line) && claim(target, true, f.line)) {
      PlannedFolder d{target, {}, {}, f.line};
      scanFolder(f.source, target, "", 2, f, d.files, d.folders);
      plan_.folders.push_back(std::move(d));
    }
    warnUnusedExcludes(f, true);
  } else {
    error(f.line, "\"" + f.sourceText + "\" is neither a file nor a folder");
  }
}

// Shortcut targets and the program to run name installed files; a typo there would only show
// on the user's machine.
void Planner::checkTargets() {
  auto installed = [&](const std::string& name) {
    const std::string key = foldCase(name, m_.codePage);
    return files_.count(key) > 0 ||
           (m_.uninstaller && key == foldCase(kUninstallerName, m_.codePage));
  };
  for (const ShortcutSpec& s : m_.shortcuts)
    if (!installed(s.target))
      warning(s.line,
              "the shortcut target \"" + shown(s.target) + "\" is not a file of the package");
  if (m_.run) {
    const std::string& r = m_.run->text;
    const bool absolute = (r.size() >= 2 && r[1] == ':') || r.starts_with("\\");
    if (!absolute && !installed(r))
      warning(m_.run->line, "the program to run \"" + shown(r) + "\" is not a file of the package");
  }
}

void Planner::loadBitmaps() {
  if (!m_.bitmapsTable) {
    for (std::size_t i = 0; i < kSuppliedBitmapCount; ++i) {
      const PageBitmapSize& s = kPageBitmapSizes[i];
      plan_.bitmaps.push_back({s.name, defaultBitmapBody(s.width, s.height, plan_.icon)});
    }
    return;
  }
  for (std::size_t i = 0; i < kBitmapNames.size(); ++i) {
    const std::optional<BitmapSpec>& desc = m_.bitmaps[i];
    if (!desc) continue;
    const auto bytes = readInputFile(desc->source);
    if (!bytes) {
      error(desc->line, "cannot read the bitmap \"" + desc->sourceText + "\" (is it a file?)");
      continue;
    }
    BitmapShape shape;
    auto body = bmpToBitmapBody(*bytes, &shape);
    if (!body) {
      error(desc->line, "the bitmap \"" + desc->sourceText + "\" cannot be used: " + body.error());
      continue;
    }
    const PageBitmapSize& want = kPageBitmapSizes[i];
    if (shape.width != want.width || shape.height != want.height)
      warning(desc->line, "the bitmap \"" + desc->sourceText + "\" is " +
                              std::to_string(shape.width) + " x " + std::to_string(shape.height) +
                              "; the page shows \"" + want.name + "\" at " +
                              std::to_string(want.width) + " x " + std::to_string(want.height));
    plan_.bitmaps.push_back({kBitmapNames[i], std::move(*body)});
  }
}

void Planner::loadIcon() {
  if (!m_.icon) return;
  const auto bytes = readInputFile(m_.icon->source);
  if (!bytes) {
    error(m_.icon->line, "cannot read the icon \"" + m_.icon->sourceText + "\" (is it a file?)");
    return;
  }
  auto images = parseIconFile(*bytes);
  if (!images)
    error(m_.icon->line,
          "the icon \"" + m_.icon->sourceText + "\" cannot be used: " + images.error());
  else
    plan_.icon = std::move(*images);
}

void Planner::count(const PlannedFolder& d) {
  ++plan_.folderCount;
  plan_.fileCount += d.files.size();
  for (const PlannedFolder& sub : d.folders) count(sub);
}

std::optional<Plan> Planner::run() {
  const std::size_t before = diag_.errorCount();
  for (const FileMapping& f : m_.files) addMapping(f);
  checkTargets();
  loadIcon();  // before the bitmaps, which may show it
  loadBitmaps();
  if (plan_.totalBytes > 0xFFFFFFFFu)
    error(0, "the files add up to " + std::to_string(plan_.totalBytes) +
                 " bytes; a package holds at most 4 GB");
  plan_.fileCount = plan_.files.size();
  for (const PlannedFolder& d : plan_.folders) count(d);
  if (diag_.errorCount() != before) return std::nullopt;
  return std::move(plan_);
}

void walkFolder(const PlannedFolder& d, const std::function<void(const PlannedFile&)>& fn) {
  for (const PlannedFile& f : d.files) fn(f);
  for (const PlannedFolder& sub : d.folders) walkFolder(sub, fn);
}

}  // namespace

std::optional<Plan> makePlan(const Manifest& manifest, Diagnostics& diag) {
  return Planner(manifest, diag).run();
}

std::expected<void, std::string> addUninstaller(Plan& plan, const fs::path& source,
                                                std::vector<std::uint8_t> program) {
  const std::uint64_t size = program.size();
  if (plan.totalBytes + size > kMaxFileSize)
    return std::unexpected("with the uninstaller the files pass 4 GB, the most a package holds");
  plan.totalBytes += size;
  plan.blockCount += (size + kBlockSize - 1) / kBlockSize;
  ++plan.fileCount;
  plan.files.push_back({source, std::string(kUninstallerName), size, 0,
                        std::make_shared<const std::vector<std::uint8_t>>(std::move(program))});
  plan.carriesUninstaller = true;
  return {};
}

void forEachFileInPackageOrder(const Plan& plan,
                               const std::function<void(const PlannedFile&)>& fn) {
  for (const PlannedFile& f : plan.files) fn(f);
  for (const PlannedFolder& d : plan.folders) walkFolder(d, fn);
}

bool matchesExcludePattern(std::string_view path, std::string_view pattern) {
  if (pattern.find('/') == pattern.npos)
    return matchesPattern(path.substr(path.rfind('/') + 1), pattern);  // npos + 1 is 0
  if (pattern.front() == '/') pattern.remove_prefix(1);
  // Name by name: as many names in the path as in the pattern, each matching its own.
  while (true) {
    const std::size_t p = pattern.find('/'), n = path.find('/');
    if (!matchesPattern(path.substr(0, n), pattern.substr(0, p))) return false;
    if (p == pattern.npos || n == path.npos) return p == n;
    pattern.remove_prefix(p + 1);
    path.remove_prefix(n + 1);
  }
}

bool matchesPattern(std::string_view name, std::string_view pattern) {
  // Iterative glob with one remembered star: linear in practice, never exponential.
  std::size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++n, ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++, starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1, n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace zorv
