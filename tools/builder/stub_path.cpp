#include "tools/builder/stub_path.h"

namespace zorv {

namespace fs = std::filesystem;

std::vector<fs::path> stubCandidates() {
  std::vector<fs::path> out;
  std::error_code ec;
  // Linux names the running program here; elsewhere the lookup fails and the source tree is
  // the only candidate.
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec && self.has_parent_path()) {
    out.push_back(self.parent_path() / "setup-stub.exe");
    out.push_back(self.parent_path() / "setup.exe");
  }
  out.push_back(fs::path(ZORV_SOURCE_DIR) / "build" / "win32" / "resources" / "setup.exe");
  return out;
}

std::optional<fs::path> findDefaultStub() {
  for (const fs::path& p : stubCandidates()) {
    std::error_code ec;
    if (fs::is_regular_file(p, ec)) return p;
  }
  return std::nullopt;
}

}  // namespace zorv
