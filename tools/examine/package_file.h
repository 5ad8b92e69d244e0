// Loads a package for the tools: from a raw package file, or from a setup.exe that carries it
// as resource "SETUP" 101.
#pragma once

#include <cstdint>
#include <expected>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "package/package.h"
#include "tools/host/mapped_file.h"

namespace zorv {

struct LoadedPackage {
  MappedFile file;                      // the package points into it
  std::span<const std::uint8_t> bytes;  // the package's own bytes in it, which it was opened on
  std::unique_ptr<Package> package;
};

// Reads FILE and opens its package; on failure a reason such as
// "setup.exe: no SETUP resource 101".
std::expected<LoadedPackage, std::string> loadPackageFile(const std::string& path);

// The whole file, or the reason, naming the path, that it cannot be read.
std::expected<std::vector<std::uint8_t>, std::string> readWholeFile(const std::string& path);

// Prints "zorv: <message>" on standard error and returns 1.
int fail(std::string_view message);

}  // namespace zorv
