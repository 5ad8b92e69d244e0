// Where `zorv build` finds the prebuilt programs a package travels with when no path is given:
// the setup stub that carries it (--stub) and the uninstaller it carries (--uninstaller).
#pragma once

#include <filesystem>
#include <optional>
#include <vector>

namespace zorv {

// In this order: setup-stub.exe and setup.exe next to the running zorv binary (an installed
// tool ships the stub beside it), then build/win32/resources/setup.exe of the source tree zorv
// was built from (a developer's checkout after the win32 preset build).
std::vector<std::filesystem::path> stubCandidates();

// The first candidate that exists.
std::optional<std::filesystem::path> findDefaultStub();

// Likewise for the uninstaller: uninstall.exe next to the zorv binary, then
// build/win32/resources/uninstall.exe of the source tree.
std::vector<std::filesystem::path> uninstallerCandidates();
std::optional<std::filesystem::path> findDefaultUninstaller();

}  // namespace zorv
