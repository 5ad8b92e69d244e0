// Native extraction: `zorv install` with one job and with several against two bare extractors
// of the same package in the same run, into the same folders: one that unpacks every block
// with zlib's `uncompress` (the setup's inflater) and one with libdeflate's (the tools'), each
// writing the files with bare open, write and close. The runs are interleaved over the rounds
// and each target folder (a disk folder, a tmpfs folder) is emptied and synced before every
// run; the medians, each tool's speed against the zlib extractor of the same round, and zorv's
// peak resident memory against its idle size (the same command on a 1-file package) are
// printed, with a JSON summary for the chart (--json).
//   usage: install_bench ZORV [--package PKG] [--megabytes N] [--work DIR] [--tmpfs DIR]
//                        [--rounds N] [--jobs N] [--json FILE]
// Without --package it writes a package of 4 MB files of mixed data, N megabytes in all.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>
#include <libdeflate.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "bench/bench_data.h"
#include "install/records.h"
#include "package/held_entry.h"
#include "package/package.h"
#include "platform/json_writer.h"
#include "tools/writer/package_writer.h"
#include "tools/writer/records.h"

namespace fs = std::filesystem;
using namespace zorv;
using Clock = std::chrono::steady_clock;

namespace {

void writePackage(const std::string& path, std::size_t mb) {
  PackageWriter w;
  std::uint64_t total = 0;
  const std::size_t fileSize = 4 * 1000 * 1000 + 123;
  for (int i = 0; total < mb * 1000000ull; ++i) {
    auto data = bench::mixedData(fileSize, std::uint32_t(i));
    char name[64];
    std::snprintf(name, sizeof name, "data\\part%d\\file%d.bin", i / 10, i);
    Bytes rec = addFileBlocks(w, name, data);
    w.addEntry(kTagCopy, "Copy", rec);
    total += data.size();
  }
  w.addEntry(kTagAppName, "Application", nameRecord("Bench"));
  w.addInline(kTagSum, "Copy", std::uint32_t(total), std::uint32_t(total));
  auto bytes = w.finish().value();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Runs a command with its output discarded; its wall time and peak resident set (kB), or
// nothing when it failed. The peak comes from /usr/bin/time, a small program: a child forked
// from this one would count the pages this one has mapped, which Linux carries into the
// program the child then runs.
struct ChildRun {
  double seconds = 0;
  long maxRssKb = 0;
};
std::optional<ChildRun> runChild(const std::vector<std::string>& command, const fs::path& work) {
  const std::string figures = (work / "time.txt").string();
  std::vector<std::string> argv = {"/usr/bin/time", "-f", "%M", "-o", figures};
  argv.insert(argv.end(), command.begin(), command.end());
  const auto t0 = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return std::nullopt;
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  std::ifstream in(figures);
  long kb = 0;
  for (std::string word; in >> word;) kb = std::atol(word.c_str());  // the last word
  return ChildRun{seconds, kb};
}

// The package file, mapped read-only.
struct Mapped {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  explicit Mapped(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0) std::abort();
    size = std::size_t(st.st_size);
    data = static_cast<const std::uint8_t*>(mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0));
    close(fd);
    if (data == MAP_FAILED) std::abort();
  }
  ~Mapped() { munmap(const_cast<std::uint8_t*>(data), size); }
  std::span<const std::uint8_t> bytes() const { return {data, size}; }
};

enum class Inflater { Zlib, Libdeflate };

// The least a native program must do to extract a package's files: the records are read with
// the reader (a few hundred bytes each), every block is unpacked by the chosen inflater into
// one buffer and written with write(); each folder is made once.
class BareExtractor {
 public:
  BareExtractor(const Mapped& file, Package& package, Inflater inflater, fs::path dest)
      : file_(file), package_(package), inflater_(inflater), dest_(std::move(dest)) {
    decompressor_ = libdeflate_alloc_decompressor();
  }
  ~BareExtractor() { libdeflate_free_decompressor(decompressor_); }

  bool run() {
    fs::create_directories(dest_);
    bool ok = forEachEntry(package_, kTagCopy, 0, -1, [&](std::int32_t i) {
      const HeldEntry held(package_, i);
      std::optional<CopyRecord> file;
      if (held.body()) file = parseCopyRecord(*held.body());
      return file && writeFile(*file);
    });
    return ok && forEachEntry(package_, kTagCopyDir, 0, -1, [&](std::int32_t i) {
             const HeldEntry held(package_, i);
             std::optional<DirectoryRecord> dir;
             if (held.body()) dir = parseDirectoryRecord(*held.body());
             return dir && writeMembers(*dir);
           });
  }

