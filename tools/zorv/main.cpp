// zorv: starts manifests, builds, inspects, extracts, installs and uninstalls Zorv Setup packages.
#include <iostream>
#include <string>
#include <variant>
#include <vector>

#include "tools/zorv/command_line.h"
#include "tools/host/host_system.h"

namespace {

struct Runner {
  int operator()(const zorv::InitArgs& a) const { return zorv::cmdInit(a); }
  int operator()(const zorv::BuildArgs& a) const { return zorv::cmdBuild(a); }
  int operator()(const zorv::ListArgs& a) const { return zorv::cmdList(a); }
  int operator()(const zorv::CatArgs& a) const { return zorv::cmdCat(a); }
  int operator()(const zorv::ExtractArgs& a) const { return zorv::cmdExtract(a); }
  int operator()(const zorv::InstallArgs& a) const { return zorv::cmdInstall(a); }
  int operator()(const zorv::UninstallArgs& a) const { return zorv::cmdUninstall(a); }
  int operator()(const zorv::VerifyArgs& a) const { return zorv::cmdVerify(a); }
  int operator()(const zorv::WingetArgs& a) const { return zorv::cmdWinget(a); }
};

}  // namespace

int main(int argc, char** argv) {
  zorv::restrictLibrarySearch();
  const std::vector<std::string> args(argv + 1, argv + argc);
  const zorv::CommandLine line = zorv::parseCommandLine(args, ZORV_VERSION);
  if (!line.command) {
    std::cout << line.output << std::flush;
    if (!line.error.empty()) std::cerr << line.error << '\n';
    return line.status;
  }
  return std::visit(Runner{}, *line.command);
}
