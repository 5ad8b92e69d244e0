#include "tools/winget/sha256.h"

#include <algorithm>

namespace zorv {

namespace {

// The first 32 bits of the fractional parts of the cube roots of the first 64 primes.
constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr std::uint32_t rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

}  // namespace

// The first 32 bits of the fractional parts of the square roots of the first 8 primes.
Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
             0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::compress(const std::uint8_t* block) {
  std::uint32_t w[64];
  for (int t = 0; t < 16; ++t)  // the block's words are big-endian
    w[t] = std::uint32_t(block[4 * t]) << 24 | std::uint32_t(block[4 * t + 1]) << 16 |
           std::uint32_t(block[4 * t + 2]) << 8 | std::uint32_t(block[4 * t + 3]);
  for (int t = 16; t < 64; ++t) {
    const std::uint32_t s0 = rotr(w[t - 15], 7) ^ rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
    const std::uint32_t s1 = rotr(w[t - 2], 17) ^ rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
    w[t] = w[t - 16] + s0 + w[t - 7] + s1;
  }
  std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  std::uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
  for (int t = 0; t < 64; ++t) {
    const std::uint32_t t1 =
        h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[t] + w[t];
    const std::uint32_t t2 =
        (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  const std::uint32_t out[8] = {a, b, c, d, e, f, g, h};
  for (int i = 0; i < 8; ++i) state_[std::size_t(i)] += out[i];
}

void Sha256::update(std::span<const std::uint8_t> bytes) {
  total_ += bytes.size();
  while (!bytes.empty()) {
    // Whole blocks go straight from the input once nothing is waiting in block_.
    if (used_ == 0 && bytes.size() >= block_.size()) {
      compress(bytes.data());
      bytes = bytes.subspan(block_.size());
      continue;
    }
    const std::size_t n = std::min(block_.size() - used_, bytes.size());
    std::copy_n(bytes.begin(), n, block_.begin() + std::ptrdiff_t(used_));
    used_ += n;
    bytes = bytes.subspan(n);
    if (used_ == block_.size()) {
      compress(block_.data());
      used_ = 0;
    }
  }
}

// The padding: a 1 bit, zeros up to 8 bytes short of a block's end, then the message's length
// in bits as a big-endian 64-bit number; a second block when those 9 bytes do not fit.
Sha256Digest Sha256::finish() {
  const std::uint64_t bits = total_ * 8;
  block_[used_++] = 0x80;
  if (used_ > block_.size() - 8) {
    std::fill(block_.begin() + std::ptrdiff_t(used_), block_.end(), std::uint8_t(0));
    compress(block_.data());
    used_ = 0;
  }
  std::fill(block_.begin() + std::ptrdiff_t(used_), block_.end() - 8, std::uint8_t(0));
  for (int i = 0; i < 8; ++i)
    block_[block_.size() - 1 - std::size_t(i)] = std::uint8_t(bits >> (8 * i));
  compress(block_.data());
  Sha256Digest digest;
  for (std::size_t i = 0; i < digest.size(); ++i)
    digest[i] = std::uint8_t(state_[i / 4] >> (24 - 8 * (i % 4)));
  return digest;
}

Sha256Digest sha256(std::span<const std::uint8_t> bytes) {
  Sha256 hash;
  hash.update(bytes);
  return hash.finish();
}

std::string upperHex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const std::uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

}  // namespace zorv
