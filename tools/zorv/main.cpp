// zorv: builds, inspects, extracts, installs and uninstalls Zorv Setup packages.
#include <iostream>
#include <string_view>
#include <vector>

#include "tools/zorv/commands.h"

namespace {

constexpr const char* kUsage =
    "usage: zorv <command> [options]\n"
    "  build MANIFEST -o OUT          make a setup.exe (or a bare .pkg) from a manifest\n"
    "        [--stub STUB] [--uninstaller PATH] [-j N]\n"
    "  list [--json] FILE             print the directory of a package or setup.exe\n"
    "  cat FILE --entry N             write the unpacked body of entry N to stdout\n"
    "  cat FILE --range OFF:UNP:PACK  write the unpacked bytes of a packed range\n"
    "  extract FILE -C DIR            unpack only the files and directories\n"
    "  install FILE --dest DIR        run the whole install natively (--run starts its program)\n"
    "  uninstall DEST [--yes]         remove what `zorv install` put there, as its log lists it\n"
    "  verify FILE                    check every body, record and the total size\n";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "-h" || args[0] == "--help") {
    std::cout << kUsage;
    return args.empty() ? 1 : 0;
  }
  const std::string_view cmd = args[0];
  zorv::Args rest(args.data() + 1, args.size() - 1);
  if (cmd == "list") return zorv::cmdList(rest);
  if (cmd == "cat") return zorv::cmdCat(rest);
  if (cmd == "install") return zorv::cmdInstall(rest);
  if (cmd == "uninstall") return zorv::cmdUninstall(rest);
  if (cmd == "extract") return zorv::cmdExtract(rest);
  if (cmd == "build") return zorv::cmdBuild(rest);
  if (cmd == "verify") return zorv::cmdVerify(rest);
  std::cerr << "zorv: unknown command \"" << cmd << "\"\n" << kUsage;
  return 1;
}
