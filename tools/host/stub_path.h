// Where `zorv build` finds the prebuilt programs a package travels with when no path is given:
// the setup stub that carries it (--stub) and the uninstaller it carries (--uninstaller).
#pragma once

#include <filesystem>
#include <optional>
#include <vector>

namespace zorv {

// In this order: setup-stub.exe and setup.exe next to the running zorv binary, then in
// lib/zorv/ beside the binary's folder (where `cmake --install` and the .deb put them for
// bin/zorv, and zorv-setup.exe for bin\zorv.exe), then build/win32/resources/setup.exe of the
// source tree zorv was built from, only for a zorv that runs from the build tree it was made in
// (a developer's checkout after the win32 preset build).
std::vector<std::filesystem::path> stubCandidates();

// The first candidate that exists.
std::optional<std::filesystem::path> findDefaultStub();

// Likewise for the uninstaller: uninstall.exe next to the zorv binary, in lib/zorv/, then
// build/win32/resources/uninstall.exe of the source tree.
std::vector<std::filesystem::path> uninstallerCandidates();
std::optional<std::filesystem::path> findDefaultUninstaller();

}  // namespace zorv
