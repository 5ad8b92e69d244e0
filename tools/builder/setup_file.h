// Writes a built setup.exe or bare package into a file without holding it in memory: the
// package is streamed into the place it has in the setup.exe, and the headers that depend on
// its size are written once it is known.
#pragma once

#include <cstdint>
#include <cstdio>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/builder/build.h"

namespace zorv {

struct SetupFileSizes {
  std::uint64_t package = 0;
  std::uint64_t file = 0;
};

// Writes into `file`, which must be empty, seekable and open for reading and writing: with a
// `stub` (not null), the setup.exe that makeSetupExecutable would make (named `fileName`), byte for
// byte; without, the bare package. Its sizes, or the reason as buildPackageInto.
std::expected<SetupFileSizes, std::string> writeSetupFile(
    std::FILE* file, const std::vector<std::uint8_t>* stub, const Manifest& manifest,
    const Plan& plan, const BuildOptions& options, std::string_view fileName,
    BuildSummary* summary = nullptr);

}  // namespace zorv
