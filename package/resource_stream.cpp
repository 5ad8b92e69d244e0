#include "package/resource_stream.h"

#include <cstring>

namespace zorv {

ResourceStream::ResourceStream(std::span<const std::uint8_t> bytes) {
  // A block of 4 GiB or more cannot be addressed by 32-bit positions; like a resource that
  // cannot be locked, it counts as missing.
  if (bytes.data() == nullptr || bytes.size() > 0xFFFFFFFFu) {
    failed_ = true;
    return;
  }
  data_ = bytes.data();
  size_ = static_cast<std::uint32_t>(bytes.size());
}

std::uint32_t ResourceStream::read(std::uint8_t* dst, std::uint32_t n) {
  if (failed_ || n > size_ - position_) return 0;
  if (n != 0) std::memcpy(dst, data_ + position_, n);
  position_ += n;
  return n;
}

std::uint32_t ResourceStream::seek(std::uint32_t p) {
  if (failed_ || p > size_) return 0;
  position_ = p;
  return p;
}

// A read of 0 bytes at position 0 "succeeds" with 0, which equals n: callers compare the
// result with n, never with 0.
std::uint32_t ResourceStream::readAt(std::uint8_t* dst, std::uint32_t n, std::uint32_t p) {
  if (failed_ || p > size_) return 0;  // starts beyond the end: fails alone
  seek(p);
  std::uint32_t got = read(dst, n);
  if (got < n) failed_ = true;  // starts inside, runs past the end: failed for good
  return got;
}

}  // namespace zorv
