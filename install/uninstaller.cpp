#include <optional>
#include <string>

#include "install/install.h"
#include "package/held_entry.h"

namespace zorv {

bool usableUninstallKeyName(std::string_view name) {
  if (name.empty() || name.find('\\') != std::string_view::npos) return false;
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

bool registerUninstaller(InstallRun& run) {
  Package& package = *run.state.package;
  const std::int32_t i = package.findByTag(kTagUninstaller, 0, -1);
  if (i < 0) return true;
  const HeldEntry held(package, i);
  std::optional<UninstallerRecord> record;
  if (held.body()) record = parseUninstallerRecord(*held.body());
  // The entry is ours and optional: one that cannot be used registers nothing.
  if (!record || refusedFileName(record->program) || refusedFileName(record->icon) ||
      !usableUninstallKeyName(run.state.appName))
    return true;

  const std::string& dest = run.state.destinationDir;
  const std::string program = joinPath(dest, record->program);
  const std::string icon = record->icon.empty() ? program : joinPath(dest, record->icon);
  const std::string key = std::string(kUninstallKeyParent) + "\\" + run.state.appName;
  if (program.size() > kMaxPathChars || icon.size() > kMaxPathChars) return true;
  // Logged before the creation, as the package's own key is. The user's own list for an
  // application installed for the user alone.
  const bool user = run.state.userScope;
  if (!logLine(run, kTagLogDeleteKey, (user ? "HCU " : "HLM ") + key)) return false;
  Registry& r = run.platform.registry;
  const KeyHandle k = r.createKey(user ? RegRoot::CurrentUser : RegRoot::LocalMachine, key);
  if (k == kNoKey) return true;
  r.setString(k, "DisplayName", run.state.appName);
  // Written even when empty, so that a later version without them leaves none of an earlier
  // version's behind in the same entry.
  r.setString(k, "DisplayVersion", record->version);
  r.setString(k, "Publisher", record->publisher);
  r.setString(k, "DisplayIcon", icon);
  r.setString(k, "InstallLocation", dest);
  r.setString(k, "UninstallString", "\"" + program + "\"");
  r.setString(k, "QuietUninstallString", "\"" + program + "\" /S");
  r.setDword(k, "NoModify", 1);
  r.setDword(k, "NoRepair", 1);
  r.setDword(k, "EstimatedSize",
             std::uint32_t((std::uint64_t(run.state.requiredBytes) + 1023) / 1024));
  r.closeKey(k);
  return true;
}

}  // namespace zorv
