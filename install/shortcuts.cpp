#include <optional>
#include <string>

#include "install/install.h"
#include "package/held_entry.h"
#include "texts/texts.h"

namespace zorv {

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// One half of the phase: the program group or the desktop.
struct LinkHalf {
  std::uint32_t tag;
  std::string folder;  // the group folder or the desktop folder
  Text status;
  bool inGroup;  // group links may sit in sub-folders; desktop links are logged one by one
};

// One link record. A record that cannot be read, a link name that climbs out of its folder and
// a path too long for the shell skip the link silently. False only when the log fails.
bool makeLink(InstallRun& run, std::int32_t i, const LinkHalf& half) {
  const HeldEntry held(*run.state.package, i);
  std::optional<LinkRecord> link;
  if (held.body()) link = parseLinkRecord(*held.body());
  if (!link) return true;
  run.view.setControlText(control::kFileNameLine, link->link);
  if (escapesDirectory(link->link)) return true;
  const std::string target = joinPath(run.state.destinationDir, link->target);
  std::string path = half.folder + "\\";
  if (half.inGroup) createLinkFolder(path, link->link, run.state.language, run.platform);
  path.append(link->link).append(".lnk");
  if (path.size() > kMaxPathChars || target.size() > kMaxPathChars) return true;
  // A desktop link is logged before it is saved, and whether or not the save works.
  if (!half.inGroup && !logLine(run, kTagDeleteFile, path)) return false;
  run.platform.shell.saveLink(path, target, link->target);
  return true;
}

// The group half sets its range before its status line, the desktop half after it.
bool makeLinks(InstallRun& run, const LinkHalf& half, std::uint32_t count) {
  const std::string_view status = text(half.status, run.state.language);
  if (!half.inGroup) run.view.setControlText(control::kStatusLine, status);
  run.view.setProgressRange(count);
  run.view.setProgressPos(0);
  if (half.inGroup) run.view.setControlText(control::kStatusLine, status);
  std::uint32_t handled = 0;
  return forEachEntry(*run.state.package, half.tag, 0, -1, [&](std::int32_t i) {
    if (!makeLink(run, i, half)) return false;
    run.view.setProgressPos(++handled);
    return true;
  });
}

bool makeGroupLinks(InstallRun& run) {
  const std::uint32_t count = countEntries(*run.state.package, kTagGroupLink, 0, -1);
  if (count == 0) return true;
  const std::optional<std::string> programs =
      run.platform.shell.specialFolder(programsFolderOf(run.state));
  if (!programs) return true;  // never a folder at the drive root instead
  // The group is a folder of its own below Programs, or there is none: a name that climbs out
  // or names Programs itself would put links, and a "DelD" line, where they do not belong.
  if (!namesSubfolder(run.state.appName)) return true;
  LinkHalf half{kTagGroupLink, joinPath(*programs, run.state.appName), Text::CreateShortcuts, true};
  // An existing folder is fine, and the line is written whatever the creation did.
  if (half.folder.size() <= kMaxPathChars) run.platform.folders.createDirectory(half.folder);
  if (!logLine(run, kTagDeleteDir, half.folder)) return false;
  return makeLinks(run, half, count);
}

bool makeDesktopLinks(InstallRun& run) {
  const std::uint32_t count = countEntries(*run.state.package, kTagDesktopLink, 0, -1);
  if (count == 0 || !run.state.placeIconsOnDesktop) return true;
  const std::optional<std::string> desktop =
      run.platform.shell.specialFolder(desktopFolderOf(run.state));
  if (!desktop) return true;
  return makeLinks(run, {kTagDesktopLink, *desktop, Text::PlaceToDesktop, false}, count);
}

}  // namespace

void createLinkFolder(std::string_view base, std::string_view linkName, int language,
                      const Platform& platform) {
  // The last separator, never the first character: "\Name" has no folder part.
  std::size_t cut = linkName.size();
  while (cut > 1 && !isSeparator(linkName[cut - 1])) --cut;
  if (cut <= 1) return;
  std::string folder(base);
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  folder.append(linkName.substr(0, cut - 1));
  // Its message is shown there; the link is still attempted.
  createDirectoryPath(folder, language, platform);
}

bool createShortcuts(InstallRun& run) {
  // One shell link object serves both halves; without it there are no links at all.
  if (!run.platform.shell.beginLinks(run.state.destinationDir)) return true;
  const bool ok = makeGroupLinks(run) && makeDesktopLinks(run);
  run.platform.shell.endLinks();
  return ok;
}

}  // namespace zorv
