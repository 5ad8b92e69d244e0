#include "tools/pe/pe_checksum.h"

namespace zorv::pe {

std::uint32_t imageChecksum(std::span<const std::uint8_t> file, std::size_t checksumOffset) {
  auto byteAt = [&](std::size_t i) -> std::uint32_t {
    return i >= checksumOffset && i - checksumOffset < 4 ? 0 : file[i];
  };
  std::uint32_t sum = 0;
  const std::size_t n = file.size();
  std::size_t i = 0;
  for (; i + 1 < n; i += 2) {
    sum += byteAt(i) | byteAt(i + 1) << 8;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  if (i < n) {
    sum += byteAt(i);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return sum + static_cast<std::uint32_t>(n);
}

void ChecksumSum::add(std::span<const std::uint8_t> bytes) {
  length_ += bytes.size();
  std::size_t i = 0;
  if (pending_ >= 0 && !bytes.empty()) {
    sum_ += std::uint32_t(pending_) | std::uint32_t(bytes[0]) << 8;
    sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
    pending_ = -1;
    i = 1;
  }
  for (; i + 1 < bytes.size(); i += 2) {
    sum_ += std::uint32_t(bytes[i]) | std::uint32_t(bytes[i + 1]) << 8;
    sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
  }
  if (i < bytes.size()) pending_ = bytes[i];
}

std::uint32_t ChecksumSum::finish() const {
  std::uint32_t sum = sum_;
  if (pending_ >= 0) {
    sum += std::uint32_t(pending_);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return sum + static_cast<std::uint32_t>(length_);
}

}  // namespace zorv::pe
