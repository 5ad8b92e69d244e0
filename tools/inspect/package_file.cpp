#include "tools/inspect/package_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "tools/pe/pe_resources.h"

namespace zorv {

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::string* why) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (why) *why = path + ": " + std::strerror(errno);
    return false;
  }
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    if (why) *why = path + ": read error";
    return false;
  }
  return true;
}

std::optional<LoadedPackage> loadPackageFile(const std::string& path, std::string* why) {
  LoadedPackage lp;
  if (!lp.file.open(path, why)) return std::nullopt;
  std::span<const std::uint8_t> bytes = lp.file.bytes();
  if (looksLikePe(bytes)) {
    std::string reason;
    auto res = findPeResource(bytes, "SETUP", 101, &reason);
    if (!res) {
      if (why) *why = path + ": no SETUP resource 101 (" + reason + ")";
      return std::nullopt;
    }
    bytes = *res;
  }
  std::string reason;
  lp.package = openPackage(bytes, &reason);
  if (!lp.package) {
    if (why) *why = path + ": not a package: " + reason;
    return std::nullopt;
  }
  return lp;
}

int fail(std::string_view message) {
  std::cerr << "zorv: " << message << '\n';
  return 1;
}

}  // namespace zorv
