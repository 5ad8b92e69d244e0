// The pacing of the run's page updates: which file names and bar positions are shown at once,
// which wait, and that what waits is never lost. Times are given, not measured.
#include "wizard/page_pacing.h"

#include <gtest/gtest.h>

namespace zorv {
namespace {

TEST(LinePacing, FirstTextIsShownAtOnceLaterOnesWaitThePeriod) {
  LinePacing line;
  EXPECT_TRUE(line.offer("a.txt", 1000));
  line.shown(1000);
  EXPECT_FALSE(line.waiting());
  EXPECT_FALSE(line.offer("b.txt", 1010));
  EXPECT_FALSE(line.offer("c.txt", 1029));
  EXPECT_TRUE(line.waiting());
  EXPECT_EQ(line.latest(), "c.txt");  // the latest replaces what waited
  EXPECT_FALSE(line.due(1029));
  EXPECT_TRUE(line.due(1030));
  line.shown(1030);
  EXPECT_FALSE(line.due(5000));  // nothing waits
}

TEST(LinePacing, AfterAQuietSpellTheNextTextIsShownAtOnce) {
  LinePacing line;
  line.offer("a", 0);
  line.shown(0);
  EXPECT_TRUE(line.offer("b", 31));
}

TEST(LinePacing, TheClockWrapping) {
  LinePacing line;
  line.offer("a", 0xFFFFFFF0u);
  line.shown(0xFFFFFFF0u);
  EXPECT_FALSE(line.offer("b", 0xFFFFFFFFu));
  EXPECT_TRUE(line.due(14));  // 30 ms after, past the wrap
}

TEST(LinePacing, WhatWaitsIsKeptUntilShown) {
  LinePacing line;
  line.offer("first", 0);
  line.shown(0);
  line.offer("x\\last.txt", 1);
  EXPECT_TRUE(line.waiting());  // the view shows it before any box and at the end
  EXPECT_EQ(line.latest(), "x\\last.txt");
}

// Offers `pos` at `now` and sets it when due, as the view does; true when it was set.
bool offerAndSet(BarPacing& bar, std::uint32_t pos, std::uint32_t now) {
  if (!bar.offer(pos, now)) return false;
  bar.set(now);
  return true;
}

// 376 inner columns over 193,000,000 bytes: about 513,000 bytes a column, rounded as MulDiv.
TEST(BarPacing, SetOnlyWhenTheDrawnColumnMoves) {
  BarPacing bar;
  bar.setRange(193000000, 376);
  EXPECT_TRUE(offerAndSet(bar, 0, 0));  // the first position of a range at once
  EXPECT_FALSE(offerAndSet(bar, 1000, 100));
  EXPECT_FALSE(offerAndSet(bar, 256000, 200));  // 0.4987 of a column rounds down
  EXPECT_TRUE(offerAndSet(bar, 257000, 300));   // 0.5007 rounds up to column 1
  EXPECT_FALSE(offerAndSet(bar, 700000, 400));
  EXPECT_TRUE(offerAndSet(bar, 770000, 500));  // column 2 from 1.5002
  EXPECT_TRUE(offerAndSet(bar, 193000000, 600));
  EXPECT_FALSE(offerAndSet(bar, 250000000, 700));  // past the range the bar stays full
}

TEST(BarPacing, AMovedColumnWaitsThePeriod) {
  BarPacing bar;
  constexpr std::uint32_t p = BarPacing::kPeriodMs;
  bar.setRange(1000, 100);
  EXPECT_TRUE(offerAndSet(bar, 0, 50));
  EXPECT_FALSE(bar.offer(100, 60));  // ten columns on, but 10 ms after the last set
  EXPECT_FALSE(bar.offer(200, 50 + p - 1));
  EXPECT_FALSE(bar.due(50 + p - 1));
  EXPECT_TRUE(bar.due(50 + p));  // the latest is set once due, by any later call of the view
  bar.set(50 + p);
  EXPECT_EQ(bar.latest(), 200u);
  EXPECT_FALSE(bar.due(50 + 10 * p));
}

TEST(BarPacing, ANewRangeSetsItsFirstPositionAtOnce) {
  BarPacing bar;
  bar.setRange(1000, 376);
  EXPECT_TRUE(offerAndSet(bar, 0, 0));
  bar.setRange(3, 376);
  EXPECT_FALSE(bar.due(1));  // nothing offered in the new range yet
  EXPECT_FALSE(bar.behind());
  EXPECT_TRUE(offerAndSet(bar, 0, 1));
  EXPECT_TRUE(offerAndSet(bar, 1, 1 + BarPacing::kPeriodMs));
}

TEST(BarPacing, NoRangeOrNoWidthDrawsEveryPositionDifferently) {
  for (auto [high, width] : {std::pair{0u, 376}, std::pair{1000u, 0}, std::pair{1000u, -2}}) {
    BarPacing bar;
    bar.setRange(high, width);
    EXPECT_TRUE(offerAndSet(bar, 5, 0));
    EXPECT_FALSE(offerAndSet(bar, 5, 100));
    EXPECT_TRUE(offerAndSet(bar, 6, 200));
  }
}

TEST(BarPacing, TheLatestPositionIsCaughtUpEvenInTheSameColumn) {
  BarPacing bar;
  bar.setRange(193000000, 376);
  offerAndSet(bar, 0, 0);
  EXPECT_FALSE(bar.behind());
  EXPECT_FALSE(bar.offer(1234, 100));
  EXPECT_TRUE(bar.behind());  // the view sets it before a box and at the end
  EXPECT_EQ(bar.latest(), 1234u);
  bar.set(100);
  EXPECT_FALSE(bar.behind());
}

}  // namespace
}  // namespace zorv
