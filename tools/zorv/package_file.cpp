#include "tools/zorv/package_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "tools/pe/pe_resources.h"

namespace zorv {

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::string* why) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (why) *why = path + ": " + std::strerror(errno);
    return false;
  }
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    if (why) *why = path + ": read error";
    return false;
  }
  return true;
}

MappedFile& MappedFile::operator=(MappedFile&& o) noexcept {
  std::swap(data_, o.data_);
  std::swap(size_, o.size_);
  std::swap(mapped_, o.mapped_);
  return *this;
}

MappedFile::~MappedFile() {
  if (mapped_) munmap(const_cast<std::uint8_t*>(data_), size_);
}

bool MappedFile::open(const std::string& path, std::string* why) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0) {
    if (why) *why = path + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    if (why) *why = path + ": not a regular file";
    return false;
  }
  size_ = std::size_t(st.st_size);
  static const std::uint8_t kEmpty = 0;
  data_ = &kEmpty;
  if (size_ > 0) {
    void* p = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) {
      if (why) *why = path + ": " + std::strerror(errno);
      ::close(fd);
      return false;
    }
    data_ = static_cast<const std::uint8_t*>(p);
    mapped_ = true;
  }
  ::close(fd);
  return true;
}

void MappedFile::dropPages() const {
  if (mapped_) madvise(const_cast<std::uint8_t*>(data_), size_, MADV_DONTNEED);
}

std::optional<LoadedPackage> loadPackageFile(const std::string& path, std::string* why) {
  LoadedPackage lp;
  if (!lp.file.open(path, why)) return std::nullopt;
  std::span<const std::uint8_t> bytes = lp.file.bytes();
  if (looksLikePe(bytes)) {
    std::string reason;
    auto res = findPeResource(bytes, "SETUP", 101, &reason);
    if (!res) {
      if (why) *why = path + ": no SETUP resource 101 (" + reason + ")";
      return std::nullopt;
    }
    bytes = *res;
  }
  std::string reason;
  lp.package = openPackage(bytes, &reason);
  if (!lp.package) {
    if (why) *why = path + ": not a package: " + reason;
    return std::nullopt;
  }
  return lp;
}

int fail(std::string_view message) {
  std::cerr << "zorv: " << message << '\n';
  return 1;
}

}  // namespace zorv
