// SHA-256 (FIPS 180-4), for the InstallerSha256 of a winget manifest: package managers check a
// download against it. Portable C++, so that zorv.exe needs no library for it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace zorv {

using Sha256Digest = std::array<std::uint8_t, 32>;

// The hash of bytes given in any number of pieces; the digest depends only on their
// concatenation. finish() ends it: call it once, after the last update().
class Sha256 {
 public:
  Sha256();
  void update(std::span<const std::uint8_t> bytes);
  Sha256Digest finish();

 private:
  void compress(const std::uint8_t* block);  // one 64-byte block into state_
  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> block_{};
  std::size_t used_ = 0;     // bytes of block_ filled
  std::uint64_t total_ = 0;  // bytes hashed so far
};

Sha256Digest sha256(std::span<const std::uint8_t> bytes);

// The digest as 64 upper-case hexadecimal digits, as winget manifests write it.
std::string upperHex(std::span<const std::uint8_t> bytes);

}  // namespace zorv
