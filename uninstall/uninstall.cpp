#include "uninstall/uninstall.h"

#include <algorithm>

#include "log/uninstall_paths.h"
#include "platform/codepage1251.h"

namespace zorv {

namespace {

std::string parentOf(std::string_view path) {
  std::size_t cut = path.find_last_of("\\/");
  return std::string(path.substr(0, cut == std::string_view::npos ? 0 : cut));
}

std::vector<PathParts> splitAll(const std::vector<std::string>& paths) {
  std::vector<PathParts> out;
  for (const std::string& p : paths)
    if (auto parts = splitFullPath(p)) out.push_back(std::move(*parts));
  return out;
}

// One run over one log: the scope split once, the report filled in as items go.
class Remover {
 public:
  Remover(const UninstallLog& log, const UninstallScope& scope, RemovePlatform& remover)
      : log_(log),
        scope_(scope),
        rm_(remover),
        groups_(splitAll(scope.groupFolders)),
        desktops_(splitAll(scope.desktopFolders)),
        protected_(splitAll(scope.protectedFolders)) {
    work_ = splitFullPath(log.work).value_or(PathParts{});
    if (auto d = splitFullPath(scope.deferredFile)) deferred_ = std::move(*d);
    if (auto l = splitFullPath(scope.logPath)) logFile_ = std::move(*l);
    ownsName_ = ownsName();
  }

  UninstallReport run() {
    for (const std::string& file : log_.files) removeListedFile(file);
    for (const std::string& folder : log_.folders) removeListedFolder(folder);
    removeEmptiedFolders();
    for (const std::string& key : log_.keys) removeListedKey(key);
    removeLanguageKey();
    // A log whose lines did not all go stays, so that the uninstall can be run again once the
    // files are no longer in use; the folder then stays too.
    if (report_.complete())
      record(scope_.logPath, rm_.removeFile(scope_.logPath));
    else
      report_.logKept = true;
    removeWorkIfEmpty();
    return std::move(report_);
  }

 private:
  // Where a "DelF" or "DelD" path lies, and so whether it may be acted on.
  ListedPlace placeOf(const PathParts& p, bool folder) const {
    for (const PathParts& q : protected_)
      if (samePath(p, q) || isBelow(q, p)) return ListedPlace::Refused;
    return placeOfListed(p, folder, work_, groups_, desktops_);
  }

  bool skipped(const PathParts& p) const {
    return (deferred_ && samePath(p, *deferred_)) || (logFile_ && samePath(p, *logFile_));
  }

  void record(const std::string& what, RemovePlatform::Outcome outcome) {
    switch (outcome) {
      case RemovePlatform::Outcome::Removed: report_.removed.push_back(what); break;
      case RemovePlatform::Outcome::Missing: report_.notFound.push_back(what); break;
      case RemovePlatform::Outcome::Failed: report_.leftBehind.push_back(what); break;
    }
  }

  // One unit of the run's budget; false, with the item left behind, once it is spent.
  bool spend(const std::string& item, std::uint64_t units = 1) {
    if (units <= budget_) {
      budget_ -= std::uint32_t(units);
      return true;
    }
    budget_ = 0;
    report_.outOfBudget = true;
    report_.leftBehind.push_back(item);
    return false;
  }

  // A listed path in the form it is judged in: its short names expanded. None, with the path
  // refused, when it is no full path or holds a short name that does not expand.
  std::optional<std::string> judged(const std::string& path) {
    std::optional<std::string> expanded = rm_.expandPath(path);
    if (!expanded) report_.refused.push_back(path);
    return expanded;
  }

  // A child that a listing of `folder` gave, joined to it: none, with the child refused, for a
  // name that is no single name of this system or that lands anywhere but directly in
  // `folder`.
  std::optional<std::pair<std::string, PathParts>> childOf(const std::string& folder,
                                                           const PathParts& folderParts,
                                                           const RemovePlatform::Entry& e) {
    std::string child = joinPath(folder, e.name);
    std::optional<PathParts> cp = splitFullPath(child);
    if (!e.exact || !usableListedName(e.name) || !cp || !isBelow(*cp, folderParts) ||
        cp->names.size() != folderParts.names.size() + 1) {
      report_.refused.push_back(std::move(child));
      return std::nullopt;
    }
    if (skipped(*cp)) return std::nullopt;
    return std::pair{std::move(child), std::move(*cp)};
  }

