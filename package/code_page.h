// The "CPag" entry of our own builder: the code page that a package's texts are written in,
// for the tools that turn those texts into names of a system that uses UTF-8. The setup never
// reads it.
//
// CodePageRecord, the entry's body: a NumberRecord (number_entry.h), the code page's number
// (1252 Western European, 1251 Cyrillic).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "package/number_entry.h"
#include "package/package.h"

namespace zorv {

// What a package without the entry is read as.
inline constexpr std::uint32_t kDefaultPackageCodePage = 1252;
inline constexpr std::size_t kCodePageRecordSize = kNumberRecordSize;

// The number of a CodePageRecord; none when the body is not exactly one LE32.
std::optional<std::uint32_t> parseCodePageRecord(std::span<const std::uint8_t> body);

// The number that the package's first "CPag" entry names, or kDefaultPackageCodePage when it
// has none. None, with the reason, when that entry cannot be read or is no CodePageRecord.
// Whether the number is a code page the caller knows is the caller's to judge.
std::optional<std::uint32_t> packageCodePage(Package& package, std::string* why);

}  // namespace zorv
