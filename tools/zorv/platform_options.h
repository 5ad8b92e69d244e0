// What `zorv install` and `zorv uninstall` share: where the registry file, the Programs folder
// and the Desktop folder live (the defaults of defaultPosixPlatformOptions, or the options
// --registry-file F, --programs-dir D and --desktop-dir D), and how paths are made absolute, so
// that the uninstall finds the paths that the install wrote byte for byte.
#pragma once

#include <string>

#include "platform/posix_platform.h"
#include "tools/zorv/commands.h"

namespace zorv {

// defaultPosixPlatformOptions with each path the command line gave, made absolute.
PosixPlatformOptions platformOptionsFrom(const PlatformPaths& paths);

// The path made absolute against the current directory and lexically normal; as given when
// that fails.
std::string absolutePath(const std::string& path);

}  // namespace zorv
