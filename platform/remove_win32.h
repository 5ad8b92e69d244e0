// The uninstaller's part of the seam on Windows: the ANSI calls, never following a reparse
// point (a junction or a symbolic link is removed as itself).
#pragma once

#include "platform/remove_platform.h"

namespace zorv {

class Win32RemovePlatform final : public RemovePlatform {
 public:
  std::optional<std::vector<Entry>> listFolder(std::string_view path) override;
  Outcome removeFile(std::string_view path) override;
  Outcome removeFolder(std::string_view path) override;
  Outcome removeKey(RegRoot root, std::string_view key) override;
  std::optional<std::string> readFile(std::string_view path, std::size_t limit) override;
  std::vector<std::string> protectedFolders() override;
};

}  // namespace zorv
