#include <libdeflate.h>

#include <memory>

#include "package/unpack.h"

namespace zorv {

namespace {

struct FreeDecompressor {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

}  // namespace

// libdeflate's zlib decompressor checks the header, the deflate data and the Adler-32; given the
// exact size (no "actual size" out-parameter) it fails unless the stream's data is exactly
// dst.size() bytes. Like zlib's uncompress it stops at the stream's end and leaves whatever
// follows unread. A decompressor is a few kilobytes of tables that each call rebuilds, so one
// is made per call: that is safe on any thread, and costs nothing beside a block's inflation.
bool unpack(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst) {
  if (src.size() > 0xFFFFFFFFu || dst.size() > 0xFFFFFFFFu) return false;
  const std::unique_ptr<libdeflate_decompressor, FreeDecompressor> d(
      libdeflate_alloc_decompressor());
  if (!d) return false;
  std::uint8_t dummy = 0;
  return libdeflate_zlib_decompress(d.get(), src.empty() ? &dummy : src.data(), src.size(),
                                    dst.empty() ? &dummy : dst.data(), dst.size(),
                                    nullptr) == LIBDEFLATE_SUCCESS;
}

}  // namespace zorv
