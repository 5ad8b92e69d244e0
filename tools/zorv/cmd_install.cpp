// zorv install FILE --dest DIR: the whole install run through the host's platform
// (host_system.h): files, UnInstall.log, .lnk shortcuts and the registry, which is a REGEDIT4
// file on POSIX systems and the real one on Windows. The package's program is started only
// with --run: its "RunS" text may name any program on this host, and the tool often runs as
// root. Without --run the program is named, not started.
//
// The engine runs in the package's code page (or --codepage's), as the setup runs in the
// system's; on POSIX systems the platform writes every name in UTF-8. The log stays in the code
// page, byte for byte the setup's, with one line more that names it for `zorv uninstall`
// (text_code_page.h). With -j N (N > 1) other threads unpack the next blocks while the run
// writes (read_ahead.h); the run, its messages and its log are the same.
#include <cstdio>
#include <string>

#include "install/install.h"
#include "platform/terminal_text.h"
#include "tools/zorv/commands.h"
#include "tools/host/host_system.h"
#include "tools/examine/package_file.h"
#include "tools/examine/read_ahead.h"
#include "tools/host/terminal_view.h"
#include "tools/host/text_code_page.h"
#include "wizard/package_facts.h"

namespace zorv {

namespace {

// The host's process, but for the program after the install: unless allowed to run it, keeps
// its name and reports that it did not start, as the engine expects of a program that cannot
// be started.
class CliProcess final : public Process {
 public:
  explicit CliProcess(Process& host) : host_(host) {}
  std::optional<std::string> currentDirectory() override { return host_.currentDirectory(); }
  bool setCurrentDirectory(std::string_view dir) override { return host_.setCurrentDirectory(dir); }
  bool startProcess(std::string_view application, std::string_view commandLine) override {
    if (!mayRun) {
      notStarted = application;
      return false;
    }
    return host_.startProcess(application, commandLine);
  }
  SystemTime utcNow() override { return host_.utcNow(); }
  bool mayRun = false;
  std::string notStarted;  // the program the run would have started

 private:
  Process& host_;
};

}  // namespace

int cmdInstall(const InstallArgs& args) {
  const std::string& file = args.file;
  const std::string& dest = args.dest;
  const int language = args.language;
  const bool desktop = args.desktop, run = args.run;

  auto lp = loadPackageFile(file);
  if (!lp) return fail(lp.error());
  auto facts = readPackageFacts(*lp->package);
  if (!facts) return fail(file + ": setup corrupted: the package lacks \"AppN\" or \"SumC\"");
  const std::expected<int, std::string> codePage = textCodePage(*lp->package, args.codePage);
  if (!codePage) return fail(file + ": " + codePage.error());

  const std::unique_ptr<HostSystem> host = openHostSystem(args.paths);
  if (!host->error().empty()) return fail(host->error());
  if (auto prepared = host->prepareInstall(); !prepared) return fail(prepared.error());
  const Platform& system = host->platform();
  CliProcess process(system.process);
  process.mayRun = run;
  const Platform platform{.process = process,
                          .files = system.files,
                          .folders = system.folders,
                          .registry = system.registry,
                          .shell = system.shell,
                          .dialogs = system.dialogs};
  const int converted = host->useCodePage(*codePage);

  // The engine names both folders in the code page, as the setup would.
  const std::string hostDest = absolutePath(dest);
  const auto destination = engineFolder(*host, hostDest, *codePage);
  if (!destination) return fail(destination.error());
  const auto setupDir = engineFolder(*host, parentFolder(absolutePath(file)), *codePage);
  if (!setupDir) return fail(setupDir.error());

  SetupState state;
  state.setupDir = *setupDir + "\\";
  state.language = language;
  state.appName = facts->appName;
  state.requiredBytes = facts->requiredBytes;
  state.release = facts->release;
  state.destinationDir = *destination;
  state.placeIconsOnDesktop = desktop;
  state.runAfterInstall = true;  // the engine asks; CliProcess starts it only with --run
  state.package = std::move(lp->package);

  if (!createDirectoryPath(state.destinationDir, language, platform)) return 1;
  // The destination may itself be a link; nothing below it is followed.
  host->confineBelow(hostDest);
  const std::unique_ptr<ReadAhead> ahead = startReadAhead(*state.package, lp->bytes, args.jobs);
  state.blocks = ahead.get();
  TerminalView view(true, converted);
  view.onEveryFewMegabytes([&] { lp->file.dropPages(); });
  const RunOutcome outcome = runInstall(state, platform, view);
  view.finish();
  if (!host->noteLogCodePage(pathIn(hostDest, kUninstallLogName)))
    return fail("cannot name the code page at the end of " +
                terminalText(pathIn(hostDest, kUninstallLogName)));
  const std::string app = terminalText(host->hostText(state.appName));
  const std::string shownDest = terminalText(hostDest);
  if (outcome.ending == RunEnding::Completed) {
    std::fprintf(stderr, "%s installed in %s\n", app.c_str(), shownDest.c_str());
    if (!process.notStarted.empty())
      std::fprintf(stderr, "not started (--run starts it): %s\n",
                   terminalText(host->hostText(process.notStarted)).c_str());
    return 0;
  }
  if (outcome.ending == RunEnding::ProgramStarted) {
    std::fprintf(stderr, "%s installed in %s; its program was started\n", app.c_str(),
                 shownDest.c_str());
    return 0;
  }
  if (outcome.message == Text::FileInUsePrefix)
    return fail("the install did not complete: a file is in use: " + view.fileLine());
  if (!host->refusedLink().empty())
    return fail("the install did not complete: not following the symbolic link " +
                terminalText(host->refusedLink()));
  return fail("the install did not complete");
}

}  // namespace zorv
