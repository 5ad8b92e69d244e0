#include "tests/fake/fake_platform.h"

namespace zorv {

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

std::string normal(std::string_view path) {
  while (!path.empty() && isSeparator(path.back())) path.remove_suffix(1);
  return std::string(path);
}

// The directory part, or "" for a path without a separator.
std::string parentOf(const std::string& path) {
  std::size_t cut = path.size();
  while (cut > 0 && !isSeparator(path[cut - 1])) --cut;
  return cut == 0 ? std::string() : normal(std::string_view(path).substr(0, cut));
}

}  // namespace

const char* rootName(RegRoot root) {
  switch (root) {
    case RegRoot::LocalMachine: return "HKLM";
    case RegRoot::ClassesRoot: return "HKCR";
    case RegRoot::CurrentConfig: return "HKCC";
    case RegRoot::CurrentUser: return "HKCU";
    case RegRoot::Users: return "HKU";
  }
  return "?";
}

FakePlatform::FakePlatform() {
  folders[SpecialFolder::Programs] = "C:\\Menu\\Programs";
  folders[SpecialFolder::DesktopDirectory] = "C:\\Desktop";
  folders[SpecialFolder::AppData] = "C:\\AppData";
  folders[SpecialFolder::CommonPrograms] = "C:\\All\\Programs";
  folders[SpecialFolder::CommonDesktopDirectory] = "C:\\All\\Desktop";
  folders[SpecialFolder::LocalAppData] = "C:\\Local";
  folders[SpecialFolder::ProgramFiles] = "C:\\Program Files";
  for (const auto& [id, path] : folders) addDirectory(path);
  addDirectory(cwd);
}

void FakePlatform::addDirectory(std::string path) {
  for (std::string p = normal(path); !p.empty(); p = parentOf(p)) directories.insert(p);
}

bool FakePlatform::exists(const std::string& path) const {
  const std::string p = normal(path);
  return directories.count(p) || files.count(p);
}

std::string FakePlatform::file(const std::string& path) const {
  auto it = files.find(normal(path));
  return it == files.end() ? "<missing>" : it->second;
}

std::string FakePlatform::value(const std::string& key, const std::string& name) const {
  auto k = registry.find(key);
  if (k == registry.end()) return "<missing>";
  auto v = k->second.find(name);
  return v == k->second.end() ? "<missing>" : v->second;
}

bool FakePlatform::setCurrentDirectory(std::string_view dir) {
  calls.push_back("setCurrentDirectory " + std::string(dir));
  if (!exists(std::string(dir))) return false;
  cwd = normal(dir);
  return true;
}

bool FakePlatform::startProcess(std::string_view application, std::string_view commandLine) {
  calls.push_back("startProcess " + std::string(application));
  processes.push_back({std::string(application), std::string(commandLine), cwd});
  const std::string app(application);
  const bool relative = app.find(':') == std::string::npos && (app.empty() || !isSeparator(app[0]));
  return files.count(normal(relative ? cwd + "\\" + app : app)) > 0;
}

bool FakePlatform::createDirectory(std::string_view path) {
  calls.push_back("createDirectory " + std::string(path));
  const std::string p = normal(path);
  if (failCreateDirectory.count(p) || exists(p) || !exists(parentOf(p))) return false;
  directories.insert(p);
  return true;
}

void FakePlatform::deleteFile(std::string_view path) {
  if (!inUse.count(normal(path))) files.erase(normal(path));
}

FileHandle FakePlatform::openOutputFile(std::string_view path) {
  calls.push_back("openOutputFile " + std::string(path));
  const std::string p = normal(path);
  if (failOpen.count(p) || inUse.count(p) || directories.count(p) ||
      !directories.count(parentOf(p)))
    return kNoFile;
  files[p].clear();
  handles_[nextFile_] = p;
  return nextFile_++;
}

FileHandle FakePlatform::openAppendFile(std::string_view path) {
  calls.push_back("openAppendFile " + std::string(path));
  const std::string p = normal(path);
  if (failOpen.count(p) || inUse.count(p) || !files.count(p)) return kNoFile;
  handles_[nextFile_] = p;
  return nextFile_++;
}

