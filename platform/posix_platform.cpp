// Options, paths, the process, time and files of the POSIX platform.
#include "platform/posix_platform.h"
#include "platform/posix_internal.h"
#include "platform/codepage.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zorv {

using posix::BelowRoot;
using posix::walkBelow;

namespace {

bool readAll(int fd, void* buffer, std::size_t size, std::size_t* got) {
  *got = 0;
  while (*got < size) {
    ssize_t n = read(fd, static_cast<char*>(buffer) + *got, size - *got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n == 0;
    *got += std::size_t(n);
  }
  return true;
}

bool isLink(int dir, const std::string& name) {
  struct stat st;
  return fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

namespace posix {

std::string homeDirectory() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return ".";
}

BelowRoot::~BelowRoot() {
  if (dir >= 0) close(dir);
}

void walkBelow(const std::string& root, const std::string& path, BelowRoot& out,
               std::string* link) {
  link->clear();
  if (root.empty()) return;
  std::string_view rest = path;
  if (root != "/") {
    if (!rest.starts_with(root) || rest.size() == root.size() || rest[root.size()] != '/') return;
    rest.remove_prefix(root.size());
  } else if (!rest.starts_with('/')) {
    return;
  }
  std::vector<std::string> parts;
  while (!rest.empty()) {
    const std::size_t cut = std::min(rest.find('/'), rest.size());
    if (cut > 0 && rest.substr(0, cut) != ".") parts.emplace_back(rest.substr(0, cut));
    rest.remove_prefix(std::min(cut + 1, rest.size()));
  }
  if (parts.empty()) return;  // the root itself
  out.below = true;
  for (const std::string& part : parts)
    if (part == "..") return;
  int dir = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) out.error = errno;
  std::string walked = root == "/" ? "" : root;
  for (std::size_t i = 0; dir >= 0 && i + 1 < parts.size(); ++i) {
    int next = openat(dir, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    walked += "/" + parts[i];
    if (next < 0) {
      out.error = errno;
      if (isLink(dir, parts[i])) *link = walked;
    }
    close(dir);
    dir = next;
  }
  out.dir = dir;
  out.leaf = parts.back();
}

}  // namespace posix

PosixPlatformOptions posixPlatformOptionsFor(std::string_view home, std::string_view dataHome) {
  std::string base = dataHome.empty() ? std::string(home) + "/.local/share" : std::string(dataHome);
  std::string root = base + "/zorv";
  return {root + "/registry.reg", root + "/Start Menu/Programs", root + "/Desktop",
          root + "/Application Data"};
}

PosixPlatformOptions defaultPosixPlatformOptions() {
  // A relative XDG_DATA_HOME is to be ignored, as the base directory rules say.
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (!dataHome || dataHome[0] != '/') dataHome = "";
  return posixPlatformOptionsFor(posix::homeDirectory(), dataHome);
}

std::string posixPath(std::string_view path) {
  std::string out(path);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

bool createDirectories(std::string_view dir) {
  std::string path(dir);
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    std::string prefix = path.substr(0, i);
    if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

PosixPlatform::PosixPlatform(PosixPlatformOptions options) : options_(std::move(options)) {
  loadRegistry();
}

std::string PosixPlatform::hostText(std::string_view text) const {
  return options_.codePage ? systemUtf8(text, options_.codePage) : std::string(text);
}

std::optional<std::string> PosixPlatform::engineText(std::string_view text) const {
  return options_.codePage ? systemAnsi(text, options_.codePage) : std::string(text);
}

std::optional<std::string> PosixPlatform::currentDirectory() {
  std::string buffer(256, '\0');
  for (;;) {
    if (getcwd(buffer.data(), buffer.size())) return engineText(buffer.c_str());
    if (errno != ERANGE) return std::nullopt;
    buffer.resize(buffer.size() * 2);
  }
}

bool PosixPlatform::setCurrentDirectory(std::string_view dir) {
  return chdir(hostPath(dir).c_str()) == 0;
}

// The program runs as a grandchild: the child that forks it exits at once and is reaped here,
// so no zombie is left whether or not anyone waits for the program. A pipe closed on exec tells
// whether the exec worked: end of file means it did, an errno that it did not.
bool PosixPlatform::startProcess(std::string_view application, std::string_view) {
  std::string program = hostPath(application);
  if (program.empty()) return false;
  char* argv[] = {program.data(), nullptr};
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;

  pid_t child = fork();
  if (child < 0) {
    close(report[0]);
    close(report[1]);
    return false;
  }
  if (child == 0) {
    // Only async-signal-safe calls from here on.
    close(report[0]);
    pid_t grandchild = fork();
    if (grandchild == 0) execv(program.c_str(), argv);
    if (grandchild <= 0) {
      int error = errno;
      (void)!write(report[1], &error, sizeof error);
    }
    _exit(0);
  }

  close(report[1]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  std::size_t got = 0;
  bool ok = readAll(report[0], &error, sizeof error, &got);
  close(report[0]);
  return ok && got == 0;
}

SystemTime PosixPlatform::utcNow() {
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  return {unsigned(utc.tm_year + 1900), unsigned(utc.tm_mon + 1), unsigned(utc.tm_mday),
          unsigned(utc.tm_hour),        unsigned(utc.tm_min),     unsigned(utc.tm_sec)};
}

void PosixPlatform::confineBelow(std::string_view root) {
  confiningRoot_ = posixPath(root);
  while (confiningRoot_.size() > 1 && confiningRoot_.back() == '/') confiningRoot_.pop_back();
}

bool PosixPlatform::pathExists(std::string_view path) {
  const std::string p = hostPath(path);
  struct stat st;
  BelowRoot b;
  walkBelow(confiningRoot_, p, b, &refusedLink_);
  if (!b.below) return lstat(p.c_str(), &st) == 0;
  return b.dir >= 0 && fstatat(b.dir, b.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// Opened as openOutputFile opens, but for reading: no link below the confining root.
std::optional<std::string> PosixPlatform::readFileStart(std::string_view path, std::size_t limit) {
  constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
  const std::string p = hostPath(path);
  BelowRoot b;
  walkBelow(confiningRoot_, p, b, &refusedLink_);
  int fd = -1;
  if (!b.below)
    fd = open(p.c_str(), kFlags);
  else if (b.dir >= 0)
    fd = openat(b.dir, b.leaf.c_str(), kFlags | O_NOFOLLOW);
  if (fd < 0) return std::nullopt;
  struct stat st;
  std::optional<std::string> out;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    std::string bytes(limit, '\0');
    ssize_t n;
    do n = read(fd, bytes.data(), limit);
    while (n < 0 && errno == EINTR);
    if (n >= 0) {
      bytes.resize(std::size_t(n));
      out = std::move(bytes);
    }
  }
  close(fd);
  return out;
}

bool PosixPlatform::isFolder(std::string_view path) {
  const std::string p = hostPath(path);
  struct stat st;
  BelowRoot b;
  walkBelow(confiningRoot_, p, b, &refusedLink_);
  if (!b.below) return lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  return b.dir >= 0 && fstatat(b.dir, b.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISDIR(st.st_mode);
}

bool PosixPlatform::createDirectory(std::string_view path) {
  const std::string p = hostPath(path);
  BelowRoot b;
  walkBelow(confiningRoot_, p, b, &refusedLink_);
  if (!b.below) return mkdir(p.c_str(), 0777) == 0;
  return b.dir >= 0 && mkdirat(b.dir, b.leaf.c_str(), 0777) == 0;
}

// unlink removes a link itself, never its target.
void PosixPlatform::deleteFile(std::string_view path) {
  const std::string p = hostPath(path);
  BelowRoot b;
  walkBelow(confiningRoot_, p, b, &refusedLink_);
  if (!b.below)
    (void)unlink(p.c_str());
  else if (b.dir >= 0)
    (void)unlinkat(b.dir, b.leaf.c_str(), 0);
}

FileHandle PosixPlatform::openBelow(std::string_view path, int flags) {
  const std::string p = hostPath(path);
  BelowRoot b;
  walkBelow(confiningRoot_, p, b, &refusedLink_);
  int fd = -1;
  if (!b.below) {
    fd = open(p.c_str(), flags, 0666);
  } else if (b.dir >= 0) {
    fd = openat(b.dir, b.leaf.c_str(), flags | O_NOFOLLOW, 0666);
    if (fd < 0 && isLink(b.dir, b.leaf)) refusedLink_ = p;
  }
  return fd < 0 ? kNoFile : fd;
}

FileHandle PosixPlatform::openOutputFile(std::string_view path) {
  return openBelow(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC);
}

FileHandle PosixPlatform::openAppendFile(std::string_view path) {
  return openBelow(path, O_WRONLY | O_APPEND | O_CLOEXEC);
}

// rename replaces a link at `to` itself, never its target.
bool PosixPlatform::replaceFile(std::string_view from, std::string_view to) {
  const std::string f = hostPath(from), t = hostPath(to);
  BelowRoot bf, bt;
  walkBelow(confiningRoot_, f, bf, &refusedLink_);
  walkBelow(confiningRoot_, t, bt, &refusedLink_);
  if (!bf.below && !bt.below) return rename(f.c_str(), t.c_str()) == 0;
  return bf.below && bt.below && bf.dir >= 0 && bt.dir >= 0 &&
         renameat(bf.dir, bf.leaf.c_str(), bt.dir, bt.leaf.c_str()) == 0;
}

bool PosixPlatform::writeFile(FileHandle file, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(file, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes = bytes.subspan(std::size_t(n));
  }
  return true;
}

void PosixPlatform::closeFile(FileHandle file) {
  if (file != kNoFile) close(file);
}

std::optional<std::uint64_t> PosixPlatform::freeBytes(std::string_view path) {
  struct statvfs vfs;
  if (statvfs(hostPath(path).c_str(), &vfs) != 0) return std::nullopt;
  return std::uint64_t(vfs.f_bavail) * std::uint64_t(vfs.f_frsize);
}

}  // namespace zorv
