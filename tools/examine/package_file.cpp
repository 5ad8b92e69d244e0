#include "tools/examine/package_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "tools/pe/pe_resources.h"

namespace zorv {

std::expected<std::vector<std::uint8_t>, std::string> readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::unexpected(path + ": " + std::strerror(errno));
  std::vector<std::uint8_t> out(std::istreambuf_iterator<char>(in), {});
  if (in.bad()) return std::unexpected(path + ": read error");
  return out;
}

std::expected<LoadedPackage, std::string> loadPackageFile(const std::string& path) {
  LoadedPackage lp;
  if (auto opened = lp.file.open(path); !opened) return std::unexpected(opened.error());
  std::span<const std::uint8_t> bytes = lp.file.bytes();
  if (looksLikePe(bytes)) {
    auto res = findPeResource(bytes, "SETUP", 101);
    if (!res) return std::unexpected(path + ": no SETUP resource 101 (" + res.error() + ")");
    bytes = *res;
  }
  std::string reason;
  lp.bytes = bytes;
  lp.package = openPackage(bytes, &reason);
  if (!lp.package) return std::unexpected(path + ": not a package: " + reason);
  return lp;
}

int fail(std::string_view message) {
  std::cerr << "zorv: " << message << '\n';
  return 1;
}

}  // namespace zorv
