// zorv extract FILE -C DIR: only the files and directories of a package, for looking inside a
// setup; no log, no links, no registry, nothing started.
#include <cstdio>
#include <filesystem>
#include <string>

#include "install/install.h"
#include "platform/posix_platform.h"
#include "tools/zorv/commands.h"
#include "tools/zorv/package_file.h"
#include "tools/zorv/terminal_view.h"

namespace zorv {

int cmdExtract(Args args) {
  constexpr const char* kUsage = "usage: zorv extract FILE -C DIR";
  std::string file, dir;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-C" && i + 1 < args.size()) dir = args[++i];
    else if (file.empty() && !args[i].starts_with("-")) file = args[i];
    else return fail(kUsage);
  }
  if (file.empty() || dir.empty()) return fail(kUsage);

  std::string why;
  auto lp = loadPackageFile(file, &why);
  if (!lp) return fail(why);
  if (!createDirectories(dir)) return fail("cannot create " + dir);

  // The registry is never touched: keep its file out of the user's data folder all the same.
  PosixPlatformOptions options;
  options.registryFile = "/dev/null/unused.reg";
  PosixPlatform platform(options);
  SetupState state;
  std::error_code ec;
  state.destinationDir = std::filesystem::absolute(dir, ec).lexically_normal().string();
  if (state.destinationDir.size() > 1 && state.destinationDir.ends_with('/'))
    state.destinationDir.pop_back();
  // The folder may itself be a link; nothing below it is followed.
  platform.confineBelow(state.destinationDir);
  state.package = std::move(lp->package);
  Package& pkg = *state.package;
  TerminalView view(false);
  InstallRun run{state, platform, view};

  int files = 0, dirs = 0, failed = 0;
  // One line per entry that failed, naming the file it stopped at and the link that stopped it.
  auto report = [&](std::int32_t i, const char* what) {
    ++failed;
    view.finish();
    std::string line = "cannot extract " + std::string(what) + std::to_string(i);
    if (!view.fileLine().empty()) line += ": " + view.fileLine();
    if (!platform.refusedLink().empty())
      line += " (not following the symbolic link " + terminalText(platform.refusedLink()) + ")";
    fail(line);
  };
  for (std::int32_t i = pkg.findByTag(kTagCopy, 0, -1); i >= 0;
       i = pkg.findByTag(kTagCopy, i + 1, -1)) {
    view.setControlText(control::kFileNameLine, "");
    auto body = pkg.acquireEntry(i);
    auto rec = body ? parseCopyRecord(*body) : std::nullopt;
    if (rec && extractFile(run, *rec)) ++files;
    else report(i, "entry ");
    if (body) pkg.releaseEntry(i);
  }
  for (std::int32_t i = pkg.findByTag(kTagCopyDir, 0, -1); i >= 0;
       i = pkg.findByTag(kTagCopyDir, i + 1, -1)) {
    view.setControlText(control::kFileNameLine, "");
    EntryInfo e = pkg.entry(i);
    RangeItem member{kTagCopyDir, {e.offset, e.unpacked, e.packed}};
    run.walkLeft = run.walkBudget;  // each top-level walk has its own budget, as in the run
    if (!e.isInline() && extractDirectory(run, member, 1)) ++dirs;
    else report(i, "directory entry ");
  }
  view.finish();
  std::printf("extracted %d files and %d directory records into %s\n", files, dirs,
              state.destinationDir.c_str());
  return failed ? 1 : 0;
}

}  // namespace zorv
