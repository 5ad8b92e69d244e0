// The image checksum of the optional header (the algorithm of imagehlp's CheckSumMappedFile).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zorv::pe {

// Sums the file as little-endian 16-bit words, folding each carry back in, with the four
// bytes at `checksumOffset` taken as zero and an odd last byte as a word of its own; the
// folded sum plus the file length is the checksum.
std::uint32_t imageChecksum(std::span<const std::uint8_t> file, std::size_t checksumOffset);

// The same sum over a file read piece by piece, in order, with its checksum field already
// zero; pieces may have any length.
class ChecksumSum {
 public:
  void add(std::span<const std::uint8_t> bytes);
  std::uint32_t finish() const;

 private:
  std::uint32_t sum_ = 0;
  std::uint64_t length_ = 0;
  int pending_ = -1;  // the first byte of a word that the last piece split
};

}  // namespace zorv::pe
