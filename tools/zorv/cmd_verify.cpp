// zorv verify FILE (or zorv test FILE, as archivers call it): checks a package, bare or inside
// a setup.exe (and then the setup's own version and icon resources too); "OK" with counts, or
// the problems found and exit status 1.
#include <iostream>
#include <string>

#include "tools/builder/executables.h"
#include "tools/builder/verify.h"
#include "tools/pe/pe_resources.h"
#include "tools/zorv/commands.h"
#include "tools/zorv/package_file.h"

namespace zorv {

int cmdVerify(const VerifyArgs& args) {
  const std::string& path = args.file;
  std::string why;
  // Opening it the way the other commands do gives the same message for an unreadable file.
  auto loaded = loadPackageFile(path, &why);
  if (!loaded) return fail(why);
  std::span<const std::uint8_t> bytes = loaded->file.bytes();
  std::vector<std::string> setupProblems;
  if (looksLikePe(bytes)) {
    auto resource = findPeResource(bytes, "SETUP", 101, &why);
    if (!resource) return fail(path + ": " + why);
    setupProblems = executableResourceProblems(bytes);
    bytes = *resource;
  }
  VerifyReport report = verifyPackage(bytes);
  report.problems.insert(report.problems.end(), setupProblems.begin(), setupProblems.end());
  std::cout << report.summary();
  if (!report.ok()) {
    std::cout << path << ": " << report.problems.size()
              << (report.problems.size() == 1 ? " problem\n" : " problems\n");
    return 1;
  }
  return 0;
}

}  // namespace zorv
