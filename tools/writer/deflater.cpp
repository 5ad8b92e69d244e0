#include "tools/writer/deflater.h"

#include <libdeflate.h>

namespace zorv {

Deflater::Deflater() = default;
Deflater::~Deflater() = default;

void Deflater::Free::operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }

std::expected<std::vector<std::uint8_t>, std::string> Deflater::zlibStream(
    std::span<const std::uint8_t> data, int level) {
  const auto refused = [&](std::string_view why) {
    return std::unexpected("cannot compress " + std::to_string(data.size()) + " bytes at level " +
                           std::to_string(level) + ": " + std::string(why));
  };
  if (level < 0 || level > kBestLevel) return refused("levels are 0 to 12");
  auto& c = compressors_[std::size_t(level)];
  if (!c) c.reset(libdeflate_alloc_compressor(level));
  if (!c) return refused("out of memory");
  std::vector<std::uint8_t> out(libdeflate_zlib_compress_bound(c.get(), data.size()));
  const std::uint8_t none = 0;
  const std::size_t size = libdeflate_zlib_compress(c.get(), data.empty() ? &none : data.data(),
                                                    data.size(), out.data(), out.size());
  // 0 means the output did not fit, which the bound rules out.
  if (size == 0) return refused("libdeflate's output passed its own bound");
  out.resize(size);
  return out;
}

}  // namespace zorv
