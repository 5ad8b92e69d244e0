// Deterministic test data with mixed compressibility, shared by the benchmarks: words from a
// small vocabulary (text-like, packs about 3:1) interleaved with pseudo-random runs (does not
// pack), so both the stored and the packed paths are exercised.
#pragma once

#include <cstdint>
#include <vector>

namespace zorv::bench {

inline std::vector<std::uint8_t> mixedData(std::size_t n, std::uint32_t seed) {
  static const char* kWords[] = {"setup ",   "install ",     "package ",  "block ",
                                 "zlib ",    "directory ",   "file ",     "entry ",
                                 "Windows ", "registry\r\n", "shortcut ", "the ",
                                 "of ",      "and ",         "data ",     "0123456789 "};
  std::vector<std::uint8_t> out;
  out.reserve(n);
  std::uint32_t x = seed * 2654435761u + 1;
  auto next = [&] {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
  };
  while (out.size() < n) {
    if (next() % 8 == 0) {
      for (int i = next() % 2048; i > 0 && out.size() < n; --i) out.push_back(std::uint8_t(next()));
    } else {
      for (int i = next() % 64; i > 0 && out.size() < n; --i)
        for (const char* w = kWords[next() % 16]; *w && out.size() < n; ++w) out.push_back(*w);
    }
  }
  return out;
}

}  // namespace zorv::bench
