// The files through which `zorv build` and `zorv winget` write their outputs. A new file is
// made beside the output under a name nobody can guess and only by this process, so that a
// link planted in a shared folder cannot turn the write into one to the link's target; it is
// then renamed over the output.
// The system calls are in one file per system chosen by CMake: output_file_posix.cpp and
// output_file_win32.cpp. Paths are the system's own (on Windows in the ANSI code page).
#pragma once

#include <cstdio>
#include <expected>
#include <functional>
#include <optional>
#include <string>

namespace zorv {

// Creates `path` as a new, empty regular file open for reading and writing, with the
// permissions the process gives new files. Anything already at the name, a link (dangling or
// not) included, is left as it is and gives a null file; the link is never followed.
std::expected<std::FILE*, std::string> createNewFile(const std::string& path);
// Puts the file `from` in the place of `to` in one step, replacing what `to` names (a link
// itself, never its target).
std::expected<void, std::string> replaceFile(const std::string& from, const std::string& to);
// Removes the file `path` itself; nothing when it is not there.
void removeFile(const std::string& path);

struct TemporaryFile {
  std::FILE* file = nullptr;
  std::string path;
};

// A new file in the folder of `out`, named ".NAME.XXXXXX" after the output's NAME with six
// random letters or digits, made with createNewFile: a name already taken is passed over for
// another. The reason when no file could be made.
std::expected<TemporaryFile, std::string> createTemporaryBeside(const std::string& out);

// Writes `path` with `write`, which fills an empty, seekable file open for reading and
// writing. A regular file is written to a new neighbour first (createTemporaryBeside) and
// renamed, so a failed write leaves no half file behind, and nothing already in the folder is
// written through. A device, a pipe or the like is written in place, from a temporary file:
// /dev/null stays a device and a build to it is a dry run, where renaming a regular file over
// it would replace the node itself. Missing folders of `path` are made. `finish`, when given,
// runs on the finished file of a regular output (by its path, closed) before it takes the
// output's name, and may fail the write with its own reason; a dry run skips it.
using WriteStep = std::function<std::expected<void, std::string>(std::FILE*)>;
using FinishStep = std::function<std::expected<void, std::string>(const std::string& finished)>;
std::expected<void, std::string> writeOutput(const std::string& path, const WriteStep& write,
                                             const FinishStep& finish = {});

}  // namespace zorv
