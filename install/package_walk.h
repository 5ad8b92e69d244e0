// What one walk of a package's files and folders has spent. The install run, `zorv list`,
// `zorv extract` and `zorv verify` each make one for the whole package, so that they stop where
// the setup stops.
//
// Every "Copy" and "CopD" record of the package, top-level entries and members alike, draws on
// one budget of kMaxRecordsVisited: a budget per entry would let many entries name one large
// legal tree and multiply it. And a record is read at most once: the builder never shares one,
// while shared records multiply the work (a folder that lists one sub-record twice doubles its
// walk, a file listed twice is written twice), so a record reached a second time is
// unreadable, as a damaged one is.
#pragma once

#include <cstdint>
#include <vector>

#include "install/package_limits.h"

namespace zorv {

enum class Visit {
  Fresh,       // not reached before: the walk reads it
  Again,       // its range starts where a record reached before starts
  OverBudget,  // the walk has visited all the records its budget allows
};

class PackageWalk {
 public:
  explicit PackageWalk(std::uint32_t budget = kMaxRecordsVisited) : left_(budget) {}

  // Counts the visit of the record whose range starts at `offset`, before it is read. Only the
  // start is compared: bytes after a record's last field are ignored, so a longer range from
  // the same offset would read the same record again.
  Visit visit(std::uint32_t offset);

 private:
  std::uint32_t left_;
  // The offsets visited, in sorted runs that halve in size from the first to the last, as the
  // bits of a binary counter: each visit costs a binary search per run and each offset is
  // merged once per run it passes through, whatever order a package lists its records in
  // (one sorted list would move half of itself for every offset that comes early). At most
  // one offset per record of the budget is held, four bytes each.
  std::vector<std::vector<std::uint32_t>> runs_;
};

}  // namespace zorv
