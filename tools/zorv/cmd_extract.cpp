// zorv extract FILE [-C DIR] [-j N]: only the files and folders of a package, into DIR or the
// current folder, for looking inside a setup; no log, no links, no registry, nothing started.
// It reports the files it wrote to their end and the folders it made. Names are written in
// UTF-8 on POSIX systems, read in the package's code page or the one --codepage gives. Other
// threads unpack the next blocks (read_ahead.h), unless -j 1.
#include <cstdio>
#include <string>

#include "install/directory_walk.h"
#include "install/install.h"
#include "platform/terminal_text.h"
#include "tools/zorv/commands.h"
#include "tools/host/host_system.h"
#include "tools/examine/package_file.h"
#include "tools/examine/read_ahead.h"
#include "tools/host/terminal_view.h"
#include "tools/host/text_code_page.h"

namespace zorv {

namespace {

// The host's folders, counting those that the extraction made (not those that were there
// already).
class CountingFolders final : public Folders {
 public:
  explicit CountingFolders(Folders& host) : host_(host) {}
  bool pathExists(std::string_view path) override { return host_.pathExists(path); }
  bool isFolder(std::string_view path) override { return host_.isFolder(path); }
  bool createDirectory(std::string_view path) override {
    const bool made = host_.createDirectory(path);
    if (made) ++made_;
    return made;
  }
  std::optional<std::uint64_t> freeBytes(std::string_view path) override {
    return host_.freeBytes(path);
  }
  int made() const { return made_; }

 private:
  Folders& host_;
  int made_ = 0;
};

// Extracts the members of a folder record, as the run does, counting the files written.
struct CountingVisitor {
  InstallRun& run;
  int& files;
  bool folder(const DirectoryRecord& dir, int) {
    run.view.setControlText(control::kFileNameLine, dir.name);
    return true;
  }
  bool file(const CopyRecord& f) {
    if (!extractFile(run, f)) return false;
    ++files;
    return true;
  }
};

const char* plural(int n, const char* one, const char* more) { return n == 1 ? one : more; }

}  // namespace

int cmdExtract(const ExtractArgs& args) {
  const std::string& file = args.file;
  const std::string& dir = args.dir;

  auto lp = loadPackageFile(file);
  if (!lp) return fail(lp.error());
  const std::expected<int, std::string> codePage = textCodePage(*lp->package, args.codePage);
  if (!codePage) return fail(file + ": " + codePage.error());
  if (!createFolders(dir)) return fail("cannot create " + dir);

  const std::unique_ptr<HostSystem> host = openFilesOnlySystem();
  const int converted = host->useCodePage(*codePage);
  const Platform& system = host->platform();
  CountingFolders folders(system.folders);
  const Platform platform{.process = system.process,
                          .files = system.files,
                          .folders = folders,
                          .registry = system.registry,
                          .shell = system.shell,
                          .dialogs = system.dialogs};
  SetupState state;
  const std::string hostDir = absolutePath(dir);
  const auto destination = engineFolder(*host, hostDir, *codePage);
  if (!destination) return fail(destination.error());
  state.destinationDir = *destination;
  // The folder may itself be a link; nothing below it is followed.
  host->confineBelow(hostDir);
  state.package = std::move(lp->package);
  Package& pkg = *state.package;
  const std::unique_ptr<ReadAhead> ahead = startReadAhead(pkg, lp->bytes, args.jobs);
  state.blocks = ahead.get();
  TerminalView view(false, converted);
  // As zorv install does: the pages of the package read so far go back to the kernel, so that
  // memory does not grow with the package.
  view.onEveryFewMegabytes([&] { lp->file.dropPages(); });
  InstallRun run{state, platform, view};

  int files = 0, failed = 0;
  // One line per entry that failed, naming the file it stopped at and the link that stopped it.
  auto report = [&](std::int32_t i, const char* what) {
    ++failed;
    view.finish();
    std::string line = "cannot extract " + std::string(what) + std::to_string(i);
    if (!view.fileLine().empty()) line += ": " + view.fileLine();
    if (!host->refusedLink().empty())
      line += " (not following the symbolic link " + terminalText(host->refusedLink()) + ")";
    fail(line);
  };
  for (std::int32_t i = pkg.findByTag(kTagCopy, 0, -1); i >= 0;
       i = pkg.findByTag(kTagCopy, i + 1, -1)) {
    view.setControlText(control::kFileNameLine, "");
    auto body = pkg.acquireEntry(i);
    auto rec = body && enterEntry(pkg, i, run.walk) ? parseCopyRecord(*body) : std::nullopt;
    if (rec && extractFile(run, *rec))
      ++files;
    else
      report(i, "entry ");
    if (body) pkg.releaseEntry(i);
  }
  for (std::int32_t i = pkg.findByTag(kTagCopyDir, 0, -1); i >= 0;
       i = pkg.findByTag(kTagCopyDir, i + 1, -1)) {
    view.setControlText(control::kFileNameLine, "");
    EntryInfo e = pkg.entry(i);
    RangeItem member{kTagCopyDir, {e.offset, e.unpacked, e.packed}};
    CountingVisitor visitor{run, files};
    // One walk of the whole package, as in the run: an entry past its budget, or one that
    // reaches a record again, fails as an unreadable one does.
    if (e.isInline() || !enterEntry(pkg, i, run.walk) ||
        !walkDirectory(pkg, member, 1, run.walk, visitor))
      report(i, "directory entry ");
  }
  view.finish();
  std::printf("extracted %d %s and %d %s into %s\n", files, plural(files, "file", "files"),
              folders.made(), plural(folders.made(), "folder", "folders"),
              terminalText(hostDir).c_str());
  return failed ? 1 : 0;
}

}  // namespace zorv
