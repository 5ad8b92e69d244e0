#include "tools/winget/winget_manifest.h"

#include "tools/winget/winget_fields.h"
#include "tools/winget/yaml_text.h"
#include "wizard/unattended.h"

namespace zorv {

namespace {

// The setup's exit codes besides kExitInstalled and kExitFailed, which winget takes for
// success and for a failure without being told.
struct ReturnCode {
  int code;
  const char* response;
};
constexpr ReturnCode kReturnCodes[] = {
    {kExitCancelled, "cancelledByUser"},
    {kExitFileInUse, "fileInUse"},
    {kExitNoSpace, "diskFull"},
};

YamlWriter startManifest(const char* type, const WingetPackage& p) {
  YamlWriter y;
  y.comment("yaml-language-server: $schema=https://aka.ms/winget-manifest." + std::string(type) +
            "." + std::string(kWingetManifestVersion) + ".schema.json");
  y.blankLine();
  y.field("PackageIdentifier", p.identifier);
  y.field("PackageVersion", p.version);
  return y;
}

std::string endManifest(YamlWriter& y, const char* type) {
  y.field("ManifestType", type);
  y.field("ManifestVersion", kWingetManifestVersion);
  return y.text();
}

std::string versionManifest(const WingetPackage& p) {
  YamlWriter y = startManifest("version", p);
  y.field("DefaultLocale", p.locale);
  return endManifest(y, "version");
}

std::string defaultLocaleManifest(const WingetPackage& p) {
  YamlWriter y = startManifest("defaultLocale", p);
  y.field("PackageLocale", p.locale);
  y.field("Publisher", p.publisher);
  y.field("PackageName", p.name);
  y.field("License", p.license);
  y.field("ShortDescription", p.shortDescription);
  return endManifest(y, "defaultLocale");
}

// The page itself is the interactive mode; /S shows nothing, so with progress is the same. The
// same setup run again upgrades, into the earlier folder.
std::string installerManifest(const WingetPackage& p) {
  YamlWriter y = startManifest("installer", p);
  y.field("InstallerType", "exe");
  y.field("Scope", p.userScope ? "user" : "machine");
  y.sequence("InstallModes");
  for (const char* mode : {"interactive", "silent", "silentWithProgress"}) y.item(mode);
  y.open("InstallerSwitches");
  y.field("Silent", kSilentSwitch);
  y.field("SilentWithProgress", kSilentSwitch);
  y.field("InstallLocation", kInstallLocationSwitch);
  y.close();
  y.sequence("ExpectedReturnCodes");
  for (const ReturnCode& r : kReturnCodes) {
    y.openItem();
    y.integer("InstallerReturnCode", r.code);
    y.field("ReturnResponse", r.response);
    y.close();
  }
  y.field("UpgradeBehavior", "install");
  // The setup's key in the list of installed programs is the application's name.
  y.field("ProductCode", p.name);
  y.sequence("AppsAndFeaturesEntries");
  y.openItem();
  y.field("DisplayName", p.name);
  y.field("Publisher", p.publisher);
  y.field("DisplayVersion", p.version);
  y.field("ProductCode", p.name);
  y.close();
  y.sequence("Installers");
  y.openItem();
  y.field("Architecture", "x86");
  y.field("InstallerUrl", p.installerUrl);
  y.field("InstallerSha256", p.installerSha256);
  y.close();
  return endManifest(y, "installer");
}

struct FieldCheck {
  const char* origin;
  const std::string& value;
  std::string problem;
  const char* field;
};

}  // namespace

std::string wingetPackageProblem(const WingetPackage& p) {
  // The Add/Remove Programs entry repeats three of them, within the same or wider bounds
  // (DisplayName and Publisher 1 to 256, DisplayVersion 1 to 128).
  const FieldCheck checks[] = {
      {"--id", p.identifier, packageIdentifierProblem(p.identifier), "PackageIdentifier"},
      {"--url", p.installerUrl, installerUrlProblem(p.installerUrl), "InstallerUrl"},
      {"--locale", p.locale, localeProblem(p.locale), "PackageLocale"},
      {"--license", p.license, lengthProblem(p.license, kLicenseLimits), "License"},
      {p.descriptionOrigin.c_str(), p.shortDescription,
       lengthProblem(p.shortDescription, kShortDescriptionLimits), "ShortDescription"},
      {"[application] version", p.version, packageVersionProblem(p.version), "PackageVersion"},
      {"[application] publisher", p.publisher, lengthProblem(p.publisher, kPublisherLimits),
       "Publisher"},
      {"[application] name", p.name, lengthProblem(p.name, kPackageNameLimits), "PackageName"},
      {"[application] name", p.name, lengthProblem(p.name, kProductCodeLimits), "ProductCode"},
  };
  for (const FieldCheck& c : checks)
    if (!c.problem.empty())
      return std::string(c.origin) + " \"" + c.value + "\": " + c.problem + " (" + c.field + ")";
  return "";
}

std::array<ManifestFile, 3> wingetManifests(const WingetPackage& p) {
  return {{{".yaml", versionManifest(p)},
           {".locale." + p.locale + ".yaml", defaultLocaleManifest(p)},
           {".installer.yaml", installerManifest(p)}}};
}

}  // namespace zorv
