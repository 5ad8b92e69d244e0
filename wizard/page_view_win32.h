// The page as the install run sees it on Windows: the view of its controls, paced, and the
// message boxes, shown over the page brought up to date.
#pragma once

#include <windows.h>

#include <string_view>

#include "platform/platform.h"
#include "wizard/page_pacing.h"

namespace zorv {

// The wizard page as the install run sees it. The view holds the two stage bitmaps until they
// are shown; a bitmap in a picture control belongs to the control until closeSetup. The
// file-name line and the bar are paced (page_pacing.h): catchUp() shows what waits; it runs
// before every other change to the page, before every message box, at closeSetup, and must
// run when the run returns.
class Win32RunView final : public RunView {
 public:
  Win32RunView(HWND dialog, HWND mainWindow) : dialog_(dialog), mainWindow_(mainWindow) {}
  Win32RunView(const Win32RunView&) = delete;
  Win32RunView& operator=(const Win32RunView&) = delete;

  void setStageBitmaps(HBITMAP first, HBITMAP second) {
    stage_[0] = first;
    stage_[1] = second;
  }
  // True once closeSetup has run: the page is ending and the package may be gone.
  bool closed() const { return closed_; }

  void showControl(int id, bool visible) override;
  void setControlText(int id, std::string_view text) override;
  void setProgressRange(std::uint32_t high) override;
  void setProgressPos(std::uint32_t pos) override;
  void showStageBitmap(int stage) override;
  void closeSetup() override;
  void catchUp();

 private:
  void showFileName(DWORD now);
  void setBar(DWORD now);

  HWND dialog_;
  HWND mainWindow_;
  LinePacing fileName_;
  BarPacing bar_;
  HBITMAP stage_[2] = {};
  bool closed_ = false;
};

// Places `bitmap` (or nothing) in a picture control and deletes the image it replaces.
void placePicture(HWND dialog, int control, HBITMAP bitmap);

// Message boxes with no owner window. Each first brings the page's view up to date, so that the
// box shows over the page as it would be had every update been shown.
class PageDialogs final : public Dialogs {
 public:
  void messageBox(std::string_view text, std::string_view caption) override;
  bool askRetry(std::string_view text, std::string_view caption) override;
  // From now on message boxes show nothing: an install without the page ("/S").
  void silenceMessageBoxes() { silent_ = true; }
  void setPageView(Win32RunView* view) { pageView_ = view; }

 private:
  Win32RunView* pageView_ = nullptr;
  bool silent_ = false;
};

}  // namespace zorv
