// The file of the running program, for finding what ships beside it.
#pragma once

#include <filesystem>
#include <optional>

namespace zorv {

// Its full path; none where the system cannot say.
std::optional<std::filesystem::path> runningProgram();

}  // namespace zorv
