#include "package/code_page.h"

namespace zorv {

std::optional<std::uint32_t> parseCodePageRecord(std::span<const std::uint8_t> body) {
  return parseNumberRecord(body);
}

std::optional<std::uint32_t> packageCodePage(Package& package, std::string* why) {
  const std::int32_t i = package.findByTag(kTagCodePage, 0, -1);
  if (i < 0) return kDefaultPackageCodePage;
  NumberEntry entry = readNumberEntry(package, i);
  if (!entry.number && why) *why = std::move(entry.why);
  return entry.number;
}

}  // namespace zorv
