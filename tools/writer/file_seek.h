// Seeking in stdio files past 2 GB: `long` is 32 bits on Windows, where packages up to
// 4 GB are written too.
#pragma once

#include <cstdint>
#include <cstdio>

namespace zorv {

inline bool seekTo(std::FILE* f, std::uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(f, static_cast<long long>(offset), SEEK_SET) == 0;
#else
  return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

}  // namespace zorv
