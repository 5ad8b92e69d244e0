#include "tools/host/terminal_view.h"

#include <cstdio>

#include "install/setup_state.h"
#include "platform/codepage.h"
#include "platform/terminal_text.h"

namespace zorv {

TerminalView::TerminalView(bool verbose, int codePage)
    : tty_(bar_.terminal()), verbose_(verbose), codePage_(codePage) {}

std::string TerminalView::shown(std::string_view text) const {
  return terminalText(codePage_ ? systemUtf8(text, codePage_) : std::string(text));
}

// The run tells how it ended itself; no control shows here.
void TerminalView::showControl(int, bool) {}

// The file-name line shows package names, so both lines are kept only as terminalText.
void TerminalView::setControlText(int id, std::string_view text) {
  if (id == control::kStatusLine) {
    status_ = shown(text);
    if (!tty_ && verbose_) std::fprintf(stderr, "%s\n", status_.c_str());
  } else if (id == control::kFileNameLine) {
    file_ = shown(text);
    if (!tty_ && verbose_) std::fprintf(stderr, "  %s\n", file_.c_str());
  }
  if (tty_) draw();
}

void TerminalView::setProgressRange(std::uint32_t high) {
  high_ = high;
  pos_ = 0;
  if (tty_) draw();
}

void TerminalView::setProgressPos(std::uint32_t pos) {
  if (trim_ && (pos < trimmedAt_ || pos - trimmedAt_ >= (2u << 20))) {
    trim_();
    trimmedAt_ = pos;
  }
  pos_ = pos;
  if (tty_) draw();
}

void TerminalView::draw() {
  const std::string name = file_.size() > 40 ? "..." + file_.substr(file_.size() - 37) : file_;
  // Padded to its full width rather than cleared with an escape sequence, which a Windows
  // console may print as it is: each line covers the one before.
  char status[32], file[48];
  std::snprintf(status, sizeof status, "%-20.20s ", status_.c_str());
  std::snprintf(file, sizeof file, " %-40s", name.c_str());
  bar_.draw(pos_, high_, status, file);
}

void TerminalView::finish() { bar_.endLine(); }

}  // namespace zorv
