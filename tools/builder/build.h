// Lays out a package from a checked plan: the header; "AppN", the inline "SumC", "DirD" and
// the page bitmaps; each top-level file's data blocks followed by its "Copy" record; each
// top-level folder's nested blocks and records (as ranges) followed by its "CopD" record; the
// links, the registry key and values, the clean-up lines, the program to run and the
// uninstaller's "UnIn" entry; and the directory last. Blocks are compressed in parallel and placed
// in a fixed order, so the bytes depend only on the manifest and the files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/builder/diagnostics.h"
#include "tools/builder/manifest.h"
#include "tools/builder/plan.h"

namespace zorv {

struct BuildOptions {
  unsigned threads = 0;  // 0: one per core
  // Every body at libdeflate's level 12 instead of 9, as the manifest's [build] compression =
  // "best" asks too.
  bool best = false;
  // The informational name in the package header, at most 15 characters.
  std::string headerName = "setup.exe";
  // Called after each data block with the unpacked bytes placed so far and the total.
  std::function<void(std::uint64_t done, std::uint64_t total)> progress;
  // For buildFromManifest: the uninstaller to carry; "" looks in the usual places.
  std::string uninstaller;
};

struct BuildSummary {
  std::size_t entries = 0;
  std::size_t files = 0;    // "Copy" records, nested ones included
  std::size_t folders = 0;  // "CopD" records, nested ones included
  std::uint64_t blocks = 0;
  std::uint64_t bytes = 0;  // the "SumC" total
};

// The package; the reason when a file cannot be read or changed since the plan, or the package
// would pass 4 GB.
std::expected<std::vector<std::uint8_t>, std::string> buildPackage(const Manifest& manifest,
                                                                   const Plan& plan,
                                                                   const BuildOptions& options,
                                                                   BuildSummary* summary = nullptr);

// buildPackage streaming into `file`, whose end is at `fileOffset`: memory stays at a few
// blocks per thread whatever the payload. The package's size, or the reason as buildPackage,
// or when a write fails.
std::expected<std::uint64_t, std::string> buildPackageInto(
    std::FILE* file, std::uint64_t fileOffset, const Manifest& manifest, const Plan& plan,
    const BuildOptions& options, BuildSummary* summary = nullptr);

// Manifest, plan, uninstaller and package in one call; problems of the manifest go to `diag`,
// a failure of the build itself too (without a line).
std::optional<std::vector<std::uint8_t>> buildFromManifest(const std::string& manifestPath,
                                                           const BuildOptions& options,
                                                           Diagnostics& diag,
                                                           BuildSummary* summary = nullptr);

unsigned defaultThreadCount();

}  // namespace zorv
