// zorv install FILE --dest DIR: the whole install run, natively, through the POSIX platform:
// files, UnInstall.log, .lnk shortcuts and a REGEDIT4 registry file. The package's program is
// started only with --run: its "RunS" text may name any program on this host, and the tool
// often runs as root. Without --run the program is named, not started.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "install/install.h"
#include "platform/posix_platform.h"
#include "tools/zorv/commands.h"
#include "tools/zorv/package_file.h"
#include "tools/zorv/platform_options.h"
#include "tools/zorv/terminal_view.h"
#include "wizard/package_facts.h"

namespace zorv {

namespace {

constexpr const char* kUsage =
    "usage: zorv install FILE --dest DIR [--lang en|ru] [--no-desktop] [--run]\n"
    "                    [--registry-file F] [--programs-dir D] [--desktop-dir D]";

// Records what the run told the user and whether it started a program, so that the exit
// status can tell a failure ending from the end after a started program. Unless allowed to
// run it, it keeps the program's name and reports that it did not start, as the engine
// expects of a program that cannot be started.
class CliPlatform final : public PosixPlatform {
 public:
  using PosixPlatform::PosixPlatform;
  void messageBox(std::string_view text, std::string_view caption) override {
    ++messages;
    PosixPlatform::messageBox(text, caption);
  }
  bool startProcess(std::string_view application, std::string_view commandLine) override {
    if (!mayRun) {
      notStarted = application;
      return false;
    }
    started = PosixPlatform::startProcess(application, commandLine);
    return started;
  }
  bool mayRun = false;
  int messages = 0;
  bool started = false;
  std::string notStarted;  // the program the run would have started
};

}  // namespace

int cmdInstall(Args args) {
  std::string file, dest;
  int language = 0;
  bool desktop = true, run = false;
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
    else if (a == "--run") run = true;
    else if (a == "--no-run") run = false;  // the default; still taken from older scripts
    else if (takePlatformOption(args, i, options)) continue;
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
  platform.mayRun = run;

  SetupState state;
  state.setupDir = std::filesystem::path(absolutePath(file)).parent_path().string() + "\\";
  state.language = language;
  state.appName = facts->appName;
  state.requiredBytes = facts->requiredBytes;
  state.destinationDir = absolutePath(dest);
  state.placeIconsOnDesktop = desktop;
  state.runAfterInstall = true;  // the engine asks; CliPlatform starts it only with --run
  state.package = std::move(lp->package);

  if (!createDirectoryPath(state.destinationDir, language, platform)) return 1;
  // The destination may itself be a link; nothing below it is followed.
  platform.confineBelow(state.destinationDir);
  TerminalView view(true);
  view.onEveryFewMegabytes([&] { lp->file.dropPages(); });
  runInstall(state, platform, view);
  view.finish();
  const std::string app = terminalText(state.appName);
  if (view.completed()) {
    std::fprintf(stderr, "%s installed in %s\n", app.c_str(), state.destinationDir.c_str());
    if (!platform.notStarted.empty())
      std::fprintf(stderr, "not started (--run starts it): %s\n",
                   terminalText(platform.notStarted).c_str());
    return 0;
  }
  if (platform.started && platform.messages == 0) {
    std::fprintf(stderr, "%s installed in %s; its program was started\n", app.c_str(),
                 state.destinationDir.c_str());
    return 0;
  }
  if (!platform.refusedLink().empty())
    return fail("the install did not complete: not following the symbolic link " +
                terminalText(platform.refusedLink()));
  return fail("the install did not complete");
}

}  // namespace zorv
