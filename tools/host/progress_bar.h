// The tools' one progress bar: a line on standard error redrawn in place, "\r", what goes
// before the bar, "[####......] 42%", what goes after. It draws only when standard error is a
// terminal, so scripts and logs stay as they were; the build's bar also waits a moment and
// paces itself, so short builds stay quiet.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zorv {

struct ProgressBarStyle {
  int width = 40;                            // cells of the bar
  char rest = '.';                           // the cells not done; done ones are '#'
  std::chrono::milliseconds quietStart{0};   // nothing is drawn this soon after the start
  std::chrono::milliseconds redrawEvery{0};  // nor again this soon after the last drawing
};

class ProgressBar {
 public:
  explicit ProgressBar(ProgressBarStyle style);

  bool terminal() const { return terminal_; }
  // Draws `done` of `total` (all of it past total, none of a total of 0) between the texts,
  // unless the style's pacing says it is too soon.
  void draw(std::uint64_t done, std::uint64_t total, std::string_view before,
            std::string_view after);
  // Blanks the line, if one was drawn: nothing of the bar stays behind.
  void clear();
  // Ends the line, if one was drawn: its last state stays above what follows.
  void endLine();

 private:
  using Clock = std::chrono::steady_clock;
  ProgressBarStyle style_;
  bool terminal_;
  bool drawn_ = false;
  std::size_t longest_ = 0;  // of the lines drawn, for clear()
  Clock::time_point start_;
  Clock::time_point last_;
};

// The build's bar: "[####....]  42%  12.3 of 40.1 MB", from half a second into the build and
// at most every 100 ms, cleared at the end.
class BuildProgress {
 public:
  BuildProgress();
  ~BuildProgress() { finish(); }
  void update(std::uint64_t done, std::uint64_t total);
  void finish() { bar_.clear(); }

 private:
  ProgressBar bar_;
};

}  // namespace zorv
