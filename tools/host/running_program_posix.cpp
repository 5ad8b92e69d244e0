// Linux names the running program in /proc; elsewhere the lookup fails.
#include "tools/host/running_program.h"

namespace zorv {

std::optional<std::filesystem::path> runningProgram() {
  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || self.empty()) return std::nullopt;
  return self;
}

}  // namespace zorv
