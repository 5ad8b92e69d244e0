#include "tools/zorv/platform_options.h"

#include <filesystem>

namespace zorv {

bool takePlatformOption(Args args, std::size_t& i, PosixPlatformOptions& options) {
  std::string* target = nullptr;
  if (args[i] == "--registry-file") target = &options.registryFile;
  else if (args[i] == "--programs-dir") target = &options.programsFolder;
  else if (args[i] == "--desktop-dir") target = &options.desktopFolder;
  if (!target || i + 1 >= args.size()) return false;
  *target = absolutePath(std::string(args[++i]));
  return true;
}

std::string absolutePath(const std::string& path) {
  std::error_code ec;
  auto p = std::filesystem::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

}  // namespace zorv
