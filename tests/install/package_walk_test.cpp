// The walk's bookkeeping on its own: one budget, and every offset remembered whatever order the
// records come in.
#include "install/package_walk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace zorv {
namespace {

struct WalkRow {
  const char* name;
  std::uint32_t budget;
  std::vector<std::uint32_t> offsets;
  std::vector<Visit> visits;  // what each offset finds, in order
};
void PrintTo(const WalkRow& row, std::ostream* os) { *os << row.name; }

class Walk : public ::testing::TestWithParam<WalkRow> {};

TEST_P(Walk, FindsWhatTheRowSays) {
  PackageWalk walk(GetParam().budget);
  ASSERT_EQ(GetParam().offsets.size(), GetParam().visits.size());
  for (std::size_t i = 0; i < GetParam().offsets.size(); ++i)
    EXPECT_EQ(walk.visit(GetParam().offsets[i]), GetParam().visits[i]) << "visit " << i;
}

constexpr Visit kFresh = Visit::Fresh, kAgain = Visit::Again, kOver = Visit::OverBudget;

INSTANTIATE_TEST_SUITE_P(
    Visits, Walk,
    ::testing::Values(
        WalkRow{"DistinctOffsets", 10, {5, 1, 9, 2}, {kFresh, kFresh, kFresh, kFresh}},
        WalkRow{"AnOffsetAgain", 10, {5, 1, 9, 5}, {kFresh, kFresh, kFresh, kAgain}},
        WalkRow{"AnOffsetAtOnceAgain", 10, {7, 7}, {kFresh, kAgain}},
        WalkRow{"TheFirstAndLastOffsets",
                10,
                {0, 0xFFFFFFFFu, 0, 0xFFFFFFFFu},
                {kFresh, kFresh, kAgain, kAgain}},
        WalkRow{"ExactlyTheBudget", 3, {1, 2, 3}, {kFresh, kFresh, kFresh}},
        WalkRow{"OnePastTheBudget", 3, {1, 2, 3, 4}, {kFresh, kFresh, kFresh, kOver}},
        WalkRow{"AVisitAgainSpendsTheBudgetToo", 3, {1, 1, 2, 3}, {kFresh, kAgain, kFresh, kOver}},
        WalkRow{"NoBudget", 0, {1}, {kOver}}),
    [](const auto& info) { return std::string(info.param.name); });

// Offsets merged into the sorted runs must all stay found: ascending, descending and
// interleaved orders each exercise other merges.
TEST(Walk, RemembersEveryOffsetInAnyOrder) {
  constexpr std::uint32_t kCount = 3000;
  std::vector<std::uint32_t> ascending(kCount);
  for (std::uint32_t i = 0; i < kCount; ++i) ascending[i] = i * 7;
  std::vector<std::uint32_t> descending(ascending.rbegin(), ascending.rend());
  std::vector<std::uint32_t> interleaved;
  for (std::uint32_t i = 0; i < kCount / 2; ++i) {
    interleaved.push_back(ascending[i]);
    interleaved.push_back(ascending[kCount - 1 - i]);
  }
  for (const auto* order : {&ascending, &descending, &interleaved}) {
    PackageWalk walk(2 * kCount);
    for (std::uint32_t offset : *order) ASSERT_EQ(walk.visit(offset), Visit::Fresh) << offset;
    for (std::uint32_t offset : ascending) ASSERT_EQ(walk.visit(offset), Visit::Again) << offset;
    EXPECT_EQ(walk.visit(1), Visit::OverBudget);
  }
}

}  // namespace
}  // namespace zorv
