#include "package/unpack.h"

#include <zlib.h>

namespace zorv {

// zlib's uncompress gives Z_OK only for one complete stream with a valid Adler-32 that fit the
// buffer; a stream that ends early (fewer bytes than expected) is refused here.
bool unpack(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst) {
  if (src.size() > 0xFFFFFFFFu || dst.size() > 0xFFFFFFFFu) return false;
  uLongf produced = static_cast<uLongf>(dst.size());
  // zlib wants a non-null output pointer even for an empty body.
  Bytef dummy = 0;
  Bytef* out = dst.empty() ? &dummy : dst.data();
  int rc = uncompress(out, &produced, src.data(), static_cast<uLong>(src.size()));
  return rc == Z_OK && produced == dst.size();
}

}  // namespace zorv
