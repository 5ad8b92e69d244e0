#include "package/code_page.h"

#include "package/byte_cursor.h"

namespace zorv {

std::optional<std::uint32_t> parseCodePageRecord(std::span<const std::uint8_t> body) {
  ByteCursor c(body);
  const std::uint32_t codePage = c.u32();
  if (!c.ok() || c.remaining() != 0) return std::nullopt;
  return codePage;
}

std::optional<std::uint32_t> packageCodePage(Package& package, std::string* why) {
  const std::int32_t i = package.findByTag(kTagCodePage, 0, -1);
  if (i < 0) return kDefaultPackageCodePage;
  // An inline entry would hand out its own 44 bytes: never a CodePageRecord.
  if (package.entry(i).isInline()) {
    if (why) *why = "its \"CPag\" entry has no body";
    return std::nullopt;
  }
  const auto body = package.acquireEntry(i);
  if (!body) {
    if (why) *why = "its \"CPag\" entry cannot be read: " + package.lastError();
    return std::nullopt;
  }
  const std::optional<std::uint32_t> codePage = parseCodePageRecord(*body);
  const std::size_t size = body->size();
  package.releaseEntry(i);
  if (!codePage && why)
    *why = "its \"CPag\" entry is " + std::to_string(size) + " bytes, not " +
           std::to_string(kCodePageRecordSize);
  return codePage;
}

}  // namespace zorv
