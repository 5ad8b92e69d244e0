// Builds a package from a generated ~200 MB tree of mixed compressibility with one thread and
// with every core, and compresses the same 512,000-byte blocks on one thread with bare zlib at
// level 9 and bare libdeflate at levels 9 and 12; prints the times and sizes, the speed-up, and
// the package's size against `zip -9 -r` of the tree.
//   usage: build_bench [megabytes] [scratch folder] [repeats]
#include <sys/resource.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "package/format.h"
#include "tools/builder/build.h"
#include "tools/builder/setup_file.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Processor time of the whole process, every thread included.
double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The machine's one-minute load: the wall-clock figures mean little when it exceeds the cores.
std::string loadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string first;
  in >> first;
  return first.empty() ? "unknown" : first;
}

// Prose-like text from a fixed vocabulary: compresses about four to one.
void appendText(std::vector<std::uint8_t>& out, std::size_t n, std::mt19937& gen) {
  static const std::vector<std::string> words = [] {
    std::mt19937 g(7);
    std::vector<std::string> w;
    for (int i = 0; i < 3000; ++i) {
      std::string s;
      const int len = 2 + int(g() % 9);
      for (int k = 0; k < len; ++k) s += char('a' + g() % 26);
      w.push_back(s);
    }
    return w;
  }();
  std::geometric_distribution<int> pick(0.004);
  while (out.size() < n) {
    const std::string& w = words[std::size_t(pick(gen)) % words.size()];
    out.insert(out.end(), w.begin(), w.end());
    const unsigned r = gen() % 16;
    out.push_back(r == 0 ? '\n' : r == 1 ? ',' : r == 2 ? '.' : ' ');
  }
  out.resize(n);
}

// Random bytes: nothing to gain, the blocks are stored.
void appendNoise(std::vector<std::uint8_t>& out, std::size_t n, std::mt19937& gen) {
  while (out.size() < n) out.push_back(std::uint8_t(gen()));
}

// Tables of little-endian records with slowly changing fields, like program data: compresses
// about two to one.
void appendRecords(std::vector<std::uint8_t>& out, std::size_t n, std::mt19937& gen) {
  std::uint32_t id = gen() % 1000, value = gen();
  while (out.size() < n) {
    id += 1 + gen() % 3;
    value += gen() % 4096;
    for (int k = 0; k < 4; ++k) out.push_back(std::uint8_t(id >> (8 * k)));
    for (int k = 0; k < 4; ++k) out.push_back(std::uint8_t(value >> (8 * k)));
    out.push_back(std::uint8_t(gen() % 8));
    out.push_back(std::uint8_t(gen()));
    for (int k = 0; k < 6; ++k) out.push_back(0);
  }
  out.resize(n);
}

struct Tree {
  std::uint64_t bytes = 0;
  std::size_t files = 0, folders = 0;
  std::vector<fs::path> order;  // files in the order the package takes them
};

// Sizes: mostly small files, some medium ones, a few large ones; kinds in turn.
Tree generateTree(const fs::path& root, std::uint64_t target) {
  std::mt19937 gen(2024);
  Tree t;
  fs::remove_all(root);
  std::vector<std::uint8_t> data;
  for (std::size_t i = 0; t.bytes < target; ++i) {
    const unsigned r = gen() % 100;
    std::size_t size = r < 70   ? 1000 + gen() % 100'000
                       : r < 95 ? 100'000 + gen() % 4'000'000
                                : 8'000'000 + gen() % 16'000'000;
    size = std::size_t(std::min<std::uint64_t>(size, target - t.bytes));
    const fs::path dir = root / ("part" + std::to_string(i % 7)) /
                         ("group" + std::to_string(i % 5)) / ("set" + std::to_string(i % 3));
    fs::create_directories(dir);
    data.clear();
    data.reserve(size);
    switch (i % 3) {
      case 0: appendText(data, size, gen); break;
      case 1: appendRecords(data, size, gen); break;
      default: appendNoise(data, size, gen); break;
    }
    std::ofstream(dir / ("file" + std::to_string(i) + ".dat"), std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    t.bytes += size;
    ++t.files;
  }
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it)
    if (it->is_directory()) ++t.folders;
  return t;
}

