// The process's part of the seam: its current folder, the programs it starts, and the clock.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zorv {

struct SystemTime {
  unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class Process {
 public:
  virtual std::optional<std::string> currentDirectory() = 0;
  virtual bool setCurrentDirectory(std::string_view dir) = 0;
  // Starts `application` with `commandLine` in the current directory; not waited for.
  virtual bool startProcess(std::string_view application, std::string_view commandLine) = 0;
  virtual SystemTime utcNow() = 0;

 protected:
  ~Process() = default;  // never deleted through this interface (platform.h)
};

}  // namespace zorv
