// The setup's command line, as package managers write it: "/S" installs without the page,
// "/D=DIR", the last argument, names the destination with everything after "/D=" (blanks
// allowed, no quotes). Anything else is ignored. Only packages that carry the release entry
// (kTagRelease) take it; for any other the command line means nothing.
#pragma once

#include <string>
#include <string_view>

namespace zorv {

struct SetupArguments {
  bool silent = false;
  std::string destination;  // "/D=", or empty
};

// `commandLine` is the whole line, the program's own name first (quoted or not), as the system
// hands it over. "/S" counts in any case, before "/D=" only; "/D=" must start an argument.
SetupArguments parseSetupArguments(std::string_view commandLine);

}  // namespace zorv
