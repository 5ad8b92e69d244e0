// The subcommands of the zorv tool. Each takes the arguments after its own name and returns
// the process exit status: 0 on success, 1 after one clear line on standard error.
#pragma once

#include <span>
#include <string_view>

namespace zorv {

using Args = std::span<const std::string_view>;

int cmdList(Args args);
int cmdCat(Args args);
int cmdInstall(Args args);
int cmdUninstall(Args args);
int cmdExtract(Args args);
int cmdBuild(Args args);
int cmdVerify(Args args);

}  // namespace zorv
