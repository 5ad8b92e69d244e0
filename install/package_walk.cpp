#include "install/package_walk.h"

#include <algorithm>
#include <utility>

namespace zorv {

Visit PackageWalk::visit(std::uint32_t offset) {
  if (left_ == 0) return Visit::OverBudget;
  --left_;
  for (const std::vector<std::uint32_t>& run : runs_)
    if (std::binary_search(run.begin(), run.end(), offset)) return Visit::Again;
  std::vector<std::uint32_t> carry{offset};
  while (!runs_.empty() && runs_.back().size() <= carry.size()) {
    const std::vector<std::uint32_t>& last = runs_.back();
    std::vector<std::uint32_t> merged(last.size() + carry.size());
    std::merge(last.begin(), last.end(), carry.begin(), carry.end(), merged.begin());
    runs_.pop_back();
    carry = std::move(merged);
  }
  runs_.push_back(std::move(carry));
  return Visit::Fresh;
}

}  // namespace zorv