 private:
  bool inflate(PackedRange r) {
    const std::uint64_t start = std::uint64_t(package_.header().dataBase) + r.offset;
    if (start + r.packed > file_.size) return false;
    const std::uint8_t* src = file_.data + start;
    if (r.packed == r.unpacked) {
      std::memcpy(buffer_.data(), src, r.unpacked);
      return true;
    }
    if (inflater_ == Inflater::Zlib) {
      uLongf n = r.unpacked;
      return uncompress(buffer_.data(), &n, src, r.packed) == Z_OK && n == r.unpacked;
    }
    return libdeflate_zlib_decompress(decompressor_, src, r.packed, buffer_.data(), r.unpacked,
                                      nullptr) == LIBDEFLATE_SUCCESS;
  }

  bool writeFile(const CopyRecord& file) {
    std::string name(file.name);
    std::replace(name.begin(), name.end(), '\\', '/');
    const fs::path path = dest_ / name;
    if (folders_.insert(path.parent_path().string()).second)
      fs::create_directories(path.parent_path());
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) return false;
    bool ok = true;
    for (std::uint32_t b = 0; ok && b < file.blocks.size(); ++b) {
      const PackedRange r = file.blocks[b].range;
      if (buffer_.size() < r.unpacked) buffer_.resize(r.unpacked);
      ok = inflate(r) && write(fd, buffer_.data(), r.unpacked) == ssize_t(r.unpacked);
    }
    close(fd);
    return ok;
  }

  bool writeMembers(const DirectoryRecord& dir) {
    for (std::uint32_t m = 0; m < dir.members.size(); ++m) {
      const RangeItem member = dir.members[m];
      const std::optional<Buffer> body = package_.readRange(member.range);
      if (!body) return false;
      if (member.tag == kTagCopyDir) {
        const std::optional<DirectoryRecord> sub = parseDirectoryRecord(body->bytes());
        if (!sub || !writeMembers(*sub)) return false;
      } else if (member.tag == kTagCopy) {
        const std::optional<CopyRecord> file = parseCopyRecord(body->bytes());
        if (!file || !writeFile(*file)) return false;
      }
    }
    return true;
  }

  const Mapped& file_;
  Package& package_;
  Inflater inflater_;
  fs::path dest_;
  libdeflate_decompressor* decompressor_ = nullptr;
  std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(kBlockSize);
  std::set<std::string> folders_;
};

double bareExtract(const std::string& pkgPath, Inflater inflater, const fs::path& dest) {
  const Mapped file(pkgPath);
  std::unique_ptr<Package> package = openPackage(file.bytes());
  if (!package) std::abort();
  const auto t0 = Clock::now();
  if (!BareExtractor(file, *package, inflater, dest).run()) {
    std::fprintf(stderr, "the bare extractor failed on %s\n", pkgPath.c_str());
    std::exit(1);
  }
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Every regular file below `root`: its relative path, size and CRC-32.
std::map<std::string, std::pair<std::uintmax_t, uLong>> filesBelow(const fs::path& root) {
  std::map<std::string, std::pair<std::uintmax_t, uLong>> files;
  std::vector<char> data;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file() || e.path().filename() == "UnInstall.log") continue;
    std::ifstream in(e.path(), std::ios::binary);
    data.assign(std::istreambuf_iterator<char>(in), {});
    files[fs::relative(e.path(), root).string()] = {
        data.size(), crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size()))};
  }
  return files;
}

std::string loadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string first;
  in >> first;
  return first.empty() ? "unknown" : first;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Args {
  std::string zorv, package, json;
  std::size_t megabytes = 200;
  fs::path work = fs::temp_directory_path() / "zorv-install-bench";
  fs::path tmpfs = "/dev/shm/zorv-install-bench";
  int rounds = 5;
  int jobs = 2;
};

Args parse(int argc, char** argv) {
  Args a;
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: install_bench ZORV [--package PKG] [--megabytes N] [--work DIR] "
                 "[--tmpfs DIR] [--rounds N] [--jobs N] [--json FILE]\n");
    std::exit(2);
  }
  a.zorv = fs::absolute(argv[1]).string();
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string key = argv[i], value = argv[i + 1];
    if (key == "--package")
      a.package = fs::absolute(value).string();
    else if (key == "--megabytes")
      a.megabytes = std::strtoul(value.c_str(), nullptr, 10);
    else if (key == "--work")
      a.work = fs::absolute(value);
    else if (key == "--tmpfs")
      a.tmpfs = fs::absolute(value);
    else if (key == "--rounds")
      a.rounds = std::atoi(value.c_str());
    else if (key == "--jobs")
      a.jobs = std::atoi(value.c_str());
    else if (key == "--json")
      a.json = value;
    else {
      std::fprintf(stderr, "install_bench: unknown option %s\n", key.c_str());
      std::exit(2);
    }
  }
  return a;
}

}  // namespace

