// The three files of a winget multi-file manifest (schema 1.10.0) for one zorv setup.exe: the
// version manifest, the default-locale manifest and the installer manifest. What the setup
// takes on its command line and the exit codes it ends with are the setup's own and fixed here
// (see wizard/setup_arguments.h and wizard/unattended.h).
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace zorv {

// The switches for the setup's command line (wizard/setup_arguments.h), which winget joins
// after the program with blanks, <INSTALLPATH> replaced by the folder. The setup takes the rest
// of the line after "/D=" as the folder, blanks and all.
inline constexpr std::string_view kSilentSwitch = "/S";
inline constexpr std::string_view kInstallLocationSwitch = "/D=<INSTALLPATH>";

// Every text in UTF-8.
struct WingetPackage {
  std::string identifier;  // --id: Publisher.App
  std::string version;     // the Add/Remove Programs DisplayVersion
  std::string locale;      // of the default-locale manifest
  std::string publisher;   // the Add/Remove Programs Publisher
  std::string name;        // the application's name: its Add/Remove Programs key and DisplayName
  std::string license;
  std::string shortDescription;
  std::string descriptionOrigin;  // where shortDescription came from, for messages
  std::string installerUrl;
  std::string installerSha256;  // 64 upper-case hexadecimal digits
  bool userScope = false;       // installed for the user alone, else for the machine
};

// What is wrong with the first field that schema 1.10.0 refuses, naming the value, where it
// came from and the field ("[application] version \"1/2\": holds '/', ... (PackageVersion)");
// empty when every field passes.
std::string wingetPackageProblem(const WingetPackage& package);

// A file named after the identifier: its name is the identifier and `suffix`, ".yaml",
// ".locale.<locale>.yaml" or ".installer.yaml".
struct ManifestFile {
  std::string suffix;
  std::string text;
};

// The version, default-locale and installer manifests, in this order. Each starts with the
// line that tells editors its schema and ends with ManifestType and ManifestVersion.
std::array<ManifestFile, 3> wingetManifests(const WingetPackage& package);

}  // namespace zorv
