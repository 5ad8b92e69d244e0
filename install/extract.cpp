#include <algorithm>
#include <optional>
#include <string>

#include "install/block_reader.h"
#include "install/directory_walk.h"
#include "install/install.h"
#include "package/held_entry.h"
#include "texts/texts.h"

namespace zorv {

namespace {

// The message of a file that cannot be written; it names the destination, while the file's
// own name is still on the file-name line.
void showFileError(InstallRun& run) {
  if (run.failure == Text::FileInUsePrefix) return;  // asked already, and Cancel was the answer
  run.failure = Text::FileError;
  run.platform.dialogs.messageBox(
      std::string(text(Text::FileError, run.state.language)) + run.state.destinationDir,
      run.state.appName);
}

// Extracts what a walk visits, showing each folder's name. Any member that cannot be read or
// written ends the walk: a missing file must never look like a finished install.
// A release package's run logs each member on its own line, before it is written (the
// top-level folder's line comes from extractDirectories); names that climb are not logged.
struct ExtractingVisitor {
  InstallRun& run;
  bool folder(const DirectoryRecord& dir, int depth) {
    run.view.setControlText(control::kFileNameLine, dir.name);
    return !(run.state.release && depth > 1 && !escapesDirectory(dir.name)) ||
           logLine(run, kTagLogDeleteEmpty, joinPath(run.state.destinationDir, dir.name));
  }
  bool file(const CopyRecord& file) {
    if (run.state.release && !escapesDirectory(file.name) &&
        !logLine(run, kTagDeleteFile, joinPath(run.state.destinationDir, file.name)))
      return false;
    return extractFile(run, file);
  }
};

bool has(const std::vector<std::string>& sorted, std::string_view folder) {
  return std::binary_search(sorted.begin(), sorted.end(), folder);
}

void insertSorted(std::vector<std::string>& sorted, std::string_view folder) {
  sorted.emplace(std::lower_bound(sorted.begin(), sorted.end(), folder), folder);
}

void rememberFolder(InstallRun& run, std::string_view folder, bool made) {
  if (run.knownFolders.size() >= kMaxKnownFolders) {
    run.knownFolders.clear();
    run.madeFolders.clear();
  }
  insertSorted(run.knownFolders, folder);
  if (made) insertSorted(run.madeFolders, folder);
}

}  // namespace

FileHandle createOutputFile(InstallRun& run, std::string_view name) {
  const Platform& platform = run.platform;
  std::string path = run.state.destinationDir + "\\";
  // Only "\" makes parent directories; a "/" is left to the system.
  for (std::size_t cut; (cut = name.find('\\')) != std::string_view::npos;) {
    path.append(name.substr(0, cut));
    name.remove_prefix(cut + 1);
    if (path.size() > kMaxPathChars) return kNoFile;
    if (!has(run.knownFolders, path)) {
      const bool found = platform.folders.pathExists(path);
      if (!found && !platform.folders.createDirectory(path)) return kNoFile;
      rememberFolder(run, path, !found);
    }
    path += '\\';
  }
  // A "/" reaches folders this run has not tracked.
  const bool fresh = name.find('/') == std::string_view::npos &&
                     path.size() > run.state.destinationDir.size() + 1 &&
                     has(run.madeFolders, std::string_view(path).substr(0, path.size() - 1));
  path.append(name);
  if (path.size() > kMaxPathChars) return kNoFile;
  if (!fresh) platform.files.deleteFile(path);
  FileHandle out = platform.files.openOutputFile(path);
  // A release asks about a file that stands there and cannot be replaced: one in use.
  while (out == kNoFile && run.state.release && platform.folders.pathExists(path) &&
         !platform.folders.isFolder(path)) {
    const int language = run.state.language;
    if (!platform.dialogs.askRetry(std::string(text(Text::FileInUsePrefix, language)) + path +
                                       std::string(text(Text::FileInUseSuffix, language)),
                                   run.state.appName)) {
      run.failure = Text::FileInUsePrefix;
      return kNoFile;
    }
    platform.files.deleteFile(path);
    out = platform.files.openOutputFile(path);
  }
  return out;
}

bool extractFile(InstallRun& run, const CopyRecord& file) {
  run.view.setControlText(control::kFileNameLine, file.name);
  if (refusedFileName(file.name)) return false;
  const FileHandle out = createOutputFile(run, file.name);
  if (out == kNoFile) return false;
  bool ok = true;
  Package& package = *run.state.package;
  BlockReader* const reader = run.state.blocks;
  // One block in memory at a time: read, write, count, free.
  for (std::uint32_t b = 0; ok && b < file.blocks.size(); ++b) {
    const PackedRange range = file.blocks[b].range;
    const std::optional<Buffer> block =
        reader ? reader->read(package, range) : package.readRange(range);
    ok = block && (block->size == 0 || run.platform.files.writeFile(out, block->bytes()));
    if (ok) {
      run.progressBytes += block->size;
      run.view.setProgressPos(run.progressBytes);
    }
  }
  run.platform.files.closeFile(out);
  return ok;
}

bool extractDirectory(InstallRun& run, const RangeItem& member, int depth) {
  ExtractingVisitor visitor{run};
  return run.walk.visit(member.range.offset) == Visit::Fresh &&
         walkDirectory(*run.state.package, member, depth, run.walk, visitor);
}

bool extractFiles(InstallRun& run) {
  Package& package = *run.state.package;
  return forEachEntry(package, kTagCopy, 0, -1, [&](std::int32_t i) {
    const HeldEntry held(package, i);
    std::optional<CopyRecord> file;
    if (held.body() && enterEntry(package, i, run.walk)) file = parseCopyRecord(*held.body());
    if (file && refusedFileName(file->name)) {
      run.view.setControlText(control::kFileNameLine, file->name);
      file.reset();  // refused before its "DelF" line, which would name a path outside
    }
    if (!file) {
      showFileError(run);
      return false;
    }
    // Logged before the file is written, so that the uninstaller finds a partial file too.
    if (!logLine(run, kTagDeleteFile, joinPath(run.state.destinationDir, file->name))) return false;
    if (!extractFile(run, *file)) {
      showFileError(run);
      return false;
    }
    return true;
  });
}

bool extractDirectories(InstallRun& run) {
  Package& package = *run.state.package;
  return forEachEntry(package, kTagCopyDir, 0, -1, [&](std::int32_t i) {
    const HeldEntry held(package, i);
    std::optional<DirectoryRecord> dir;
    if (held.body() && enterEntry(package, i, run.walk)) dir = parseDirectoryRecord(*held.body());
    if (!dir) {
      showFileError(run);
      return false;
    }
    run.view.setControlText(control::kFileNameLine, dir->name);
    // The uninstaller removes what a "DelD" line names, so a name that climbs out of the
    // destination is not handed to it; its members are still checked one by one.
    if (!escapesDirectory(dir->name) &&
        !logLine(run, run.state.release ? kTagLogDeleteEmpty : kTagDeleteDir,
                 joinPath(run.state.destinationDir, dir->name)))
      return false;
    ExtractingVisitor visitor{run};
    if (!walkMembers(package, *dir, 1, run.walk, visitor)) {
      showFileError(run);
      return false;
    }
    return true;
  });
}

}  // namespace zorv
