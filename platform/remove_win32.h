// The uninstaller's part of the seam on Windows. Paths arrive in the ANSI code page and are used
// through the wide calls, so that no name is ever converted with best fit.
//
// Every file, folder or link is opened as itself (never through a reparse point at its end),
// and the system's own name for what was opened must be its root's followed by the same names:
// a junction, a symbolic link or an 8.3 name anywhere below the root, and under Wine a Unix
// symbolic link, make that name differ, and the path is refused. What is removed is removed
// through the handle that was checked, so nothing can be swapped in between.
#pragma once

#include <string>
#include <vector>

#include "platform/remove_platform.h"

namespace zorv {

class Win32RemovePlatform final : public RemovePlatform {
 public:
  void confineRemovalTo(std::vector<std::string> roots) override;
  std::optional<std::string> expandPath(std::string_view path) override;
  std::optional<std::vector<Entry>> listFolder(std::string_view path) override;
  Outcome removeFile(std::string_view path) override;
  Outcome removeFolder(std::string_view path) override;
  Outcome removeKey(RegRoot root, std::string_view key) override;
  std::optional<std::string> readFile(std::string_view path, std::size_t limit) override;
  std::vector<std::string> protectedFolders() override;

 private:
  struct Root {
    std::wstring given;  // as confineRemovalTo named it, without a separator at its end
    std::wstring final;  // the system's name for it, links above and at it resolved
  };
  struct Opened;
  Opened open(std::string_view path, unsigned long access, unsigned long share);

  std::vector<Root> roots_;
  bool confined_ = false;
};

}  // namespace zorv
