// A bounds-checked reader over untrusted bytes. Every read compares against the bytes that
// remain, never pos + n against the size, so it cannot wrap. Failure is sticky: once a read
// runs short every later read yields zeros, and the caller checks ok() once at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace zorv {

class ByteCursor {
 public:
  explicit ByteCursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool ok() const { return ok_; }
  std::size_t position() const { return pos_; }
  std::size_t remaining() const { return bytes_.size() - pos_; }

  std::uint8_t u8() {
    if (!need(1)) return 0;
    return bytes_[pos_++];
  }
  std::uint16_t u16() {
    if (!need(2)) return 0;
    const auto v = std::uint16_t(bytes_[pos_] | bytes_[pos_ + 1] << 8);
    pos_ += 2;
    return v;
  }
  std::uint32_t u32() {
    if (!need(4)) return 0;
    std::uint32_t v = std::uint32_t(bytes_[pos_]) | std::uint32_t(bytes_[pos_ + 1]) << 8 |
                      std::uint32_t(bytes_[pos_ + 2]) << 16 | std::uint32_t(bytes_[pos_ + 3]) << 24;
    pos_ += 4;
    return v;
  }
  std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
  std::span<const std::uint8_t> bytes(std::size_t n) {
    if (!need(n)) return {};
    auto s = bytes_.subspan(pos_, n);
    pos_ += n;
    return s;
  }
  void skip(std::size_t n) { (void)bytes(n); }
  // A text field of n bytes: the text runs to its first NUL, which must lie inside the field.
  std::string_view textField(std::size_t n) {
    auto s = bytes(n);
    if (!ok_) return {};
    for (std::size_t i = 0; i < s.size(); ++i)
      if (s[i] == 0) return {reinterpret_cast<const char*>(s.data()), i};
    ok_ = false;
    return {};
  }
  void fail() { ok_ = false; }
  // A cursor over the bytes from `offset`, counted from the start of these bytes, to their end;
  // failed already when `offset` lies past the end or this cursor has failed. This one does not
  // move.
  ByteCursor at(std::size_t offset) const {
    const bool inside = ok_ && offset <= bytes_.size();
    ByteCursor c(inside ? bytes_.subspan(offset) : std::span<const std::uint8_t>());
    c.ok_ = inside;
    return c;
  }

 private:
  bool need(std::size_t n) {
    if (!ok_ || n > bytes_.size() - pos_) {
      ok_ = false;
      return false;
    }
    return true;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

// A little-endian field of bytes already known to be in bounds (a directory entry); the stores
// are in byte_writer.h.
inline std::uint32_t loadLE32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

}  // namespace zorv
