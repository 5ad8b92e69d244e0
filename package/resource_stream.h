// A bounded read cursor over the package's bytes with a sticky failure flag.
//
// A read whose start lies beyond the end fails alone; a positioned read that starts inside the
// package and runs past its end fails and leaves the stream failed for good. Stored packages
// and the consumers rely on exactly this difference.
#pragma once

#include <cstdint>
#include <span>

namespace zorv {

class ResourceStream {
 public:
  // A stream over a block of bytes that outlives it. A null block makes a failed stream, which
  // is what a missing resource gives.
  explicit ResourceStream(std::span<const std::uint8_t> bytes);
  static ResourceStream missing() { return ResourceStream(); }

  std::uint32_t read(std::uint8_t* dst, std::uint32_t n);
  std::uint32_t seek(std::uint32_t p);
  std::uint32_t readAt(std::uint8_t* dst, std::uint32_t n, std::uint32_t p);
  void close() { failed_ = true; }

  bool failed() const { return failed_; }
  std::uint32_t size() const { return size_; }
  std::uint32_t position() const { return position_; }

 private:
  ResourceStream() : failed_(true) {}

  const std::uint8_t* data_ = nullptr;
  std::uint32_t position_ = 0;
  std::uint32_t size_ = 0;
  bool failed_ = false;
};

// The stream over resource "#101" of `type` in a Win32 module (Win32 build only).
ResourceStream createResourceStream(void* module, const char* type);

}  // namespace zorv
