#include "tools/winget/winget_setup.h"

#include <algorithm>

#include "package/held_entry.h"
#include "install/install.h"
#include "install/records.h"
#include "package/number_entry.h"
#include "platform/codepage.h"
#include "tools/pe/pe_resources.h"
#include "tools/pe/version_info.h"
#include "tools/host/text_code_page.h"
#include "wizard/package_facts.h"

namespace zorv {

namespace {

SetupFactsResult failed(std::string why) { return {std::nullopt, std::move(why)}; }

// The release entry's features; none, with the reason, when the setup would not take /S.
NumberEntry releaseFeatures(Package& package) {
  const std::int32_t i = package.findByTag(kTagRelease, 0, -1);
  if (i < 0)
    return {std::nullopt,
            "the package has no \"Rels\" entry, so the setup takes no /S and cannot be installed "
            "unattended: build it again with this zorv"};
  return readNumberEntry(package, i);
}

// The setup's version resource; none when it has none or it cannot be read.
std::optional<VersionInfo> versionInfo(std::span<const std::uint8_t> exe) {
  const auto resource =
      findPeResource(exe, "#" + std::to_string(kResourceTypeVersion), kVersionResourceId);
  if (!resource) return std::nullopt;
  auto info = parseVersionResource(*resource);
  if (!info) return std::nullopt;
  return std::move(*info);
}

std::optional<std::string> versionString(const VersionInfo& info, std::string_view name) {
  const auto s = std::find_if(info.strings.begin(), info.strings.end(),
                              [name](const auto& entry) { return entry.first == name; });
  if (s == info.strings.end()) return std::nullopt;
  return s->second;
}

std::string missing(const char* what, const char* key) {
  return std::string("Add/Remove Programs would show no ") + what + ": set [application] " + key +
         " in the manifest and build the setup again";
}

}  // namespace

SetupFactsResult readSetupFacts(std::span<const std::uint8_t> exe, Package& package) {
  if (!looksLikePe(exe))
    return failed(
        "a bare package, not a setup.exe: winget runs the setup (zorv build -o NAME.exe)");
  const std::optional<PackageFacts> facts = readPackageFacts(package);
  if (!facts) return failed("setup corrupted: the package lacks \"AppN\" or \"SumC\"");
  const NumberEntry features = releaseFeatures(package);
  if (!features.number) return failed(features.why);
  const std::expected<int, std::string> codePage = textCodePage(package, 0);
  if (!codePage) return failed(codePage.error());

  const std::int32_t i = package.findByTag(kTagUninstaller, 0, -1);
  if (i < 0)
    return failed(
        "the package has no \"UnIn\" entry, so the setup makes no Add/Remove Programs "
        "entry, by which winget finds what it installed: leave [uninstall] program on");
  const HeldEntry held(package, i);
  std::optional<UninstallerRecord> record;
  if (held.body()) record = parseUninstallerRecord(*held.body());
  if (!record) return failed("its \"UnIn\" entry cannot be read");
  // The setup registers nothing for a record or a name it cannot use (registerUninstaller).
  if (refusedFileName(record->program) || refusedFileName(record->icon))
    return failed(
        "its \"UnIn\" entry names a program or icon that the setup refuses, so it "
        "makes no Add/Remove Programs entry");
  if (!usableUninstallKeyName(facts->appName))
    return failed("the setup makes no Add/Remove Programs entry for the application name \"" +
                  systemUtf8(facts->appName, *codePage) +
                  "\", which holds a backslash or a control character");
  if (record->version.empty()) return failed(missing("version", "version"));
  if (record->publisher.empty()) return failed(missing("publisher", "publisher"));

  SetupFacts out;
  out.appName = systemUtf8(facts->appName, *codePage);
  out.version = systemUtf8(record->version, *codePage);
  out.publisher = systemUtf8(record->publisher, *codePage);
  out.userScope = (*features.number & kReleaseUserScope) != 0;
  const std::optional<VersionInfo> info = versionInfo(exe);
  if (info && versionString(*info, "ProductName") == out.appName)
    out.fileDescription = versionString(*info, "FileDescription");
  return {std::move(out), ""};
}

}  // namespace zorv
