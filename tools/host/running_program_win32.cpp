#include "tools/host/running_program.h"

#include <windows.h>

#include <vector>

namespace zorv {

// The module's name in UTF-16, so that any folder works; a name that fills the buffer may have
// been cut, so the buffer grows until it does not.
std::optional<std::filesystem::path> runningProgram() {
  std::vector<wchar_t> name(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, name.data(), DWORD(name.size()));
    if (n == 0) return std::nullopt;
    if (n < name.size()) return std::filesystem::path(std::wstring(name.data(), n));
    if (name.size() >= 32768) return std::nullopt;
    name.resize(name.size() * 2);
  }
}

}  // namespace zorv