  void removeListedFile(const std::string& line) {
    if (!spend(line)) return;
    const std::optional<std::string> expanded = judged(line);
    if (!expanded) return;
    const std::string& path = *expanded;
    const std::optional<PathParts> p = splitFullPath(path);
    if (!p || p->names.empty() || placeOf(*p, false) == ListedPlace::Refused) {
      report_.refused.push_back(line);
      return;
    }
    if (!hasWildcard(p->names.back())) {
      if (!skipped(*p)) record(path, rm_.removeFile(path));
      return;
    }
    // A pattern: the files of its folder whose names match; no match is no failure.
    const std::string folder = parentOf(path);
    const std::string pattern = path.substr(folder.size() + 1);
    const std::optional<PathParts> folderParts = splitFullPath(folder);
    const auto entries = rm_.listFolder(folder);
    if (!entries || !folderParts) return;
    if (!spend(folder, entries->size())) return;
    for (const RemovePlatform::Entry& e : *entries) {
      if ((e.folder && !e.link) || !matchesWildcard(pattern, e.name)) continue;
      if (const auto file = childOf(folder, *folderParts, e))
        record(file->first, e.folder ? rm_.removeFolder(file->first) : rm_.removeFile(file->first));
    }
  }

  // A "DelD" or "DelE" line's folder, judged: none, with the line spent and refused or left
  // behind, when it may not be acted on.
  std::optional<std::pair<std::string, PathParts>> listedFolder(const std::string& line) {
    if (!spend(line)) return std::nullopt;
    const std::optional<std::string> expanded = judged(line);
    if (!expanded) return std::nullopt;
    std::optional<PathParts> p = splitFullPath(*expanded);
    if (!p || p->names.empty() || hasWildcard(p->names.back()) ||
        placeOf(*p, true) == ListedPlace::Refused) {
      report_.refused.push_back(line);
      return std::nullopt;
    }
    return std::pair{*expanded, std::move(*p)};
  }

  void removeListedFolder(const std::string& line) {
    if (const auto folder = listedFolder(line)) removeTree(folder->first, folder->second, 0);
  }

  // "DelE": the folders an install made, deepest first, each only when nothing is left in it;
  // one that still holds something is kept for the user, which is no failure.
  void removeEmptiedFolders() {
    std::vector<std::pair<std::string, PathParts>> folders;
    for (const std::string& line : log_.emptyFolders)
      if (auto folder = listedFolder(line)) folders.push_back(std::move(*folder));
    std::stable_sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) {
      return a.second.names.size() > b.second.names.size();
    });
    for (const auto& [path, parts] : folders) {
      const auto entries = rm_.listFolder(path);
      if (entries && !entries->empty()) {
        report_.kept.push_back(path);
        continue;
      }
      record(path, rm_.removeFolder(path));
    }
  }

  // A folder with everything in it, never entering a link. What cannot go is left behind.
  void removeTree(const std::string& path, const PathParts& parts, int depth) {
    const auto entries = rm_.listFolder(path);
    if (!entries) {  // missing, a file, or a link: removeFolder tells which
      record(path, rm_.removeFolder(path));
      return;
    }
    if (depth >= kMaxRemoveDepth) {
      report_.leftBehind.push_back(path);
      return;
    }
    if (!spend(path, entries->size())) return;
    for (const RemovePlatform::Entry& e : *entries) {
      const auto child = childOf(path, parts, e);
      if (!child) continue;
      const std::string& at = child->first;
      if (e.folder && !e.link)
        removeTree(at, child->second, depth + 1);
      else
        record(at, e.folder ? rm_.removeFolder(at) : rm_.removeFile(at));
    }
    record(path, rm_.removeFolder(path));
  }

  // "ROOT path": only keys at least two levels below a root's Software. In the trees that
  // other programs share, only this application's own keys, and those only while the list of
  // installed programs does not say they are another folder's.
  void removeListedKey(const std::string& line) {
    const std::optional<ListedKey> key = parseListedKey(line);
    if (!key || (key->shared && !(ownsName_ && applicationsOwnKey(key->path, log_.appName)))) {
      report_.refused.push_back(line);
      return;
    }
    if (spend(line)) record(line, rm_.removeKey(key->root, key->path));
  }

  // True when the log's "Name" may be this installation's: the installed programs' entries
  // named after it, if any, lie in "Work". The installer's own key is never an application's.
  // Decided once, in the constructor.
  bool ownsName() const {
    const std::string& name = log_.appName;
    if (name.empty() || hasControlCharacter(name) || name.find('\\') != std::string::npos ||
        equalsIgnoreCaseCp1251(name, "Installer"))
      return false;
    for (const std::string& location : scope_.registeredLocations) {
      const std::optional<PathParts> p = splitFullPath(rm_.expandPath(location).value_or(""));
      if (!p || !samePath(*p, work_)) return false;
    }
    return true;
  }

