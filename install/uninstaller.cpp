#include <optional>
#include <string>

#include "install/held_entry.h"
#include "install/install.h"

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
  const KeyHandle k = run.platform.createKey(user ? RegRoot::CurrentUser : RegRoot::LocalMachine, key);
  if (k == kNoKey) return true;
  Platform& p = run.platform;
  p.setString(k, "DisplayName", run.state.appName);
  // Written even when empty, so that a later version without them leaves none of an earlier
  // version's behind in the same entry.
  p.setString(k, "DisplayVersion", record->version);
  p.setString(k, "Publisher", record->publisher);
  p.setString(k, "DisplayIcon", icon);
  p.setString(k, "InstallLocation", dest);
  p.setString(k, "UninstallString", "\"" + program + "\"");
  p.setString(k, "QuietUninstallString", "\"" + program + "\" /S");
  p.setDword(k, "NoModify", 1);
  p.setDword(k, "NoRepair", 1);
  p.setDword(k, "EstimatedSize", std::uint32_t((std::uint64_t(run.state.requiredBytes) + 1023) / 1024));
  p.closeKey(k);
  return true;
}

}  // namespace zorv
