// Installs a generated ~200 MB package with `zorv install -j1` and, in the same run, unpacks
// and writes the same blocks with bare zlib `uncompress` and `write`; prints both times, their
// ratio, and zorv's peak resident memory against its idle size (the same command on a tiny
// package). Also `zorv install -jN`, N the processors, where other threads unpack ahead.
//   usage: install_bench ZORV [megabytes] [work-dir]
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_data.h"
#include "package/package.h"
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

// Runs a command, returns its wall time in seconds and its peak resident set in kB.
bool runChild(const std::vector<std::string>& argv, double& seconds, long& maxRssKb) {
  auto t0 = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage ru{};
  if (wait4(pid, &status, 0, &ru) != pid) return false;
  seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  maxRssKb = ru.ru_maxrss;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The bare baseline: every Copy record's blocks unpacked with uncompress and written.
double bareInstall(const std::string& pkgPath, const std::string& dest) {
  int fd = open(pkgPath.c_str(), O_RDONLY);
  struct stat st {};
  fstat(fd, &st);
  auto* base = static_cast<const std::uint8_t*>(
      mmap(nullptr, std::size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0));
  close(fd);
  auto pkg = openPackage(std::span<const std::uint8_t>(base, std::size_t(st.st_size)));
  std::vector<std::uint8_t> out(kBlockSize);
  auto t0 = Clock::now();
  for (std::int32_t i = pkg->findByTag(kTagCopy, 0, -1); i >= 0;
       i = pkg->findByTag(kTagCopy, i + 1, -1)) {
    auto body = pkg->acquireEntry(i);
    // name length byte, name, NUL, size, count, then 16-byte items
    std::size_t n = (*body)[0];
    std::string name(reinterpret_cast<const char*>(body->data() + 1), n);
    for (char& c : name)
      if (c == '\\') c = '/';
    fs::path file = fs::path(dest) / name;
    fs::create_directories(file.parent_path());
    int out_fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    std::uint32_t count = 0;
    std::memcpy(&count, body->data() + 6 + n, 4);
    for (std::uint32_t b = 0; b < count; ++b) {
      const std::uint8_t* item = body->data() + 10 + n + 16 * b;
      std::uint32_t off, unp, pk;
      std::memcpy(&off, item + 4, 4);
      std::memcpy(&unp, item + 8, 4);
      std::memcpy(&pk, item + 12, 4);
      uLongf len = unp;
      if (pk == unp)
        std::memcpy(out.data(), base + off, unp);
      else
        uncompress(out.data(), &len, base + off, pk);
      if (write(out_fd, out.data(), unp) != ssize_t(unp)) std::abort();
    }
    close(out_fd);
    pkg->releaseEntry(i);
  }
  double s = std::chrono::duration<double>(Clock::now() - t0).count();
  munmap(const_cast<std::uint8_t*>(base), std::size_t(st.st_size));
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: install_bench ZORV [megabytes] [work-dir]\n");
    return 1;
  }
  const std::string zorv = fs::absolute(argv[1]).string();
  const std::size_t mb = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 200;
  const fs::path work =
      argc > 3 ? fs::path(argv[3]) : fs::temp_directory_path() / "zorv-install-bench";
  fs::remove_all(work);
  fs::create_directories(work);
  const std::string big = (work / "big.pkg").string(), tiny = (work / "tiny.pkg").string();
  std::fprintf(stderr, "making a %zu MB package in %s...\n", mb, work.c_str());
  writePackage(big, mb);
  writePackage(tiny, 1);

  const std::string jobs = std::to_string(std::max(1u, std::thread::hardware_concurrency()));
  auto zorvInstall = [&](const std::string& pkg, const std::string& dest,
                         const std::string& j = "1") {
    return std::vector<std::string>{zorv,
                                    "install",
                                    pkg,
                                    "--dest",
                                    dest,
                                    "--no-run",
                                    "--no-desktop",
                                    "--registry-file",
                                    (work / "registry.reg").string(),
                                    "--programs-dir",
                                    (work / "programs").string(),
                                    "--desktop-dir",
                                    (work / "desktop").string(),
                                    "-j",
                                    j};
  };
  double idleSeconds = 0, zorvBest = 1e9, bareBest = 1e9, jobsBest = 1e9;
  long idleRss = 0, bigRss = 0, jobsRss = 0;
  if (!runChild(zorvInstall(tiny, (work / "tiny").string()), idleSeconds, idleRss)) {
    std::fprintf(stderr, "zorv install failed on the tiny package\n");
    return 1;
  }
  // Best of several rounds, each side starting with the previous round's writes on disk, so
  // that write-back of one side does not land in the other's time.
  for (int round = 0; round < 4; ++round) {
    fs::remove_all(work / "a");
    fs::remove_all(work / "b");
    sync();
    double s = 0;
    long rss = 0;
    if (!runChild(zorvInstall(big, (work / "a").string()), s, rss)) {
      std::fprintf(stderr, "zorv install failed\n");
      return 1;
    }
    zorvBest = std::min(zorvBest, s);
    bigRss = std::max(bigRss, rss);
    fs::remove_all(work / "a");
    sync();
    if (!runChild(zorvInstall(big, (work / "a").string(), jobs), s, rss)) {
      std::fprintf(stderr, "zorv install -j%s failed\n", jobs.c_str());
      return 1;
    }
    jobsBest = std::min(jobsBest, s);
    jobsRss = std::max(jobsRss, rss);
    sync();
    bareBest = std::min(bareBest, bareInstall(big, (work / "b").string()));
  }
  const double mbs = double(fs::file_size(big)) / 1e6;
  std::printf("package: %.1f MB on disk, %zu MB unpacked\n", mbs, mb);
  std::printf("zorv install -j1:        %6.2f s\n", zorvBest);
  std::printf("bare uncompress + write: %6.2f s\n", bareBest);
  std::printf("ratio bare/zorv:         %6.3f (target >= 0.95)\n", bareBest / zorvBest);
  std::printf("zorv install -j%s:        %6.2f s, %.2fx -j1\n", jobs.c_str(), jobsBest,
              zorvBest / jobsBest);
  std::printf(
      "peak resident: %ld kB, idle (tiny package) %ld kB, difference %ld kB (target < 4096)\n",
      bigRss, idleRss, bigRss - idleRss);
  std::printf("peak resident with -j%s: %ld kB\n", jobs.c_str(), jobsRss);
  fs::remove_all(work);
  return 0;
}
