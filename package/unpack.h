// Unpacks one body of a package. Two implementations with one contract: unpack.cpp over zlib's
// uncompress, which setup.exe and uninstall.exe carry, and unpack_libdeflate.cpp over
// libdeflate, which the tools and their tests read with (package/CMakeLists.txt).
#pragma once

#include <cstdint>
#include <span>

namespace zorv {

// True only when `src` is one complete zlib stream with a valid Adler-32 whose data is exactly
// dst.size() bytes; dst is then filled. A stream that is shorter, longer or damaged fails, so no
// caller ever sees an undefined tail.
bool unpack(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst);

}  // namespace zorv
