#include "tools/pe/pe_image.h"
#include "tools/pe/pe_resources.h"

namespace zorv {

bool hasSignature(std::span<const std::uint8_t> image) {
  const auto parsed = pe::parseImage(image);
  if (!parsed) return false;
  // The certificate table is addressed by file offset and lies after the headers.
  const pe::DataDirectory table = parsed->directory(pe::kDirectorySecurity);
  return table.size > 0 && table.rva >= parsed->sizeOfHeaders &&
         std::uint64_t(table.rva) + table.size <= image.size();
}

}  // namespace zorv
