// The walk over the members of a "CopD" record, as the install run makes it, shared with the
// tools that extract or list what the run would write: depth first, in the record's order,
// "Copy" and "CopD" members only, within the limits of package_limits.h and of one PackageWalk
// for the whole package.
//
// A visitor has two members:
//   bool folder(const DirectoryRecord& dir, int depth);  // each record read, before its members
//   bool file(const CopyRecord& file);                   // each file, while its record is held
// and either stops the walk by returning false. Templates, so that the setup carries no
// std::function.
//
// A visitor that reports where and why a walk ends (`zorv verify`) may also have
//   void member(const RangeItem& item, std::uint32_t index, int depth);
//     // each member of a folder `depth` levels down, in order, before the walk skips or enters it
//   void stopped(WalkStop why);  // the walk ends at the member named last
// The setup's visitors have neither, and pay nothing for them.
#pragma once

#include <cstdint>
#include <optional>

#include "install/package_limits.h"
#include "install/package_walk.h"
#include "install/records.h"
#include "package/package.h"

namespace zorv {

// Why a walk ends before the visitor has seen a member's record.
enum class WalkStop {
  Again,       // the record was reached before (Visit::Again)
  OverBudget,  // the package's walk has visited all the records it may (Visit::OverBudget)
  TooDeep,     // a folder nested deeper than kMaxDirectoryDepth
  Unreadable,  // the range cannot be read; the package's lastError() says why
  NotARecord,  // the bytes are no record of the member's tag
};

// False, after telling a visitor that asks (stopped) why.
template <typename Visitor>
bool stopWalk(Visitor& visitor, WalkStop why) {
  if constexpr (requires { visitor.stopped(why); }) visitor.stopped(why);
  return false;
}

// Counts the visit of top-level entry `i`, a "Copy" or "CopD" entry with a body, whose record
// is that body; false when the walk may not read it.
inline bool enterEntry(Package& package, std::int32_t i, PackageWalk& walk) {
  return walk.visit(package.entry(i).offset) == Visit::Fresh;
}

template <typename Visitor>
bool walkDirectory(Package& package, const RangeItem& member, int depth, PackageWalk& walk,
                   Visitor& visitor);

// The members of `dir`, read already, `depth` levels below the destination. A member that the
// package's walk may not visit (its budget is spent, or the record was reached before) fails
// the walk as one that cannot be read does.
template <typename Visitor>
bool walkMembers(Package& package, const DirectoryRecord& dir, int depth, PackageWalk& walk,
                 Visitor& visitor) {
  for (std::uint32_t m = 0; m < dir.members.size(); ++m) {
    const RangeItem member = dir.members[m];
    if constexpr (requires { visitor.member(member, m, depth); }) visitor.member(member, m, depth);
    if (member.tag != kTagCopyDir && member.tag != kTagCopy) continue;
    const Visit visit = walk.visit(member.range.offset);
    if (visit != Visit::Fresh)
      return stopWalk(visitor, visit == Visit::Again ? WalkStop::Again : WalkStop::OverBudget);
    if (member.tag == kTagCopyDir) {
      if (!walkDirectory(package, member, depth + 1, walk, visitor)) return false;
    } else {
      const std::optional<Buffer> body = package.readRange(member.range);
      if (!body) return stopWalk(visitor, WalkStop::Unreadable);
      const std::optional<CopyRecord> file = parseCopyRecord(body->bytes());
      if (!file) return stopWalk(visitor, WalkStop::NotARecord);
      if (!visitor.file(*file)) return false;
    }
  }
  return true;
}

// Reads the DirectoryRecord of `member` at `depth` (a top-level "CopD" entry is level 1) and
// walks it, its visit counted already. False also for a record nested deeper than
// kMaxDirectoryDepth.
template <typename Visitor>
bool walkDirectory(Package& package, const RangeItem& member, int depth, PackageWalk& walk,
                   Visitor& visitor) {
  if (depth > kMaxDirectoryDepth) return stopWalk(visitor, WalkStop::TooDeep);
  const std::optional<Buffer> body = package.readRange(member.range);
  if (!body) return stopWalk(visitor, WalkStop::Unreadable);
  const std::optional<DirectoryRecord> dir = parseDirectoryRecord(body->bytes());
  if (!dir) return stopWalk(visitor, WalkStop::NotARecord);
  if (!visitor.folder(*dir, depth)) return false;
  return walkMembers(package, *dir, depth, walk, visitor);
}

}  // namespace zorv
