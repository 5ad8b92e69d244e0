// A file mapped read-only, one implementation per system (mapped_file_posix.cpp,
// mapped_file_win32.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <utility>

namespace zorv {

// A file mapped read-only. The package reads straight from the mapping; dropPages() hands
// the pages read so far back to the kernel, so that a run over a large package keeps its
// resident memory flat (they are read again from the file if needed).
class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(MappedFile&& o) noexcept { *this = std::move(o); }
  // A swap: the mapping `o` held is unmapped when `o` goes.
  MappedFile& operator=(MappedFile&& o) noexcept {
    std::swap(data_, o.data_);
    std::swap(size_, o.size_);
    std::swap(mapped_, o.mapped_);
    return *this;
  }
  ~MappedFile();
  // Maps a regular file; the reason, naming the path, when it cannot.
  std::expected<void, std::string> open(const std::string& path);
  std::span<const std::uint8_t> bytes() const { return {data_, size_}; }
  void dropPages() const;

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  bool mapped_ = false;
};

}  // namespace zorv
