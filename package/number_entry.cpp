#include "package/number_entry.h"

#include "package/byte_cursor.h"

namespace zorv {

std::optional<std::uint32_t> parseNumberRecord(std::span<const std::uint8_t> body) {
  ByteCursor c(body);
  const std::uint32_t number = c.u32();
  if (!c.ok() || c.remaining() != 0) return std::nullopt;
  return number;
}

NumberEntry readNumberEntry(Package& package, std::int32_t i) {
  const std::string entry = "its \"" + tagText(package.entry(i).tag) + "\" entry";
  if (package.entry(i).isInline()) return {std::nullopt, entry + " has no body"};
  const auto body = package.acquireEntry(i);
  if (!body) return {std::nullopt, entry + " cannot be read: " + package.lastError()};
  const std::optional<std::uint32_t> number = parseNumberRecord(*body);
  const std::size_t size = body->size();
  package.releaseEntry(i);
  if (!number)
    return {std::nullopt, entry + " is " + std::to_string(size) + " bytes, not " +
                              std::to_string(kNumberRecordSize)};
  return {number, ""};
}

}  // namespace zorv
