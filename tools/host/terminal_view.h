// The run's view for the command line: a progress bar on standard error when it is a terminal,
// the phase and file lines as plain lines otherwise, and what became of the run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/platform.h"
#include "tools/host/progress_bar.h"

namespace zorv {

class TerminalView final : public RunView {
 public:
  // `codePage` is the one the run's texts are in (0: print their bytes as they are).
  explicit TerminalView(bool verbose, int codePage = 0);

  void showControl(int id, bool visible) override;
  void setControlText(int id, std::string_view text) override;
  void setProgressRange(std::uint32_t high) override;
  void setProgressPos(std::uint32_t pos) override;
  void showStageBitmap(int) override {}
  void closeSetup() override { closed_ = true; }

  bool closed() const { return closed_; }
  // The file-name line as last shown: the name of the file the run was at, made printable.
  const std::string& fileLine() const { return file_; }
  void finish();  // ends the bar's line
  // Called each time the run has written about 2 MB more: the tool returns the package pages
  // read so far to the kernel there.
  void onEveryFewMegabytes(std::function<void()> f) { trim_ = std::move(f); }

 private:
  void draw();

  std::string shown(std::string_view text) const;

  ProgressBar bar_{{30, ' '}};
  bool tty_;
  bool verbose_;
  int codePage_;
  std::uint32_t high_ = 0, pos_ = 0, trimmedAt_ = 0;
  std::function<void()> trim_;
  std::string status_, file_;
  bool closed_ = false;
};

}  // namespace zorv
