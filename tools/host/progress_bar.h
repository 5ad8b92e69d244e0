// A one-line progress bar on standard error for long builds. It draws only when standard error
// is a terminal and the build has run for a moment, so scripts and short builds stay quiet.
#pragma once

#include <chrono>
#include <cstdint>

namespace zorv {

class ProgressBar {
 public:
  ProgressBar();
  ~ProgressBar() { finish(); }
  void update(std::uint64_t done, std::uint64_t total);
  // Clears the bar's line, if one was drawn.
  void finish();

 private:
  using Clock = std::chrono::steady_clock;
  bool terminal_ = false;
  bool drawn_ = false;
  Clock::time_point start_;
  Clock::time_point last_;
};

}  // namespace zorv
