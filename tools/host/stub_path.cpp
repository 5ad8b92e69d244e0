#include "tools/host/stub_path.h"

#include <initializer_list>

#include "tools/host/running_program.h"

namespace zorv {

namespace fs = std::filesystem;

namespace {

// `beside` next to the running zorv binary, then `built` in the win32 build of the source tree.
std::vector<fs::path> candidates(std::initializer_list<const char*> beside, const char* built) {
  std::vector<fs::path> out;
  // Where the running program cannot be found, the source tree is the only candidate.
  if (const auto self = runningProgram(); self && self->has_parent_path())
    for (const char* name : beside) out.push_back(self->parent_path() / name);
  out.push_back(fs::path(ZORV_SOURCE_DIR) / "build" / "win32" / "resources" / built);
  return out;
}

std::optional<fs::path> firstExisting(const std::vector<fs::path>& paths) {
  for (const fs::path& p : paths) {
    std::error_code ec;
    if (fs::is_regular_file(p, ec)) return p;
  }
  return std::nullopt;
}

}  // namespace

std::vector<fs::path> stubCandidates() {
  return candidates({"setup-stub.exe", "setup.exe"}, "setup.exe");
}

std::optional<fs::path> findDefaultStub() { return firstExisting(stubCandidates()); }

std::vector<fs::path> uninstallerCandidates() {
  return candidates({"uninstall.exe"}, "uninstall.exe");
}

std::optional<fs::path> findDefaultUninstaller() { return firstExisting(uninstallerCandidates()); }

}  // namespace zorv
