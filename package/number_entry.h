// Entries of our own builder whose body is one number: "CPag" (code_page.h) and "Rels"
// (kTagRelease).
//
// NumberRecord, the entry's body:
//   0  LE32  the number; nothing follows
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "package/package.h"

namespace zorv {

inline constexpr std::size_t kNumberRecordSize = 4;

// The number of a NumberRecord; none when the body is not exactly one LE32.
std::optional<std::uint32_t> parseNumberRecord(std::span<const std::uint8_t> body);

// The number in entry i's body, or none with a reason that names the entry's tag ("its "Rels"
// entry is 3 bytes, not 4"). An inline entry would hand out its own 44 bytes, never a
// NumberRecord, so it has none.
struct NumberEntry {
  std::optional<std::uint32_t> number;
  std::string why;  // empty when number is set
};
NumberEntry readNumberEntry(Package& package, std::int32_t i);

}  // namespace zorv