bool FakePlatform::replaceFile(std::string_view from, std::string_view to) {
  calls.push_back("replaceFile " + std::string(from) + " " + std::string(to));
  const std::string f = normal(from), t = normal(to);
  if (failRemove.count(t) || inUse.count(t) || inUse.count(f) || !files.count(f) ||
      directories.count(t))
    return false;
  files[t] = std::move(files[f]);
  files.erase(f);
  return true;
}

bool FakePlatform::writeFile(FileHandle file, std::span<const std::uint8_t> bytes) {
  auto h = handles_.find(file);
  if (h == handles_.end() || failWrite.count(h->second)) return false;
  files[h->second].append(bytes.begin(), bytes.end());
  return true;
}

void FakePlatform::closeFile(FileHandle file) { handles_.erase(file); }

std::optional<std::string> FakePlatform::readString(RegRoot root, std::string_view key,
                                                    std::string_view name) {
  const std::string v =
      value(std::string(rootName(root)) + "\\" + std::string(key), std::string(name));
  if (v == "<missing>") return std::nullopt;
  return v;
}

KeyHandle FakePlatform::createKey(RegRoot root, std::string_view key) {
  const std::string full = std::string(rootName(root)) + "\\" + std::string(key);
  calls.push_back("createKey " + full);
  if (failKey.count(full)) return kNoKey;
  registry[full];
  keys_[nextKey_] = full;
  return nextKey_++;
}

bool FakePlatform::setString(KeyHandle key, std::string_view name, std::string_view data) {
  calls.push_back("setString " + std::string(name));
  auto k = keys_.find(key);
  if (k == keys_.end()) return false;
  registry[k->second][std::string(name)] = std::string(data);
  return true;
}

bool FakePlatform::setDword(KeyHandle key, std::string_view name, std::uint32_t data) {
  return setString(key, name, "dword:" + std::to_string(data));
}

void FakePlatform::closeKey(KeyHandle key) { keys_.erase(key); }

std::optional<std::string> FakePlatform::specialFolder(SpecialFolder folder) {
  auto f = folders.find(folder);
  if (f == folders.end()) return std::nullopt;
  return f->second;
}

bool FakePlatform::beginLinks(std::string_view workingDirectory) {
  calls.push_back("beginLinks " + std::string(workingDirectory));
  if (!linksAvailable) return false;
  linkDirectory_ = workingDirectory;
  inLinks_ = true;
  return true;
}

bool FakePlatform::saveLink(std::string_view linkPath, std::string_view target,
                            std::string_view description) {
  calls.push_back("saveLink " + std::string(linkPath));
  const std::string p = normal(linkPath);
  if (!inLinks_ || !directories.count(parentOf(p))) return false;
  links.push_back({p, std::string(target), std::string(description), linkDirectory_});
  files[p] = "<link>";
  return true;
}

void FakePlatform::endLinks() {
  calls.push_back("endLinks");
  inLinks_ = false;
}

bool FakePlatform::askRetry(std::string_view text, std::string_view caption) {
  calls.push_back("askRetry " + std::string(caption));
  messages.push_back({std::string(text), std::string(caption)});
  if (retries == 0) return false;
  --retries;
  return true;
}

std::optional<std::string> FakePlatform::readFileStart(std::string_view path, std::size_t limit) {
  auto it = files.find(normal(path));
  if (it == files.end()) return std::nullopt;
  return it->second.substr(0, limit);
}

bool FakePlatform::isFolder(std::string_view path) { return directories.count(normal(path)) > 0; }

void FakePlatform::messageBox(std::string_view text, std::string_view caption) {
  calls.push_back("messageBox " + std::string(caption));
  messages.push_back({std::string(text), std::string(caption)});
}

bool FakePlatform::throughLink(const std::string& path) const {
  for (std::string p = parentOf(path); !p.empty(); p = parentOf(p))
    if (systemLinks.count(p) || goneLinks.count(p)) return true;
  return false;
}

std::optional<std::string> FakePlatform::expandPath(std::string_view path) {
  std::string p(path);
  for (const auto& [shortName, longName] : shortNames)
    if (p == shortName || (p.starts_with(shortName) && isSeparator(p[shortName.size()])))
      return longName + p.substr(shortName.size());
  if (p.find('~') != std::string::npos) return std::nullopt;
  return p;
}

