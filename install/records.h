// The record bodies that the install run reads: files and directories, links, the registry key
// and its values, and the single-text records. Every parser reads through a bounds-checked
// cursor and yields none for a malformed body: a length byte or a count past the end, a text
// whose NUL does not lie inside its field (for "Copy", exactly after its n characters), or a
// list whose items do not fit in the body. Bytes after the last field are ignored. Texts point
// into the body, so a record is valid only while its body is held.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "package/format.h"

namespace zorv {

// A 16-byte list item: a tag and the PackedRange it names.
struct RangeItem {
  std::uint32_t tag = 0;
  PackedRange range;
};

// A list of RangeItems, already known to lie inside its body.
struct RangeList {
  std::span<const std::uint8_t> bytes;
  std::uint32_t size() const { return std::uint32_t(bytes.size() / kTaggedRangeSize); }
  RangeItem operator[](std::uint32_t i) const;
};

// "Copy": a file and its data blocks.
struct CopyRecord {
  std::string_view name;
  std::uint32_t fileSize = 0;  // never consulted: the blocks say how much is written
  RangeList blocks;
};

// "CopD": a directory and its members ("Copy" and "CopD" items; others are skipped).
struct DirectoryRecord {
  std::string_view name;
  RangeList members;
};

// "Grup" and "Desk".
struct LinkRecord {
  std::string_view link;    // may name sub-folders of the program group
  std::string_view target;  // relative to the destination directory
};

// "root": the registry key of the values that follow it.
struct RootRecord {
  std::string_view root;  // "HLM", "HCR", "HCC", "HCU" or "HU", any case
  std::string_view keyPath;
};

// "valr": one value of the key named by the "root" record before it.
struct ValueRecord {
  std::string_view name;
  std::string_view type;
  std::string_view data;  // may begin with a marker
};

// "UnIn": the uninstaller that the package carries, and what the system's list of installed
// programs shows of the application.
struct UninstallerRecord {
  std::string_view program;    // relative to the destination, e.g. "uninstall.exe"
  std::string_view version;    // may be empty
  std::string_view publisher;  // may be empty
  std::string_view icon;       // relative to the destination; empty: the program's own
};

std::optional<CopyRecord> parseCopyRecord(std::span<const std::uint8_t> body);
std::optional<DirectoryRecord> parseDirectoryRecord(std::span<const std::uint8_t> body);
std::optional<LinkRecord> parseLinkRecord(std::span<const std::uint8_t> body);
std::optional<RootRecord> parseRootRecord(std::span<const std::uint8_t> body);
std::optional<ValueRecord> parseValueRecord(std::span<const std::uint8_t> body);
std::optional<UninstallerRecord> parseUninstallerRecord(std::span<const std::uint8_t> body);
// "DelD", "DelF", "RunS": the text.
std::optional<std::string_view> parseNameRecord(std::span<const std::uint8_t> body);

// Facts for `zorv verify`, which warns of what the setup passes over in a record it reads; the
// setup calls none of them, so its link drops them.
//
// The slack of a record parsed from a body of `bodySize` bytes: the bytes its parser did not
// use, after a text's NUL inside its field and after the last field. The builder leaves none.
std::size_t recordSlack(const CopyRecord& r, std::size_t bodySize);
std::size_t recordSlack(const DirectoryRecord& r, std::size_t bodySize);
std::size_t recordSlack(const LinkRecord& r, std::size_t bodySize);
std::size_t recordSlack(const RootRecord& r, std::size_t bodySize);
std::size_t recordSlack(const ValueRecord& r, std::size_t bodySize);
std::size_t recordSlack(const UninstallerRecord& r, std::size_t bodySize);
// For the `text` that parseNameRecord read.
std::size_t nameRecordSlack(std::string_view text, std::size_t bodySize);
// The length byte of a name record, which counts the NUL (modulo 256 as the builder writes it)
// and which nothing reads; 0 for an empty body.
std::uint8_t nameRecordLength(std::span<const std::uint8_t> body);
// The signed count stored before the items of `list`, which a parser returned; one below 0 is
// read as none.
std::int32_t statedCount(const RangeList& list);

}  // namespace zorv
