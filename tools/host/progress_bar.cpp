#include "tools/host/progress_bar.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace zorv {

namespace {

constexpr auto kQuietStart = std::chrono::milliseconds(500);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kBarWidth = 40;

}  // namespace

ProgressBar::ProgressBar() : terminal_(isatty(STDERR_FILENO) == 1), start_(Clock::now()) {}

void ProgressBar::update(std::uint64_t done, std::uint64_t total) {
  if (!terminal_ || total == 0) return;
  const auto now = Clock::now();
  if (now - start_ < kQuietStart || (drawn_ && now - last_ < kRedrawEvery)) return;
  last_ = now;
  drawn_ = true;
  const int filled = static_cast<int>(done * kBarWidth / total);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.resize(kBarWidth, '.');
  std::fprintf(stderr, "\r[%s] %3d%%  %.1f of %.1f MB", bar.c_str(),
               static_cast<int>(done * 100 / total), double(done) / 1e6, double(total) / 1e6);
  std::fflush(stderr);
}

void ProgressBar::finish() {
  if (!drawn_) return;
  std::fprintf(stderr, "\r%*s\r", kBarWidth + 32, "");
  std::fflush(stderr);
  drawn_ = false;
}

}  // namespace zorv
