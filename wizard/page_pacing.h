// Which of the run's page updates a person can see. The run holds the page's thread, so every
// text and bar position set is painted at once, and under Wine each paint costs several
// requests to the server: for a payload of many small files the painting took longer than the
// files. The view therefore keeps the latest file name and bar position and shows the name at
// most every 30 ms and the bar at most every 100 ms, the bar only when the column it draws
// moves, and both at once whenever a person could look (before a message box, before any other
// change to the page, at the end of the run). What the page shows at those moments, and everything
// stored, is what it was when every update was shown. Portable, for the tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zorv {

// One line of text, shown at most every kPeriodMs while a later text waits.
class LinePacing {
 public:
  static constexpr std::uint32_t kPeriodMs = 30;

  // Keeps `text` as the latest. True when it is to be shown now; the caller then calls shown().
  bool offer(std::string_view text, std::uint32_t nowMs) {
    latest_.assign(text);
    waiting_ = true;
    return due(nowMs);
  }
  // True when a kept text waits and the line has not changed for kPeriodMs (a clock that wraps
  // still counts forward).
  bool due(std::uint32_t nowMs) const {
    return waiting_ && (!everShown_ || nowMs - shownAt_ >= kPeriodMs);
  }
  bool waiting() const { return waiting_; }
  const std::string& latest() const { return latest_; }
  void shown(std::uint32_t nowMs) {
    waiting_ = false;
    everShown_ = true;
    shownAt_ = nowMs;
  }

 private:
  std::string latest_;
  bool waiting_ = false;
  bool everShown_ = false;
  std::uint32_t shownAt_ = 0;
};

// The progress bar draws MulDiv(pos, inner width, range) columns (rounded; the inner width is
// the client width less its one-pixel frame): a position that leaves that column where it was
// changes nothing on the screen. A column that moves is set at most every kPeriodMs, ten times
// a second: under Wine a bar repaint costs several times what the file-name line's does (set
// every 30 ms as well, the bar's paints were most of what the page cost a many-file install);
// the first position of a range at once.
class BarPacing {
 public:
  static constexpr std::uint32_t kPeriodMs = 100;

  // A new range. A bar of no width or range has every position drawn differently, as the
  // pacing cannot know what it draws.
  void setRange(std::uint32_t high, int innerWidth) {
    high_ = high;
    width_ = innerWidth > 0 ? std::uint32_t(innerWidth) : 0;
    fresh_ = true;
    offered_ = false;
  }
  // Keeps `pos` as the latest. True when it is to be set now; the caller then calls set().
  bool offer(std::uint32_t pos, std::uint32_t nowMs) {
    latest_ = pos;
    offered_ = true;
    return due(nowMs);
  }
  // True when the latest position moves the drawn column and is due.
  bool due(std::uint32_t nowMs) const {
    if (!offered_) return false;
    if (fresh_) return true;
    return column(latest_) != columnSet_ && nowMs - setAt_ >= kPeriodMs;
  }
  // True when the latest position is not the one last set, though it may draw the same: it is
  // set before anything may read the bar, so the control ends holding what it was given.
  bool behind() const { return offered_ && (fresh_ || latest_ != set_); }
  std::uint32_t latest() const { return latest_; }
  void set(std::uint32_t nowMs) {
    set_ = latest_;
    columnSet_ = column(latest_);
    setAt_ = nowMs;
    fresh_ = false;
  }

 private:
  std::uint64_t column(std::uint32_t pos) const {
    if (high_ == 0 || width_ == 0) return pos;
    const std::uint64_t p = pos > high_ ? high_ : pos;
    return (p * width_ + high_ / 2) / high_;
  }

  std::uint32_t high_ = 0;
  std::uint32_t width_ = 0;
  bool fresh_ = true;
  bool offered_ = false;
  std::uint32_t latest_ = 0;
  std::uint32_t set_ = 0;
  std::uint64_t columnSet_ = 0;
  std::uint32_t setAt_ = 0;
};

}  // namespace zorv
