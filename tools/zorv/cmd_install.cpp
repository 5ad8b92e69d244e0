// zorv install FILE --dest DIR: the whole install run, natively, through the POSIX platform:
// files, UnInstall.log, .lnk shortcuts, a REGEDIT4 registry file, and the program to run.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "install/install.h"
#include "platform/posix_platform.h"
#include "tools/zorv/commands.h"
#include "tools/zorv/package_file.h"
#include "tools/zorv/terminal_view.h"
#include "wizard/package_facts.h"

namespace zorv {

namespace {

constexpr const char* kUsage =
    "usage: zorv install FILE --dest DIR [--lang en|ru] [--no-desktop] [--no-run]\n"
    "                    [--registry-file F] [--programs-dir D] [--desktop-dir D]";

// Records what the run told the user and whether it started a program, so that the exit
// status can tell a failure ending from the end after a started program.
class CliPlatform final : public PosixPlatform {
 public:
  using PosixPlatform::PosixPlatform;
  void messageBox(std::string_view text, std::string_view caption) override {
    ++messages;
    PosixPlatform::messageBox(text, caption);
  }
  bool startProcess(std::string_view application, std::string_view commandLine) override {
    started = PosixPlatform::startProcess(application, commandLine);
    return started;
  }
  int messages = 0;
  bool started = false;
};

std::string absolute(const std::string& path) {
  std::error_code ec;
  auto p = std::filesystem::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

}  // namespace

int cmdInstall(Args args) {
  std::string file, dest;
  int language = 0;
  bool desktop = true, run = true;
  PosixPlatformOptions options = defaultPosixPlatformOptions();
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view a = args[i];
    bool hasValue = i + 1 < args.size();
    if (a == "--dest" && hasValue) dest = args[++i];
    else if (a == "--lang" && hasValue) {
      std::string_view l = args[++i];
      if (l != "en" && l != "ru") return fail("--lang takes en or ru");
      language = l == "ru" ? 1 : 0;
    } else if (a == "--no-desktop") desktop = false;
    else if (a == "--no-run") run = false;
    else if (a == "--registry-file" && hasValue) options.registryFile = absolute(std::string(args[++i]));
    else if (a == "--programs-dir" && hasValue) options.programsFolder = absolute(std::string(args[++i]));
    else if (a == "--desktop-dir" && hasValue) options.desktopFolder = absolute(std::string(args[++i]));
    else if (file.empty() && !a.starts_with("-")) file = a;
    else return fail(kUsage);
  }
  if (file.empty() || dest.empty()) return fail(kUsage);

  std::string why;
  auto lp = loadPackageFile(file, &why);
  if (!lp) return fail(why);
  auto facts = readPackageFacts(*lp->package);
  if (!facts) return fail(file + ": setup corrupted: the package lacks \"AppN\" or \"SumC\"");

  for (const std::string& dir : {options.programsFolder, options.desktopFolder})
    if (!createDirectories(dir)) return fail("cannot create " + dir);
  if (auto parent = std::filesystem::path(options.registryFile).parent_path(); !parent.empty())
    createDirectories(parent.string());

  CliPlatform platform(options);
  if (!platform.registryError().empty()) return fail(platform.registryError());

  SetupState state;
  state.setupDir = std::filesystem::path(absolute(file)).parent_path().string() + "\\";
  state.language = language;
  state.appName = facts->appName;
  state.requiredBytes = facts->requiredBytes;
  state.destinationDir = absolute(dest);
  state.placeIconsOnDesktop = desktop;
  state.runAfterInstall = run;
  state.package = std::move(lp->package);

  if (!createDirectoryPath(state.destinationDir, language, platform)) return 1;
  TerminalView view(true);
  view.onEveryFewMegabytes([&] { lp->file.dropPages(); });
  runInstall(state, platform, view);
  view.finish();
  if (view.completed()) {
    std::fprintf(stderr, "%s installed in %s\n", state.appName.c_str(),
                 state.destinationDir.c_str());
    return 0;
  }
  if (platform.started && platform.messages == 0) {
    std::fprintf(stderr, "%s installed in %s; its program was started\n", state.appName.c_str(),
                 state.destinationDir.c_str());
    return 0;
  }
  return fail("the install did not complete");
}

}  // namespace zorv
