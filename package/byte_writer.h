// Little-endian writes, the mirror of ByteCursor: the tools' writers of formats (package
// records, PE resources, bitmaps, shell links) append through it. Header-only and inline, so
// that the setup, which only patches a field now and then (storeLE32), carries none of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace zorv {

// Little-endian field stores into bytes already known to be in bounds (a header being filled).
inline void storeLE16(std::uint8_t* p, std::uint16_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
}
inline void storeLE32(std::uint8_t* p, std::uint32_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
  p[2] = std::uint8_t(v >> 16);
  p[3] = std::uint8_t(v >> 24);
}

// Appends to a byte vector that the caller owns. A patch writes over bytes appended before;
// `at` plus the field's size must not pass size().
class ByteWriter {
 public:
  explicit ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  std::size_t size() const { return out_.size(); }
  void u8(std::uint8_t v) { out_.push_back(v); }
  void u16(std::uint16_t v) {
    u8(std::uint8_t(v));
    u8(std::uint8_t(v >> 8));
  }
  void u32(std::uint32_t v) {
    u16(std::uint16_t(v));
    u16(std::uint16_t(v >> 16));
  }
  void u64(std::uint64_t v) {
    u32(std::uint32_t(v));
    u32(std::uint32_t(v >> 32));
  }
  void bytes(std::span<const std::uint8_t> b) { out_.insert(out_.end(), b.begin(), b.end()); }
  // The bytes of a text as they stand, without a terminator.
  void text(std::string_view s) { out_.insert(out_.end(), s.begin(), s.end()); }
  // UTF-16LE units, without a terminator.
  void utf16(std::u16string_view s) {
    for (char16_t c : s) u16(c);
  }
  // Zeros up to the next multiple of `alignment` (a power of two) of the size.
  void padTo(std::size_t alignment) {
    out_.resize((out_.size() + alignment - 1) & ~(alignment - 1), 0);
  }
  void patch16(std::size_t at, std::uint16_t v) { storeLE16(&out_[at], v); }
  void patch32(std::size_t at, std::uint32_t v) { storeLE32(&out_[at], v); }

 private:
  std::vector<std::uint8_t>& out_;
};

}  // namespace zorv
