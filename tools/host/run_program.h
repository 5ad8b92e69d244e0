// Runs a program that a manifest names (the signing tool) and waits for it: the program and its
// arguments as given, without a shell, so that no argument is ever read as shell syntax.
// The system calls are in one file per system chosen by CMake: run_program_posix.cpp and
// run_program_win32.cpp. Arguments are UTF-8.
#pragma once

#include <expected>
#include <filesystem>
#include <span>
#include <string>

namespace zorv {

struct ProgramRun {
  bool started = false;  // false: the program could not be started; `output` says why
  int exitCode = -1;     // its exit status (a signal's number plus 128 on POSIX)
  std::string output;    // what it wrote to its standard output and error, at most 64 KiB
};

// `command[0]` is looked up on the PATH when it holds no separator. `command` is not empty.
ProgramRun runProgram(std::span<const std::string> command);

// A new folder in the system's temporary folder that only this user may enter, for files that
// a program run is handed, or the reason none can be made.
std::expected<std::filesystem::path, std::string> makePrivateFolder();

}  // namespace zorv
