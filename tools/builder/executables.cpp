#include "tools/builder/executables.h"

#include <algorithm>
#include <memory>
#include <set>

#include "platform/codepage.h"
#include "tools/host/file_identity.h"
#include "tools/builder/signing.h"
#include "tools/host/stub_path.h"
#include "tools/pe/icons.h"
#include "tools/pe/pe_resources.h"
#include "tools/pe/version_info.h"

namespace zorv {

namespace {

// Nothing, or why the program cannot be given the product's resources.
using Edited = std::expected<void, std::string>;

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kIconGroupId = 101;
constexpr std::uint16_t kResourceTypeManifest = 24;  // RT_MANIFEST
constexpr std::uint16_t kLanguageEnglishUs = 0x0409;
constexpr std::uint16_t kLanguageRussian = 0x0419;

enum class Role { Setup, Uninstaller };

std::string typeText(std::uint16_t type) { return "#" + std::to_string(type); }

// Resource edits and the bytes they view. The bytes live in their own allocations, which do
// not move when the list grows.
struct Edits {
  std::vector<std::unique_ptr<Bytes>> storage;
  std::vector<PeResourceEdit> list;

  void add(std::uint16_t type, std::uint16_t id, Bytes bytes, std::uint16_t language) {
    storage.push_back(std::make_unique<Bytes>(std::move(bytes)));
    list.push_back({typeText(type), id, *storage.back(), language, false});
  }
  void remove(std::uint16_t type, std::uint16_t id) {
    list.push_back({typeText(type), id, {}, 0, true});
  }
};

Bytes versionResource(const Manifest& m, Role role, std::string_view fileName) {
  const auto utf8 = [&m](const std::optional<ManifestText>& t) {
    return ansiToUtf8(t->text, m.codePage);
  };
  const std::string name = ansiToUtf8(m.appName.text, m.codePage);
  const bool setup = role == Role::Setup;
  VersionInfo info;
  if (m.version) info.fileVersion = info.productVersion = parseVersionText(m.version->text).numbers;
  info.codePage = static_cast<std::uint16_t>(m.codePage);
  info.language = m.codePage == kCodePageCyrillic ? kLanguageRussian : kLanguageEnglishUs;
  auto& s = info.strings;
  if (m.publisher) s.emplace_back("CompanyName", utf8(m.publisher));
  s.emplace_back("FileDescription", name + (setup ? " Setup" : " Uninstall"));
  if (m.version) s.emplace_back("FileVersion", utf8(m.version));
  s.emplace_back("InternalName", setup ? "setup" : "uninstall");
  if (m.copyright) s.emplace_back("LegalCopyright", utf8(m.copyright));
  s.emplace_back("OriginalFilename", std::string(fileName));
  s.emplace_back("ProductName", name);
  if (m.version) s.emplace_back("ProductVersion", utf8(m.version));
  return versionResourceBytes(info);
}

// Icon group 101 and its images in place of the program's: the images the old group names go
// (unless another group might share them), and the new ones take the lowest free ids.
Edited iconEdits(std::span<const std::uint8_t> program, std::span<const IconImage> icon,
                 Edits& edits) {
  const auto list = listPeResources(program);
  if (!list) return std::unexpected("its resources cannot be read: " + list.error());
  std::uint16_t language = 0;
  std::size_t otherGroups = 0;
  std::set<std::uint16_t> used;
  for (const PeResourceInfo& r : *list) {
    if (r.type == PeResourceKey{false, kResourceTypeIconGroup, ""}) {
      if (r.name == PeResourceKey{false, kIconGroupId, ""})
        language = r.language;
      else
        ++otherGroups;
    }
    if (r.type == PeResourceKey{false, kResourceTypeIcon, ""} && !r.name.named)
      used.insert(r.name.id);
  }
  if (otherGroups == 0)
    if (auto group = findPeResource(program, typeText(kResourceTypeIconGroup), kIconGroupId))
      if (auto entries = parseIconGroup(*group))
        for (const IconGroupEntry& e : *entries) {
          edits.remove(kResourceTypeIcon, e.id);
          used.erase(e.id);
        }
  std::vector<std::uint16_t> ids;
  for (std::uint32_t id = 1; id <= 0xFFFF && ids.size() < icon.size(); ++id)
    if (!used.count(static_cast<std::uint16_t>(id))) ids.push_back(static_cast<std::uint16_t>(id));
  if (ids.size() < icon.size())
    return std::unexpected("it has no free ids left for " + std::to_string(icon.size()) +
                           " icon images");
  for (std::size_t i = 0; i < icon.size(); ++i)
    edits.add(kResourceTypeIcon, ids[i], icon[i].bytes, language);
  edits.add(kResourceTypeIconGroup, kIconGroupId, iconGroupBytes(icon, ids), language);
  return {};
}

// For an application installed for the user alone: the program's manifest (RT_MANIFEST 1)
// asking for no elevation, as the program itself asks for it otherwise.
Edited scopeEdits(std::span<const std::uint8_t> program, const Manifest& m, Edits& edits) {
  if (!m.userScope) return {};
  constexpr std::string_view kAdministrator = "level=\"requireAdministrator\"";
  const std::string type = typeText(kResourceTypeManifest);
  const auto manifest = findPeResource(program, type, 1);
  const std::string reason = manifest ? "" : manifest.error();
  std::string text = manifest ? std::string(manifest->begin(), manifest->end()) : "";
  const std::size_t at = text.find(kAdministrator);
  if (at == std::string::npos)
    return std::unexpected(
        "its manifest (RT_MANIFEST 1) does not ask for administrator rights, so it cannot be "
        "made to ask for none" +
        (reason.empty() ? "" : ": " + reason));
  text.replace(at, kAdministrator.size(), "level=\"asInvoker\"");
  // The edit keeps the language that the program's manifest has.
  edits.add(kResourceTypeManifest, 1, Bytes(text.begin(), text.end()), 0);
  return {};
}

// The edits that give a program the product's identity and scope; none without identity keys
// or a scope of the user's.
Edited identityEdits(std::span<const std::uint8_t> program, const Manifest& m, const Plan& plan,
                     Role role, std::string_view fileName, Edits& edits) {
  if (Edited scope = scopeEdits(program, m, edits); !scope) return scope;
  if (m.version || m.publisher || m.copyright) {
    const std::uint16_t language =
        m.codePage == kCodePageCyrillic ? kLanguageRussian : kLanguageEnglishUs;
    edits.add(kResourceTypeVersion, kVersionResourceId, versionResource(m, role, fileName),
              language);
  }
  if (plan.icon.empty()) return {};
  return iconEdits(program, plan.icon, edits);
}

}  // namespace

std::expected<std::vector<std::uint8_t>, std::string> makeSetupExecutable(
    std::span<const std::uint8_t> stub, const Manifest& manifest, const Plan& plan,
    std::span<const std::uint8_t> package, std::string_view fileName) {
  Edits edits;
  if (Edited identity = identityEdits(stub, manifest, plan, Role::Setup, fileName, edits);
      !identity)
    return std::unexpected("cannot give the stub the product's resources: " + identity.error());
  edits.list.push_back({"SETUP", 101, package, 0, false});
  auto exe = editPeResources(stub, edits.list);
  if (!exe) return std::unexpected("cannot put the package into the stub: " + exe.error());
  auto back = findPeResource(*exe, "SETUP", 101);
  if (!back || !std::equal(back->begin(), back->end(), package.begin(), package.end()))
    return std::unexpected("the setup.exe does not carry the package it was given" +
                           (back ? "" : ": " + back.error()));
  return std::move(*exe);
}

std::expected<SplitPeImage, std::string> makeSplitSetupExecutable(
    std::span<const std::uint8_t> stub, const Manifest& manifest, const Plan& plan,
    std::uint32_t packageSize, std::string_view fileName) {
  Edits edits;
  if (Edited identity = identityEdits(stub, manifest, plan, Role::Setup, fileName, edits);
      !identity)
    return std::unexpected("cannot give the stub the product's resources: " + identity.error());
  edits.list.push_back({"SETUP", 101, {}, 0, false, true, packageSize});
  auto exe = editPeResourcesSplit(stub, edits.list);
  if (!exe) return std::unexpected("cannot put the package into the stub: " + exe.error());
  return std::move(*exe);
}

std::expected<std::vector<std::uint8_t>, std::string> makeUninstaller(
    std::span<const std::uint8_t> program, const Manifest& manifest, const Plan& plan) {
  if (!looksLikePe(program)) return std::unexpected("it is not a Windows program (no PE headers)");
  Edits edits;
  if (Edited identity =
          identityEdits(program, manifest, plan, Role::Uninstaller, kUninstallerName, edits);
      !identity)
    return std::unexpected(identity.error());
  if (edits.list.empty()) return Bytes(program.begin(), program.end());
  return editPeResources(program, edits.list);
}

std::expected<void, std::string> carryUninstaller(const Manifest& manifest, Plan& plan,
                                                  std::string& path, bool sign, Diagnostics& diag) {
  if (!manifest.uninstaller) return {};
  if (path.empty()) {
    auto found = findDefaultUninstaller();
    if (!found) {
      std::string why =
          "no uninstaller found; build the win32 preset, pass --uninstaller PATH, or set "
          "[uninstall] program = false in the manifest (looked for";
      for (const auto& p : uninstallerCandidates()) why += " " + p.string();
      return std::unexpected(why + ")");
    }
    path = found->string();
  }
  const auto bytes = readInputFile(path);
  std::expected<Bytes, std::string> program =
      std::unexpected(std::string("it cannot be read (is it a file?)"));
  if (bytes) program = makeUninstaller(*bytes, manifest, plan);
  if (program && *program != *bytes && hasSignature(*bytes) && !manifest.signing)
    diag.warning(manifest.path, 0,
                 "the uninstaller " + path +
                     " is signed, but writing the product's version, "
                     "icon or scope into it removes the signature; sign it in the build with "
                     "[signing] command = [...]");
  if (program && manifest.signing && sign) {
    SignedBytes signedProgram =
        signBytes(*manifest.signing, *program, kUninstallerName, "the uninstaller");
    if (!signedProgram.why.empty()) return std::unexpected(signedProgram.why);
    program = std::move(signedProgram.bytes);
  }
  const std::string refused = "cannot use the uninstaller " + path + ": ";
  if (!program) return std::unexpected(refused + program.error());
  if (auto added = addUninstaller(plan, path, std::move(*program)); !added)
    return std::unexpected(refused + added.error());
  return {};
}

std::vector<std::string> executableResourceProblems(std::span<const std::uint8_t> exe) {
  std::vector<std::string> problems;
  if (auto version = findPeResource(exe, typeText(kResourceTypeVersion), kVersionResourceId);
      !version)
    problems.push_back("the setup has no version resource: " + version.error());
  else if (auto info = parseVersionResource(*version); !info)
    problems.push_back("the setup's version resource is damaged: " + info.error());

  auto group = findPeResource(exe, typeText(kResourceTypeIconGroup), kIconGroupId);
  if (!group) {
    problems.push_back("the setup has no icon group 101: " + group.error());
    return problems;
  }
  auto entries = parseIconGroup(*group);
  if (!entries) {
    problems.push_back("the setup's icon group 101 is damaged: " + entries.error());
    return problems;
  }
  for (const IconGroupEntry& e : *entries) {
    auto image = findPeResource(exe, typeText(kResourceTypeIcon), e.id);
    const std::string name = "icon group 101 names image " + std::to_string(e.id);
    if (!image)
      problems.push_back(name + ", which the setup does not hold: " + image.error());
    else if (image->size() != e.bytes)
      problems.push_back(name + " of " + std::to_string(e.bytes) + " bytes, which holds " +
                         std::to_string(image->size()));
  }
  return problems;
}

}  // namespace zorv
