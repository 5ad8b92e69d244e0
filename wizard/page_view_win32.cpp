#include "wizard/page_view_win32.h"

#include <commctrl.h>

#include <string>

#include "install/setup_state.h"

namespace zorv {

namespace {

// The pictures of the page; the first shows "title", then "pic1", then "pic2".
constexpr int kStagePicture = control::kPictureTitle;
constexpr int kPictures[] = {control::kPictureTitle, control::kPicturePic, control::kPictureZorv};

}  // namespace

// The run's view.

void placePicture(HWND dialog, int control, HBITMAP bitmap) {
  HANDLE previous = reinterpret_cast<HANDLE>(SendDlgItemMessageA(
      dialog, control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
  if (previous != nullptr) DeleteObject(previous);
}

// Any other change first brings the paced line and bar up to date, so that whoever sees it sees
// them current too.
void Win32RunView::showControl(int id, bool visible) {
  catchUp();
  ShowWindow(GetDlgItem(dialog_, id), visible ? SW_SHOW : SW_HIDE);
}

void Win32RunView::setControlText(int id, std::string_view text) {
  if (id == control::kFileNameLine) {
    const DWORD now = GetTickCount();
    if (fileName_.offer(text, now)) showFileName(now);
    if (bar_.due(now)) setBar(now);
    return;
  }
  catchUp();
  SetWindowTextA(GetDlgItem(dialog_, id), std::string(text).c_str());
}

void Win32RunView::showFileName(DWORD now) {
  SetWindowTextA(GetDlgItem(dialog_, control::kFileNameLine), fileName_.latest().c_str());
  fileName_.shown(now);
}

void Win32RunView::setProgressRange(std::uint32_t high) {
  SendDlgItemMessageA(dialog_, control::kProgress, PBM_SETRANGE32, 0, LPARAM(high));
  RECT client{};
  GetClientRect(GetDlgItem(dialog_, control::kProgress), &client);
  bar_.setRange(high, client.right - client.left - 2);  // less the frame the bar draws
}

void Win32RunView::setBar(DWORD now) {
  SendDlgItemMessageA(dialog_, control::kProgress, PBM_SETPOS, WPARAM(bar_.latest()), 0);
  bar_.set(now);
}

// A long file sets the bar for each block, which is when a waiting file name comes due.
void Win32RunView::setProgressPos(std::uint32_t pos) {
  const DWORD now = GetTickCount();
  if (bar_.offer(pos, now)) setBar(now);
  if (fileName_.due(now)) showFileName(now);
}

void Win32RunView::catchUp() {
  const DWORD now = GetTickCount();
  if (fileName_.waiting()) showFileName(now);
  if (bar_.behind()) setBar(now);
}

// The run pumps no messages, so the picture is repainted here and now.
void Win32RunView::showStageBitmap(int stage) {
  if (stage < 0 || stage > 1 || stage_[stage] == nullptr) return;
  catchUp();
  placePicture(dialog_, kStagePicture, stage_[stage]);
  stage_[stage] = nullptr;
  HWND picture = GetDlgItem(dialog_, kStagePicture);
  InvalidateRect(picture, nullptr, FALSE);
  UpdateWindow(picture);
}

void Win32RunView::closeSetup() {
  if (closed_) return;
  catchUp();
  closed_ = true;
  for (int id : kPictures) placePicture(dialog_, id, nullptr);
  for (HBITMAP& b : stage_) {
    if (b != nullptr) DeleteObject(b);
    b = nullptr;
  }
  EndDialog(dialog_, 0);
  PostMessageA(mainWindow_, WM_CLOSE, 0, 0);
}

// The message boxes.

void PageDialogs::messageBox(std::string_view text, std::string_view caption) {
  if (silent_) return;
  if (pageView_ != nullptr) pageView_->catchUp();
  MessageBoxA(nullptr, std::string(text).c_str(), std::string(caption).c_str(), MB_OK);
}

bool PageDialogs::askRetry(std::string_view text, std::string_view caption) {
  if (silent_) return false;
  if (pageView_ != nullptr) pageView_->catchUp();
  return MessageBoxA(nullptr, std::string(text).c_str(), std::string(caption).c_str(),
                     MB_RETRYCANCEL | MB_ICONWARNING) == IDRETRY;
}

}  // namespace zorv
