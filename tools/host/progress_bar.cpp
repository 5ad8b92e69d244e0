#include "tools/host/progress_bar.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace zorv {

ProgressBar::ProgressBar(ProgressBarStyle style)
    : style_(style), terminal_(isatty(STDERR_FILENO) == 1), start_(Clock::now()) {}

void ProgressBar::draw(std::uint64_t done, std::uint64_t total, std::string_view before,
                       std::string_view after) {
  if (!terminal_) return;
  const auto now = Clock::now();
  if (now - start_ < style_.quietStart || (drawn_ && now - last_ < style_.redrawEvery)) return;
  last_ = now;
  drawn_ = true;
  if (done > total) done = total;
  const std::uint64_t width = static_cast<std::uint64_t>(style_.width);
  const std::size_t filled = total ? static_cast<std::size_t>(done * width / total) : 0;
  const int percent = total ? static_cast<int>(done * 100 / total) : 0;
  std::string line(before);
  line += '[';
  line.append(filled, '#');
  line.append(static_cast<std::size_t>(style_.width) - filled, style_.rest);
  char tail[16];
  std::snprintf(tail, sizeof tail, "] %3d%%", percent);
  line += tail;
  line += after;
  if (line.size() > longest_) longest_ = line.size();
  std::fprintf(stderr, "\r%s", line.c_str());
  std::fflush(stderr);
}

void ProgressBar::clear() {
  if (!drawn_) return;
  std::fprintf(stderr, "\r%*s\r", static_cast<int>(longest_), "");
  std::fflush(stderr);
  drawn_ = false;
}

void ProgressBar::endLine() {
  if (!drawn_) return;
  std::fprintf(stderr, "\n");
  drawn_ = false;
}

BuildProgress::BuildProgress()
    : bar_({40, '.', std::chrono::milliseconds(500), std::chrono::milliseconds(100)}) {}

void BuildProgress::update(std::uint64_t done, std::uint64_t total) {
  if (total == 0) return;
  char after[64];
  std::snprintf(after, sizeof after, "  %.1f of %.1f MB", double(done) / 1e6, double(total) / 1e6);
  bar_.draw(done, total, "", after);
}

}  // namespace zorv
