// The shell's part of the seam: its special folders and the shortcuts (.lnk files) in them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zorv {

// The values are the shell's CSIDL numbers. The common ones are those of all users.
enum class SpecialFolder {
  Programs = 2,
  DesktopDirectory = 16,
  CommonPrograms = 0x17,
  CommonDesktopDirectory = 0x19,
  AppData = 0x1A,
  LocalAppData = 0x1C,
  ProgramFiles = 0x26,
};

class Shell {
 public:
  virtual std::optional<std::string> specialFolder(SpecialFolder folder) = 0;
  // A link session holds one shell link object whose working directory is set once; each
  // saveLink writes one .lnk file through it.
  virtual bool beginLinks(std::string_view workingDirectory) = 0;
  virtual bool saveLink(std::string_view linkPath, std::string_view target,
                        std::string_view description) = 0;
  virtual void endLinks() = 0;

 protected:
  ~Shell() = default;  // never deleted through this interface (platform.h)
};

}  // namespace zorv