int main(int argc, char** argv) {
  const Args a = parse(argc, argv);
  fs::remove_all(a.work);
  fs::create_directories(a.work);
  std::string big = a.package;
  if (big.empty()) {
    big = (a.work / "big.pkg").string();
    std::fprintf(stderr, "making a %zu MB package in %s...\n", a.megabytes, a.work.c_str());
    writePackage(big, a.megabytes);
  }
  const std::string tiny = (a.work / "tiny.pkg").string();
  writePackage(tiny, 1);

  const auto zorvInstall = [&](const std::string& pkg, const fs::path& dest, int jobs) {
    return std::vector<std::string>{a.zorv,
                                    "install",
                                    pkg,
                                    "--dest",
                                    dest.string(),
                                    "--no-run",
                                    "--no-desktop",
                                    "-j",
                                    std::to_string(jobs),
                                    "--registry-file",
                                    (a.work / "registry.reg").string(),
                                    "--programs-dir",
                                    (a.work / "programs").string(),
                                    "--desktop-dir",
                                    (a.work / "desktop").string()};
  };
  const std::string jn = "zorv -j" + std::to_string(a.jobs);
  const std::vector<std::string> tools = {"zlib", "libdeflate", "zorv -j1", jn};
  const std::map<std::string, fs::path> targets = {{"disk", a.work / "target"},
                                                   {"tmpfs", a.tmpfs / "target"}};
  std::map<std::string, std::map<std::string, std::vector<double>>> times;
  std::map<std::string, std::vector<double>> speeds;  // "target tool": zlib time / tool time
  long idleRss = 0, peakRss = 0;
  if (auto idle = runChild(zorvInstall(tiny, a.work / "tiny", 1), a.work)) {
    idleRss = idle->maxRssKb;
  } else {
    std::fprintf(stderr, "zorv install failed on the tiny package\n");
    return 1;
  }
  std::map<std::string, std::pair<std::uintmax_t, uLong>> expected;
  std::printf("load average %s at the start\n", loadAverage().c_str());
  for (int round = 0; round < a.rounds; ++round) {
    std::map<std::string, std::map<std::string, double>> got;
    for (std::size_t t = 0; t < tools.size(); ++t) {
      const std::string& tool = tools[(t + std::size_t(round)) % tools.size()];
      for (const auto& [target, dest] : targets) {
        fs::remove_all(dest);
        fs::create_directories(dest.parent_path());
        sync();
        double seconds = 0;
        if (tool == "zlib" || tool == "libdeflate") {
          seconds = bareExtract(big, tool == "zlib" ? Inflater::Zlib : Inflater::Libdeflate, dest);
        } else {
          const auto run =
              runChild(zorvInstall(big, dest, tool == "zorv -j1" ? 1 : a.jobs), a.work);
          if (!run) {
            std::fprintf(stderr, "%s failed\n", tool.c_str());
            return 1;
          }
          seconds = run->seconds;
          peakRss = std::max(peakRss, run->maxRssKb);
        }
        got[target][tool] = seconds;
        times[target][tool].push_back(seconds);
        // Every tool must have written the same files.
        if (round == 0) {
          auto files = filesBelow(dest);
          if (expected.empty())
            expected = std::move(files);
          else if (files != expected) {
            std::fprintf(stderr, "%s into %s wrote other files than the first tool\n", tool.c_str(),
                         target.c_str());
            return 1;
          }
        }
      }
    }
    std::printf("round %d:", round + 1);
    for (const auto& [target, row] : got) {
      std::printf("  %s", target.c_str());
      for (const auto& [tool, s] : row) {
        std::printf(" %s=%.2f", tool.c_str(), s);
        speeds[target + " " + tool].push_back(row.at("zlib") / s);
      }
    }
    std::printf("\n");
  }
  for (const auto& dest : targets) fs::remove_all(dest.second);
  std::printf("load average %s at the end\n", loadAverage().c_str());

  std::uintmax_t total = 0;
  for (const auto& [name, file] : expected) total += file.first;
  std::printf("\n%zu files, %ju bytes, package %ju bytes; medians of %d interleaved rounds\n",
              expected.size(), total, std::uintmax_t(fs::file_size(big)), a.rounds);
  JsonWriter json;
  json.beginObject();
  for (const auto& [target, rows] : times) {
    std::printf("%s:\n  %-26s %8s %22s\n", target.c_str(), "", "seconds", "speed against zlib");
    json.key(target);
    json.beginObject();
    for (const std::string& tool : tools) {
      const double speed = median(speeds[target + " " + tool]);
      std::printf(
          "  %-26s %8.2f %22.2f\n",
          (tool == "zlib" || tool == "libdeflate" ? "bare " + tool + " + write" : "`" + tool + "`")
              .c_str(),
          median(rows.at(tool)), speed);
      json.key(tool);
      json.number(static_cast<long>(speed * 1000 + 0.5));  // speed in thousandths
    }
    json.endObject();
  }
  std::printf(
      "peak resident of zorv install: %ld kB, idle (a 1-file package) %ld kB, difference "
      "%ld kB\n",
      peakRss, idleRss, peakRss - idleRss);
  json.key("peak_kb");
  json.number(peakRss);
  json.key("idle_kb");
  json.number(idleRss);
  json.endObject();
  if (!a.json.empty()) std::ofstream(a.json) << json.text() << "\n";
  fs::remove_all(a.work);
  return 0;
}
