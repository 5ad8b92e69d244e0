// The two programs a package travels with: the setup stub that carries it and the uninstaller
// it carries. Both take the product's identity from the manifest: a version resource naming
// the product, its version, publisher and copyright, and the manifest's icon as icon group 101.
// Without those keys their resources stay as they are.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/builder/diagnostics.h"
#include "tools/builder/manifest.h"
#include "tools/builder/plan.h"
#include "tools/pe/pe_resources.h"

namespace zorv {

// The setup.exe: `stub` with the product's identity (OriginalFilename `fileName`) and
// `package` as its resource "SETUP" 101, read back to make sure it is there. Without identity
// keys it is exactly what setPeResource makes of the stub. The reason when the stub cannot
// be rewritten.
std::expected<std::vector<std::uint8_t>, std::string> makeSetupExecutable(
    std::span<const std::uint8_t> stub, const Manifest& manifest, const Plan& plan,
    std::span<const std::uint8_t> package, std::string_view fileName);

// makeSetupExecutable for a package too large to hold in memory: the setup.exe with a hole
// of `packageSize` bytes where the package goes (see SplitPeImage). Where the hole starts
// does not depend on `packageSize`, so a package can be streamed into place before its size
// is known.
std::expected<SplitPeImage, std::string> makeSplitSetupExecutable(
    std::span<const std::uint8_t> stub, const Manifest& manifest, const Plan& plan,
    std::uint32_t packageSize, std::string_view fileName);

// The uninstaller as the package carries it: `program` with the product's identity, or its
// very bytes (a signature included) without identity keys. The reason when it is not a PE
// image or cannot be rewritten.
std::expected<std::vector<std::uint8_t>, std::string> makeUninstaller(
    std::span<const std::uint8_t> program, const Manifest& manifest, const Plan& plan);

// When the manifest asks for the uninstaller: reads `path` (or, when it is empty, the first
// of uninstallerCandidates() that exists), makes it with makeUninstaller, signs it with the
// manifest's [signing] command unless `sign` is false (a dry run), and adds it to the plan.
// `path` is set to the file used. A signed program whose signature the product's resources
// remove, with nothing to sign it again, is a warning in `diag`. One line that says what to do
// when no program is found, it cannot be used or signing it fails.
std::expected<void, std::string> carryUninstaller(const Manifest& manifest, Plan& plan,
                                                  std::string& path, bool sign, Diagnostics& diag);

// Problems of a setup.exe's own resources: the version resource (RT_VERSION 1) must parse,
// icon group 101 must exist and parse, and every image it names must exist with the size it
// declares. Empty when all is well.
std::vector<std::string> executableResourceProblems(std::span<const std::uint8_t> exe);

}  // namespace zorv
