// Loads a package for the tools: from a raw package file, or from a setup.exe that carries it
// as resource "SETUP" 101.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "package/package.h"

namespace zorv {

// A file mapped read-only. The package reads straight from the mapping; dropPages() hands
// the pages read so far back to the kernel, so that a run over a large package keeps its
// resident memory flat (they are read again from the file if needed).
class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(MappedFile&& o) noexcept { *this = std::move(o); }
  MappedFile& operator=(MappedFile&& o) noexcept;
  ~MappedFile();
  bool open(const std::string& path, std::string* why);
  std::span<const std::uint8_t> bytes() const { return {data_, size_}; }
  void dropPages() const;

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  bool mapped_ = false;
};

struct LoadedPackage {
  MappedFile file;  // the package points into it
  std::unique_ptr<Package> package;
};

// Reads FILE and opens its package; on failure returns none and a reason such as
// "setup.exe: no SETUP resource 101".
std::optional<LoadedPackage> loadPackageFile(const std::string& path, std::string* why);

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::string* why);

// Prints "zorv: <message>" on standard error and returns 1.
int fail(std::string_view message);

}  // namespace zorv