// Every file in the builder's order: files before sub-folders, names in byte order.
void packageOrder(const fs::path& dir, std::vector<fs::path>& out) {
  std::vector<fs::path> files, folders;
  for (const auto& e : fs::directory_iterator(dir))
    (e.is_directory() ? folders : files).push_back(e.path());
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
  out.insert(out.end(), files.begin(), files.end());
  for (const fs::path& f : folders) packageOrder(f, out);
}

// The bare compressors: zlib's level 9, which the builder used before, and libdeflate's levels
// 9 and 12, which it uses now.
enum class Bare { Zlib9, Libdeflate9, Libdeflate12 };
constexpr const char* kBareNames[] = {"bare zlib -9", "bare libdeflate -9", "bare libdeflate -12"};

// The same blocks through one bare compressor on one thread, reading the files as the builder
// does; returns the bytes a package would hold (a block kept stored when that is shorter).
std::uint64_t bareBlocks(const std::vector<fs::path>& files, Bare which) {
  std::uint64_t total = 0;
  libdeflate_compressor* c = which == Bare::Zlib9
                                 ? nullptr
                                 : libdeflate_alloc_compressor(which == Bare::Libdeflate9 ? 9 : 12);
  std::vector<std::uint8_t> block(zorv::kBlockSize), packed(compressBound(zorv::kBlockSize) + 64);
  for (const fs::path& f : files) {
    std::ifstream in(f, std::ios::binary);
    while (in) {
      in.read(reinterpret_cast<char*>(block.data()), std::streamsize(block.size()));
      const auto n = static_cast<uLong>(in.gcount());
      if (n == 0) break;
      std::size_t size = 0;
      if (c) {
        size = libdeflate_zlib_compress(c, block.data(), n, packed.data(), packed.size());
        if (size == 0) std::abort();
      } else {
        uLongf z = static_cast<uLongf>(packed.size());
        if (compress2(packed.data(), &z, block.data(), n, 9) != Z_OK) std::abort();
        size = z;
      }
      total += std::min<std::uint64_t>(size, n);
    }
  }
  libdeflate_free_compressor(c);
  return total;
}

// What a build wrote: its size and CRC-32, to compare runs without holding their outputs.
struct Output {
  std::uint64_t size = 0;
  uLong crc = 0;
  bool operator==(const Output&) const = default;
};

