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

}  // namespace zorv::pe