  // The stored language of this application, which the setup writes but does not log.
  void removeLanguageKey() {
    if (!ownsName_) return;
    const std::string key = "SoftWare\\Zantrel\\" + log_.appName;
    const RemovePlatform::Outcome outcome = rm_.removeKey(RegRoot::LocalMachine, key);
    if (outcome != RemovePlatform::Outcome::Missing) record("HLM " + key, outcome);
  }

  void removeWorkIfEmpty() {
    const auto entries = rm_.listFolder(log_.work);
    if (!entries) return;
    for (const RemovePlatform::Entry& e : *entries) {
      const std::optional<PathParts> p = splitFullPath(joinPath(log_.work, e.name));
      if (!(p && deferred_ && samePath(*p, *deferred_))) {
        report_.workKept = true;
        return;
      }
    }
    if (entries->empty()) record(log_.work, rm_.removeFolder(log_.work));
  }

  const UninstallLog& log_;
  const UninstallScope& scope_;
  RemovePlatform& rm_;
  std::vector<PathParts> groups_, desktops_, protected_;
  PathParts work_;
  std::optional<PathParts> deferred_, logFile_;
  std::uint32_t budget_ = kMaxRemoveEntries;
  bool ownsName_ = false;
  UninstallReport report_;
};

}  // namespace

std::optional<UninstallLog> loadUninstallLog(RemovePlatform& remover, std::string_view logPath,
                                             const std::vector<std::string>& protectedFolders,
                                             std::string* why) {
  const std::optional<std::string> text = remover.readFile(logPath, kMaxLogBytes);
  if (!text) {
    if (why) *why = "cannot read " + std::string(logPath);
    return std::nullopt;
  }
  std::optional<UninstallLog> log =
      parseUninstallLog({reinterpret_cast<const std::uint8_t*>(text->data()), text->size()}, why);
  if (!log) return std::nullopt;
  const std::optional<std::string> expanded = remover.expandPath(log->work);
  if (!expanded) {
    if (why) *why = "the log names a folder that cannot be told: " + log->work;
    return std::nullopt;
  }
  log->work = *expanded;
  const std::optional<PathParts> work = splitFullPath(log->work);
  const std::optional<PathParts> folder =
      splitFullPath(remover.expandPath(parentOf(logPath)).value_or(""));
  if (!work || !workFolderAllowed(*work, splitAll(protectedFolders))) {
    if (why) *why = "the log names a folder that must not be removed: " + log->work;
    return std::nullopt;
  }
  // The log must lie in the folder it empties: a log copied elsewhere acts on nothing.
  if (!folder || !samePath(*work, *folder)) {
    if (why) *why = "the log belongs to another folder: " + log->work;
    return std::nullopt;
  }
  return log;
}

std::vector<std::string> registeredLocations(Registry& registry, std::string_view appName) {
  std::vector<std::string> locations;
  const std::string key = std::string(kUninstallKeyParent) + "\\" + std::string(appName);
  for (RegRoot root : {RegRoot::LocalMachine, RegRoot::CurrentUser})
    if (auto location = registry.readString(root, key, "InstallLocation"))
      locations.push_back(std::move(*location));
  return locations;
}

UninstallScope defaultUninstallScope(Registry& registry, Shell& shell, RemovePlatform& remover,
                                     const UninstallLog& log, std::string_view logPath) {
  UninstallScope scope;
  scope.registeredLocations = registeredLocations(registry, log.appName);
  scope.logPath = std::string(logPath);
  // The user's and all users': the log does not say for whom the application was installed.
  for (SpecialFolder f : {SpecialFolder::Programs, SpecialFolder::CommonPrograms})
    if (auto programs = shell.specialFolder(f)) scope.groupFolders.push_back(*programs);
  for (SpecialFolder f : {SpecialFolder::DesktopDirectory, SpecialFolder::CommonDesktopDirectory})
    if (auto desktop = shell.specialFolder(f)) scope.desktopFolders.push_back(*desktop);
  scope.protectedFolders = remover.protectedFolders();
  return scope;
}

UninstallReport runUninstall(const UninstallLog& log, const UninstallScope& scope,
                             RemovePlatform& remover) {
  return Remover(log, scope, remover).run();
}

bool finishUninstall(std::string_view deferredFile, std::string_view work,
                     RemovePlatform& remover) {
  const bool gone = remover.removeFile(deferredFile) != RemovePlatform::Outcome::Failed;
  if (const auto entries = remover.listFolder(work); entries && entries->empty())
    remover.removeFolder(work);
  return gone;
}

}  // namespace zorv
