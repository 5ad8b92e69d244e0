// The zorv command line: which command runs with which values, or, when the line is the whole
// answer (help, the version, a usage error), what to print and the exit status. Options follow
// the common conventions: -h/--help on every command, short options with joined values (-j4,
// -oout.exe), long ones with "=" or a separate value, "--" ends the options.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "tools/zorv/commands.h"

namespace zorv {

inline constexpr int kUsageError = 2;

using Command = std::variant<InitArgs, BuildArgs, ListArgs, CatArgs, ExtractArgs, InstallArgs, UninstallArgs,
                             VerifyArgs, WingetArgs>;

struct CommandLine {
  std::optional<Command> command;  // none: print the texts below and exit with `status`
  std::string output;              // for standard output: help or the version
  std::string error;               // for standard error: one line naming what is wrong
  int status = 0;
};

// `args` are the arguments after the program's name; `version` is the tool's ("0.1.0"). A usage
// error names the argument at fault and has status kUsageError; help and the version have 0.
// Never throws.
CommandLine parseCommandLine(std::span<const std::string> args, std::string_view version);

}  // namespace zorv
