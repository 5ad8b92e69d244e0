#include "tools/host/stub_path.h"

#include <algorithm>
#include <initializer_list>

#include "tools/host/running_program.h"

namespace zorv {

namespace fs = std::filesystem;

namespace {

// Whether `program` lies inside the build tree that this code was compiled in: zorv itself and
// the test programs there.
bool insideBuildTree(const fs::path& program) {
  std::error_code ec;
  const fs::path tree = fs::weakly_canonical(fs::path(ZORV_BUILD_DIR), ec);
  if (ec || tree.empty()) return false;
  const fs::path self = fs::weakly_canonical(program, ec);
  if (ec) return false;
  const auto [end, rest] = std::mismatch(tree.begin(), tree.end(), self.begin(), self.end());
  return end == tree.end();
}

// `names` next to the running zorv binary, then in lib/zorv/ beside its folder (an installed
// bin/zorv), then `built` in the win32 build of the source tree, which only a zorv that runs
// from the build tree it was made in looks at: an installed copy must not take whatever a
// checkout at the path where it was built holds today.
std::vector<fs::path> candidates(std::initializer_list<const char*> names, const char* built) {
  std::vector<fs::path> out;
  const auto self = runningProgram();
  if (self && self->has_parent_path()) {
    const fs::path folder = self->parent_path();
    for (const char* name : names) out.push_back(folder / name);
    for (const char* name : names)
      out.push_back((folder.parent_path() / "lib" / "zorv" / name).lexically_normal());
  }
  // Where the running program cannot be found, the source tree is the only candidate.
  if (!self || insideBuildTree(*self))
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