std::optional<std::vector<RemovePlatform::Entry>> FakePlatform::listFolder(std::string_view path) {
  const std::string p = normal(path);
  calls.push_back("listFolder " + p);
  if (!directories.count(p) || systemLinks.count(p) || goneLinks.count(p) || throughLink(p))
    return std::nullopt;
  std::vector<Entry> entries;
  auto add = [&](const std::string& child, bool folder, bool link) {
    if (parentOf(child) == p) entries.push_back({child.substr(p.size() + 1), folder, link});
  };
  for (const std::string& d : directories) add(d, true, false);
  for (const auto& [f, contents] : files) add(f, false, false);
  for (const auto& [l, folder] : systemLinks) add(l, folder, true);
  if (auto stray = strayNames.find(p); stray != strayNames.end())
    entries.insert(entries.end(), stray->second.begin(), stray->second.end());
  return entries;
}

RemovePlatform::Outcome FakePlatform::removeFile(std::string_view path) {
  const std::string p = normal(path);
  calls.push_back("removeFile " + p);
  if (failRemove.count(p) || throughLink(p)) return Outcome::Failed;
  if (goneLinks.count(p)) return Outcome::Missing;
  if (systemLinks.count(p) && !systemLinks[p]) {
    systemLinks.erase(p);
    return Outcome::Removed;
  }
  if (directories.count(p) || systemLinks.count(p)) return Outcome::Failed;
  return files.erase(p) ? Outcome::Removed : Outcome::Missing;
}

RemovePlatform::Outcome FakePlatform::removeFolder(std::string_view path) {
  const std::string p = normal(path);
  calls.push_back("removeFolder " + p);
  if (failRemove.count(p) || throughLink(p)) return Outcome::Failed;
  if (goneLinks.count(p)) return Outcome::Missing;
  if (systemLinks.count(p)) {
    if (!systemLinks[p]) return Outcome::Failed;
    systemLinks.erase(p);
    goneLinks.insert(p);
    return Outcome::Removed;
  }
  if (files.count(p)) return Outcome::Failed;
  if (!directories.count(p)) return Outcome::Missing;
  const auto entries = listFolder(p);
  if (!entries || !entries->empty()) return Outcome::Failed;
  directories.erase(p);
  return Outcome::Removed;
}

RemovePlatform::Outcome FakePlatform::removeKey(RegRoot root, std::string_view key) {
  const std::string full = std::string(rootName(root)) + "\\" + std::string(key);
  calls.push_back("removeKey " + full);
  if (failKey.count(full)) return Outcome::Failed;
  std::size_t erased = 0;
  for (auto it = registry.begin(); it != registry.end();) {
    const bool below = it->first == full || it->first.starts_with(full + "\\");
    it = below ? (++erased, registry.erase(it)) : std::next(it);
  }
  return erased ? Outcome::Removed : Outcome::Missing;
}

std::optional<std::string> FakePlatform::readFile(std::string_view path, std::size_t limit) {
  auto it = files.find(normal(path));
  if (it == files.end() || it->second.size() > limit) return std::nullopt;
  return it->second;
}

void FakePlatform::showControl(int id, bool show) {
  calls.push_back("showControl " + std::to_string(id) + (show ? " 1" : " 0"));
  visible[id] = show;
}

void FakePlatform::setControlText(int id, std::string_view text) {
  calls.push_back("setText " + std::to_string(id) + " " + std::string(text));
  controlTexts[id] = text;
}

void FakePlatform::setProgressRange(std::uint32_t high) {
  calls.push_back("setProgressRange " + std::to_string(high));
}

void FakePlatform::setProgressPos(std::uint32_t pos) {
  calls.push_back("setProgressPos " + std::to_string(pos));
}

void FakePlatform::showStageBitmap(int stage) {
  calls.push_back("showStageBitmap " + std::to_string(stage));
}

void FakePlatform::closeSetup() {
  calls.push_back("closeSetup");
  closed = true;
}

}  // namespace zorv
