// Unpacks every block of a ~200 MB package through the reader's readRange (libdeflate in the
// tools) and, in the same run, the same blocks with bare zlib uncompress (the setup's inflater)
// and bare libdeflate; prints the throughputs and their ratios, and the most memory the reader
// held at once.
//   usage: reader_bench [megabytes]
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "bench/bench_data.h"
#include "package/package.h"
#include "tools/writer/package_writer.h"

namespace {

// Live heap bytes, to show that the reader holds one block at a time.
std::atomic<std::size_t> gLive{0}, gPeak{0};
bool gTrack = false;

}  // namespace

void* operator new(std::size_t n) {
  void* p = std::malloc(n + 16);
  if (!p) throw std::bad_alloc();
  *static_cast<std::size_t*>(p) = n;
  if (gTrack) {
    std::size_t live = gLive += n;
    std::size_t peak = gPeak.load();
    while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {
    }
  }
  return static_cast<char*>(p) + 16;
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return operator new(n);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  return operator new(n, std::nothrow);
}
void operator delete(void* p) noexcept {
  if (!p) return;
  char* base = static_cast<char*>(p) - 16;
  if (gTrack) gLive -= *reinterpret_cast<std::size_t*>(base);
  std::free(base);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

int main(int argc, char** argv) {
  using namespace zorv;
  using Clock = std::chrono::steady_clock;
  const std::size_t mb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;

  std::fprintf(stderr, "making a %zu MB package...\n", mb);
  PackageWriter w;
  std::vector<PackedRange> blocks;
  std::uint64_t total = 0;
  for (std::uint32_t i = 0; total < mb * 1000000ull; ++i) {
    auto data = bench::mixedData(kBlockSize, i);
    blocks.push_back(w.addData(data));
    total += data.size();
  }
  const std::vector<std::uint8_t> pkgBytes = w.finish().value();
  auto pkg = openPackage(pkgBytes);
  if (!pkg) return 1;

  auto throughput = [&](double seconds) { return double(total) / 1e6 / seconds; };
  double bestReader = 1e9, bestBare = 1e9, bestLibdeflate = 1e9;
  std::vector<std::uint8_t> out(kBlockSize);
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  for (int round = 0; round < 3; ++round) {
    gTrack = true;
    gLive = 0;
    auto t0 = Clock::now();
    for (const PackedRange& r : blocks) {
      auto b = pkg->readRange(r);
      if (!b) return 1;
    }
    auto t1 = Clock::now();
    gTrack = false;
    for (const PackedRange& r : blocks) {
      const std::uint8_t* src = pkgBytes.data() + r.offset;
      if (r.isStored()) {
        std::copy_n(src, r.unpacked, out.data());
        continue;
      }
      uLongf n = r.unpacked;
      if (uncompress(out.data(), &n, src, r.packed) != Z_OK) return 1;
    }
    auto t2 = Clock::now();
    for (const PackedRange& r : blocks) {
      const std::uint8_t* src = pkgBytes.data() + r.offset;
      if (r.isStored()) {
        std::copy_n(src, r.unpacked, out.data());
        continue;
      }
      if (libdeflate_zlib_decompress(d, src, r.packed, out.data(), r.unpacked, nullptr) !=
          LIBDEFLATE_SUCCESS)
        return 1;
    }
    auto t3 = Clock::now();
    bestReader = std::min(bestReader, std::chrono::duration<double>(t1 - t0).count());
    bestBare = std::min(bestBare, std::chrono::duration<double>(t2 - t1).count());
    bestLibdeflate = std::min(bestLibdeflate, std::chrono::duration<double>(t3 - t2).count());
  }
  std::printf("blocks: %zu of %u bytes, %.1f MB unpacked, %.1f MB packed\n", blocks.size(),
              kBlockSize, double(total) / 1e6, double(pkgBytes.size()) / 1e6);
  libdeflate_free_decompressor(d);
  std::printf("reader readRange (libdeflate): %8.1f MB/s\n", throughput(bestReader));
  std::printf("bare zlib uncompress:          %8.1f MB/s\n", throughput(bestBare));
  std::printf("bare libdeflate:               %8.1f MB/s\n", throughput(bestLibdeflate));
  std::printf("reader against bare libdeflate: %.3f (target >= 0.97); against zlib: %.2fx\n",
              bestLibdeflate / bestReader, bestBare / bestReader);
  std::printf("peak heap held by the reader while unpacking: %zu bytes (one block is %u)\n",
              gPeak.load(), kBlockSize);
  return 0;
}
