#include "tests/e2e/driver/snapshot.h"

#include <commctrl.h>

#include "platform/json_writer.h"
#include "tests/e2e/driver/target_windows.h"

namespace e2e {
namespace {

// The page's controls that a snapshot records, in id order.
constexpr int kControlIds[] = {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010,
                               1011, 1012, 1013, 1014, 1015, 1020, 1021, 1022, 1023, 1024};

// A list item in the ANSI code page. Asked for in UTF-16 and converted here, because Wine
// hands a cross-process CB_GETLBTEXT the list's own UTF-16 text even from the ANSI call.
std::string comboItem(HWND combo, WPARAM index) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, index, 0, SMTO_ABORTIFHUNG, 3000, &length))
    return {};
  std::wstring wide(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(wide.data()),
                           SMTO_ABORTIFHUNG, 3000, &copied) ||
      copied > length)
    return {};
  int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(copied), nullptr, 0, nullptr,
                              nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0)
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(copied), out.data(), n, nullptr,
                        nullptr);
  return out;
}

}  // namespace

void writeText(zorv::JsonWriter& j, const char* name, const WindowText& t) {
  j.key(std::string(name) + "_hex");
  j.string(zorv::toHex(t.bytes));
  j.key(name);
  j.string(t.utf8);
}

std::string pageSnapshot(HWND page, const std::string& name) {
  zorv::JsonWriter j;
  j.beginObject();
  j.key("name");
  j.string(name);
  writeText(j, "caption", readText(page));
  RECT r{};
  GetWindowRect(page, &r);
  j.key("rect");
  j.beginArray();
  for (LONG v : {r.left, r.top, r.right, r.bottom}) j.number(v);
  j.endArray();
  j.key("screen");
  j.beginArray();
  j.number(GetSystemMetrics(SM_CXSCREEN));
  j.number(GetSystemMetrics(SM_CYSCREEN));
  j.endArray();
  j.key("controls");
  j.beginObject();
  for (int id : kControlIds) {
    j.key(std::to_string(id));
    HWND c = GetDlgItem(page, id);
    if (!c) {
      j.null();
      continue;
    }
    j.beginObject();
    std::string cls = className(c);
    j.key("class");
    j.string(cls);
    j.key("visible");
    j.boolean((GetWindowLongA(c, GWL_STYLE) & WS_VISIBLE) != 0);
    j.key("enabled");
    j.boolean(IsWindowEnabled(c) != 0);
    RECT outer{}, client{};
    GetWindowRect(c, &outer);
    GetClientRect(c, &client);
    j.key("size");
    j.beginArray();
    j.number(outer.right - outer.left);
    j.number(outer.bottom - outer.top);
    j.endArray();
    j.key("client_size");
    j.beginArray();
    j.number(client.right - client.left);
    j.number(client.bottom - client.top);
    j.endArray();
    writeText(j, "text", readText(c));
    DWORD_PTR v = 0;
    if (cls == "Button" && sendWithTimeout(c, BM_GETCHECK, 0, 0, &v)) {
      j.key("checked");
      j.number(static_cast<std::int64_t>(v));
    }
    if (cls == "ComboBox" && sendWithTimeout(c, CB_GETCURSEL, 0, 0, &v)) {
      j.key("selected");
      j.number(static_cast<int>(v));
      DWORD_PTR count = 0;
      sendWithTimeout(c, CB_GETCOUNT, 0, 0, &count);
      j.key("items_hex");
      j.beginArray();
      for (DWORD_PTR i = 0; i < count && i < 64; ++i) j.string(zorv::toHex(comboItem(c, i)));
      j.endArray();
    }
    if (cls == PROGRESS_CLASSA) {
      DWORD_PTR high = 0;
      sendWithTimeout(c, PBM_GETPOS, 0, 0, &v);
      sendWithTimeout(c, PBM_GETRANGE, FALSE, 0, &high);
      j.key("position");
      j.number(static_cast<std::int64_t>(v));
      j.key("high");
      j.number(static_cast<std::int64_t>(high));
    }
    if (cls == "Static") {
      sendWithTimeout(c, STM_GETIMAGE, IMAGE_BITMAP, 0, &v);
      j.key("has_image");
      j.boolean(v != 0);
    }
    j.endObject();
  }
  j.endObject();
  j.endObject();
  return j.text();
}

}  // namespace e2e