// Builds the bare package as `zorv build` does, streamed into a temporary file.
std::optional<Output> build(const std::string& manifest, unsigned threads, double* secs,
                            double* cpu) {
  zorv::Diagnostics diag;
  auto m = zorv::loadManifest(manifest, diag);
  auto plan = m ? zorv::makePlan(*m, diag) : std::nullopt;
  if (!plan) {
    std::fprintf(stderr, "%s", diag.text().c_str());
    return std::nullopt;
  }
  zorv::BuildOptions options;
  options.threads = threads;
  std::FILE* f = std::tmpfile();
  if (!f) return std::nullopt;
  const auto start = Clock::now();
  const double cpuStart = cpuSeconds();
  const auto written = zorv::writeSetupFile(f, nullptr, *m, *plan, options, "bench.pkg");
  const bool ok = written.has_value();
  *secs = seconds(start);
  *cpu = cpuSeconds() - cpuStart;
  Output out;
  std::vector<std::uint8_t> piece(1 << 20);
  std::rewind(f);
  for (std::size_t n; ok && (n = std::fread(piece.data(), 1, piece.size(), f)) > 0;) {
    out.crc = crc32(out.crc, piece.data(), static_cast<uInt>(n));
    out.size += n;
  }
  std::fclose(f);
  if (!ok) {
    std::fprintf(stderr, "%s\n", written.error().c_str());
    return std::nullopt;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t megabytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 200;
  const fs::path scratch =
      argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path() / "zorv-build-bench";
  const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  const fs::path tree = scratch / "tree";
  fs::create_directories(scratch);

  const Tree t = generateTree(tree, megabytes * 1'000'000);
  std::vector<fs::path> order;
  packageOrder(tree, order);
  std::printf(
      "tree: %.1f MB in %zu files and %zu folders (text, records and random data in turn)\n",
      double(t.bytes) / 1e6, t.files, t.folders);
  const std::string manifest = (scratch / "zorv.toml").string();
  std::ofstream(manifest)
      << "[application]\nname = \"Bench\"\n[[files]]\nsource = \"tree\"\ntarget = \"\"\n"
      << "[uninstall]\nprogram = false\n";  // the tree alone, as bare zlib and zip see it

  std::printf("load average before the runs: %s on %u cores\n", loadAverage().c_str(),
              zorv::defaultThreadCount());

  // Each side runs `repeats` times in turn and keeps its best time, so that a moment of load
  // from other programs spoils neither.
  double bareSecs[3] = {1e30, 1e30, 1e30}, oneSecs = 1e30, oneCpu = 0, allSecs = 1e30, allCpu = 0;
  std::uint64_t bare[3] = {};
  const unsigned cores = zorv::defaultThreadCount();
  std::optional<Output> one, all;
  for (int round = 0; round < repeats; ++round) {
    for (int b = 0; b < 3; ++b) {
      const auto start = Clock::now();
      bare[b] = bareBlocks(order, Bare(b));
      bareSecs[b] = std::min(bareSecs[b], seconds(start));
    }
    double secs = 0, cpu = 0;
    one = build(manifest, 1, &secs, &cpu);
    if (secs < oneSecs) oneSecs = secs, oneCpu = cpu;
    all = build(manifest, cores, &secs, &cpu);
    if (secs < allSecs) allSecs = secs, allCpu = cpu;
    if (!one || !all) return 1;
  }
  std::printf("best of %d runs each\n", repeats);
  for (int b = 0; b < 3; ++b)
    std::printf("%-20s 1 thread: %6.2f s  %6.1f MB/s  %llu bytes of blocks (%+.2f%% of zlib's)\n",
                kBareNames[b], bareSecs[b], double(t.bytes) / 1e6 / bareSecs[b],
                static_cast<unsigned long long>(bare[b]),
                (double(bare[b]) / double(bare[0]) - 1) * 100);
  std::printf("libdeflate -9 against zlib -9: %.2fx faster\n", bareSecs[0] / bareSecs[1]);
  std::printf(
      "zorv build -j1:          %6.2f s  %6.1f MB/s  cpu %6.2f s  (%.2fx the time of bare "
      "libdeflate -9)\n",
      oneSecs, double(t.bytes) / 1e6 / oneSecs, oneCpu, oneSecs / bareSecs[1]);
  std::printf("zorv build -j%-2u          %6.2f s  %6.1f MB/s  cpu %6.2f s\n", cores, allSecs,
              double(t.bytes) / 1e6 / allSecs, allCpu);
  std::printf(
      "speed-up -j%u over -j1:   %.2fx (target >= 1.8x on 2 cores); over bare zlib -9 %.2fx\n",
      cores, oneSecs / allSecs, bareSecs[0] / allSecs);
  std::printf("load average after the runs: %s\n", loadAverage().c_str());
  std::printf("output identical for -j1 and -j%u: %s\n", cores, *one == *all ? "yes" : "NO");

  const fs::path zip = scratch / "tree.zip";
  fs::remove(zip);
  const auto start = Clock::now();
  const std::string command = "cd '" + tree.string() + "' && zip -q -9 -r '" + zip.string() + "' .";
  if (std::system(command.c_str()) != 0) {
    std::printf("zip -9 -r failed; is zip installed?\n");
    return 1;
  }
  const double zipSecs = seconds(start);
  const auto zipSize = fs::file_size(zip);
  std::printf(
      "package: %zu bytes; zip -9 -r: %llu bytes (%.2f s); package is %+.2f%% of zip (target "
      "within 2%%)\n",
      static_cast<std::size_t>(all->size), static_cast<unsigned long long>(zipSize), zipSecs,
      (double(all->size) - double(zipSize)) * 100.0 / double(zipSize));
  return *one == *all ? 0 : 1;
}
