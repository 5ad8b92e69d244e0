#include "tools/zorv/platform_options.h"

#include <filesystem>

namespace zorv {

PosixPlatformOptions platformOptionsFrom(const PlatformPaths& paths) {
  PosixPlatformOptions options = defaultPosixPlatformOptions();
  if (!paths.registryFile.empty()) options.registryFile = absolutePath(paths.registryFile);
  if (!paths.programsDir.empty()) options.programsFolder = absolutePath(paths.programsDir);
  if (!paths.desktopDir.empty()) options.desktopFolder = absolutePath(paths.desktopDir);
  return options;
}

std::string absolutePath(const std::string& path) {
  std::error_code ec;
  auto p = std::filesystem::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

}  // namespace zorv
