#include "tests/e2e/driver/target_windows.h"

namespace e2e {
namespace {

constexpr UINT kSendTimeoutMs = 3000;
// The static that holds a message box's text; Windows and Wine give it this id.
constexpr int kBoxTextId = 0xFFFF;

struct EnumContext {
  DWORD processId;
  std::vector<HWND>* found;
};

BOOL CALLBACK collectDialog(HWND window, LPARAM param) {
  auto* ctx = reinterpret_cast<EnumContext*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  const bool ours =
      ctx->processId == kAnyProcess ? pid != GetCurrentProcessId() : pid == ctx->processId;
  if (ours && IsWindowVisible(window) && className(window) == "#32770")
    ctx->found->push_back(window);
  return TRUE;
}

std::string toUtf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                        nullptr);
  return out;
}

BOOL CALLBACK findTextStatic(HWND child, LPARAM param) {
  auto* out = reinterpret_cast<HWND*>(param);
  if (className(child) != "Static") return TRUE;
  if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) return TRUE;
  if (GetWindowTextLengthA(child) == 0 && readText(child).bytes.empty()) return TRUE;
  *out = child;
  return FALSE;
}

}  // namespace

bool sendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             result ? result : &ignored) != 0;
}

std::string className(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

WindowText readText(HWND window) {
  WindowText t;
  DWORD_PTR length = 0;
  if (!sendWithTimeout(window, WM_GETTEXTLENGTH, 0, 0, &length)) return t;
  // The A length may count more than the text holds; the copy reports the real count.
  std::string bytes(length + 2, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, bytes.size(), reinterpret_cast<LPARAM>(bytes.data()),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied))
    return t;
  bytes.resize(copied);
  std::wstring wide(length + 2, L'\0');
  copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, wide.size(), reinterpret_cast<LPARAM>(wide.data()),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied))
    return t;
  wide.resize(copied);
  t.ok = true;
  t.bytes = std::move(bytes);
  t.utf8 = toUtf8(wide);
  return t;
}

std::vector<HWND> dialogsOf(DWORD processId) {
  std::vector<HWND> found;
  EnumContext ctx{processId, &found};
  EnumWindows(collectDialog, reinterpret_cast<LPARAM>(&ctx));
  return found;
}

HWND findPage(DWORD processId) {
  for (HWND w : dialogsOf(processId))
    if (GetDlgItem(w, kNextButtonId)) return w;
  return nullptr;
}

HWND findBox(DWORD processId) {
  for (HWND w : dialogsOf(processId))
    if (!GetDlgItem(w, kNextButtonId)) return w;
  return nullptr;
}

BoxContent readBox(HWND box) {
  BoxContent c;
  c.caption = readText(box);
  HWND text = GetDlgItem(box, kBoxTextId);
  if (!text) EnumChildWindows(box, findTextStatic, reinterpret_cast<LPARAM>(&text));
  if (text) c.text = readText(text);
  return c;
}

bool pressBoxOk(HWND box, DWORD timeoutMs) { return pressBoxButton(box, IDOK, timeoutMs); }

bool pressBoxButton(HWND box, int id, DWORD timeoutMs) {
  HWND button = GetDlgItem(box, id);
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
    if (!IsWindow(box) || !IsWindowVisible(box)) return true;
    Sleep(50);
  }
  return false;
}

}  // namespace e2e
