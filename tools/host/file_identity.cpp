#include "tools/host/file_identity.h"

#include <fstream>
#include <iterator>

namespace zorv {

std::optional<std::vector<std::uint8_t>> readInputFile(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  // The stream reports a failed read by throwing; nothing may leave the builder.
  try {
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
    return bytes;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace zorv
