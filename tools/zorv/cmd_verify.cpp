// zorv verify FILE (or zorv test FILE, as archivers call it): checks a package, bare or inside
// a setup.exe (and then the setup's own version and icon resources too); "OK" with counts, or
// the problems found and exit status 1. It also says whether the setup.exe and the uninstaller
// it carries are signed.
#include <iostream>
#include <string>

#include "package/held_entry.h"
#include "install/records.h"
#include "tools/builder/executables.h"
#include "tools/examine/verify.h"
#include "tools/pe/pe_resources.h"
#include "tools/zorv/commands.h"
#include "tools/examine/package_file.h"

namespace zorv {

namespace {

// The program that the package's "UnIn" entry names, unpacked from its top-level "Copy"
// record; none when the package carries no uninstaller or it cannot be read.
std::optional<std::vector<std::uint8_t>> carriedUninstaller(Package& package) {
  const std::int32_t u = package.findByTag(kTagUninstaller, 0, -1);
  if (u < 0) return std::nullopt;
  std::string program;
  {
    const HeldEntry held(package, u);
    std::optional<UninstallerRecord> record;
    if (held.body()) record = parseUninstallerRecord(*held.body());
    if (!record) return std::nullopt;
    program = record->program;
  }
  std::optional<std::vector<std::uint8_t>> bytes;
  forEachEntry(package, kTagCopy, 0, -1, [&](std::int32_t i) {
    const HeldEntry held(package, i);
    std::optional<CopyRecord> file;
    if (held.body()) file = parseCopyRecord(*held.body());
    if (!file || file->name != program) return true;
    bytes.emplace();
    for (std::uint32_t b = 0; b < file->blocks.size(); ++b) {
      const std::optional<Buffer> block = package.readRange(file->blocks[b].range);
      if (!block) return (bytes.reset(), false);
      bytes->insert(bytes->end(), block->bytes().begin(), block->bytes().end());
    }
    return false;
  });
  return bytes;
}

void reportSignatures(std::span<const std::uint8_t> setup, Package& package) {
  const auto said = [](bool yes) { return yes ? "signed" : "not signed"; };
  if (!setup.empty()) std::cout << "setup.exe: " << said(hasSignature(setup)) << '\n';
  if (const auto uninstaller = carriedUninstaller(package))
    std::cout << "uninstall.exe (carried): " << said(hasSignature(*uninstaller)) << '\n';
}

}  // namespace

int cmdVerify(const VerifyArgs& args) {
  const std::string& path = args.file;
  // Opening it the way the other commands do gives the same message for an unreadable file.
  auto loaded = loadPackageFile(path);
  if (!loaded) return fail(loaded.error());
  std::span<const std::uint8_t> bytes = loaded->file.bytes(), setup;
  std::vector<std::string> setupProblems;
  if (looksLikePe(bytes)) {
    setup = bytes;
    auto resource = findPeResource(bytes, "SETUP", 101);
    if (!resource) return fail(path + ": " + resource.error());
    setupProblems = executableResourceProblems(bytes);
    bytes = *resource;
  }
  VerifyReport report = verifyPackage(bytes);
  report.problems.insert(report.problems.end(), setupProblems.begin(), setupProblems.end());
  std::cout << report.summary();
  if (report.ok()) reportSignatures(setup, *loaded->package);
  if (!report.ok()) {
    std::cout << path << ": " << report.problems.size()
              << (report.problems.size() == 1 ? " problem\n" : " problems\n");
    return 1;
  }
  return 0;
}

}  // namespace zorv
