// The walk over the members of a "CopD" record, as the install run makes it, shared with the
// tools that extract or list what the run would write: depth first, in the record's order,
// "Copy" and "CopD" members only, within the limits of package_limits.h.
//
// A visitor has two members:
//   bool folder(const DirectoryRecord& dir, int depth);  // each record read, before its members
//   bool file(const CopyRecord& file);                   // each file, while its record is held
// and either stops the walk by returning false. Templates, so that the setup carries no
// std::function.
#pragma once

#include <cstdint>
#include <optional>

#include "install/package_limits.h"
#include "install/records.h"
#include "package/package.h"

namespace zorv {

template <typename Visitor>
bool walkDirectory(Package& package, const RangeItem& member, int depth, std::uint32_t& left,
                   Visitor& visitor);

// The members of `dir`, read already, `depth` levels below the destination. `left` is what the
// walk of the top-level "CopD" entry has left of its budget (kMaxRecordsVisited at its start):
// shared ranges can multiply the work without end, so past it the walk fails as an unreadable
// record does. Any member that cannot be read fails the walk.
template <typename Visitor>
bool walkMembers(Package& package, const DirectoryRecord& dir, int depth, std::uint32_t& left,
                 Visitor& visitor) {
  for (std::uint32_t m = 0; m < dir.members.size(); ++m) {
    const RangeItem member = dir.members[m];
    if (member.tag != kTagCopyDir && member.tag != kTagCopy) continue;
    if (left == 0) return false;
    --left;
    if (member.tag == kTagCopyDir) {
      if (!walkDirectory(package, member, depth + 1, left, visitor)) return false;
    } else {
      const std::optional<Buffer> body = package.readRange(member.range);
      if (!body) return false;
      const std::optional<CopyRecord> file = parseCopyRecord(body->bytes());
      if (!file || !visitor.file(*file)) return false;
    }
  }
  return true;
}

// Reads the DirectoryRecord of `member` at `depth` (a top-level "CopD" entry is level 1) and
// walks it. False also for a record nested deeper than kMaxDirectoryDepth.
template <typename Visitor>
bool walkDirectory(Package& package, const RangeItem& member, int depth, std::uint32_t& left,
                   Visitor& visitor) {
  if (depth > kMaxDirectoryDepth) return false;
  const std::optional<Buffer> body = package.readRange(member.range);
  if (!body) return false;
  const std::optional<DirectoryRecord> dir = parseDirectoryRecord(body->bytes());
  if (!dir || !visitor.folder(*dir, depth)) return false;
  return walkMembers(package, *dir, depth, left, visitor);
}

}  // namespace zorv
