#include "tests/e2e/driver/driver.h"

#include <shlobj.h>

#include <cstdio>
#include <cstdlib>

#include "tests/e2e/driver/snapshot.h"

namespace e2e {
namespace {

constexpr DWORD kPollMs = 50;
constexpr DWORD kShotTimeoutMs = 30000;

void log(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

bool parseInt(const std::string& s, long& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  out = std::strtol(s.c_str(), &end, 0);
  return *end == '\0';
}

bool fileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string folderPath(int csidl) {
  char path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path))) return {};
  return path;
}

HKEY rootKey(const std::string& name) {
  if (name == "HKLM") return HKEY_LOCAL_MACHINE;
  if (name == "HKCU") return HKEY_CURRENT_USER;
  return nullptr;
}

}  // namespace

Driver::~Driver() {
  if (started_) {
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }
}

bool Driver::play(const std::vector<ScriptStep>& steps) {
  bool ok = true;
  for (const ScriptStep& step : steps) {
    currentLine_ = step.line;
    std::string why;
    DWORD begin = GetTickCount();
    bool stepOk = runStep(step, why);
    zorv::JsonWriter j;
    j.beginObject();
    j.key("line");
    j.number(step.line);
    j.key("step");
    j.string(step.words[0]);
    j.key("ok");
    j.boolean(stepOk);
    j.key("ms");
    j.number(GetTickCount() - begin);
    if (!stepOk) {
      j.key("error");
      j.string(why);
    }
    j.endObject();
    stepsJson_.push_back(j.text());
    log("line " + std::to_string(step.line) + ": " + step.words[0] +
        (stepOk ? " ok" : " FAILED: " + why));
    if (!stepOk) {
      error_ = "line " + std::to_string(step.line) + " (" + step.words[0] + "): " + why;
      ok = false;
      break;
    }
  }
  if (!ok) {
    std::string ignored;
    if (started_ && !processEnded() && (page_ = findPage(process_.dwProcessId)))
      doSnapshot("failure", ignored);
    if (!options_.shotsDir.empty()) doScreenshot("failure", ignored);
  }
  finish();
  return ok && !terminated_;
}

bool Driver::runStep(const ScriptStep& step, std::string& why) {
  const std::vector<std::string>& w = step.words;
  const std::string& name = w[0];
  auto argCount = [&](std::size_t n) {
    if (w.size() == n + 1) return true;
    why = "takes " + std::to_string(n) + " argument(s)";
    return false;
  };
  long a = 0, b = 0;
  auto intArg = [&](std::size_t i, long& out) {
    if (parseInt(w[i], out)) return true;
    why = "not a number: " + w[i];
    return false;
  };
  if (name != "start" && name != "timeout" && name != "reg-set" && name != "sleep" &&
      name != "hold" && name != "screenshot-mark" && name != "boxes-of-any-process" && !started_) {
    why = "setup not started";
    return false;
  }
  if (name == "timeout") {
    if (!argCount(1) || !intArg(1, a)) return false;
    timeoutMs_ = static_cast<DWORD>(a);
    return true;
  }
  if (name == "sleep") {
    if (!argCount(1) || !intArg(1, a)) return false;
    Sleep(static_cast<DWORD>(a));
    return true;
  }
  if (name == "start") return doStart({w.begin() + 1, w.end()}, why);
  if (name == "boxes-of-any-process") return argCount(0) && (anyProcessBoxes_ = true);
  if (name == "reg-set") return argCount(4) && doRegSet(w, why);
  if (name == "hold") return argCount(1) && doHold(w[1], why);
  if (name == "wait-page") return argCount(0) && doWaitPage(why);
  if (name == "snapshot") return argCount(1) && doSnapshot(w[1], why);
  if (name == "settext") return argCount(2) && intArg(1, a) && doSetText(a, w[2], why);
  if (name == "click") return argCount(1) && intArg(1, a) && doClick(a, why);
  if (name == "check" || name == "uncheck")
    return argCount(1) && intArg(1, a) && doCheck(a, name == "check", why);
  if (name == "select") return argCount(2) && intArg(1, a) && intArg(2, b) && doSelect(a, b, why);
  if (name == "key") return argCount(1) && doKey(w[1], why);
  if (name == "close") return argCount(0) && doClose(why);
  if (name == "wait-text") return argCount(2) && intArg(1, a) && doWaitText(a, w[2], why);
  if (name == "wait-visible" || name == "wait-hidden")
    return argCount(1) && intArg(1, a) && doWaitShown(a, name == "wait-visible", why);
  if (name == "wait-box") return argCount(0) && doWaitBox(step.line, why);
  if (name == "move-box")
    return argCount(2) && intArg(1, a) && intArg(2, b) && doMoveBox(a, b, why);
  if (name == "ok-box") return argCount(0) && doOkBox(why);
  if (name == "answer-box") return argCount(1) && intArg(1, a) && doAnswerBox(int(a), why);
  if (name == "expect-box") return argCount(0) && doWaitBox(step.line, why) && doOkBox(why);
  if (name == "expect-running")
    return argCount(1) && intArg(1, a) && doExpectRunning(static_cast<DWORD>(a), why);
  if (name == "wait-exit") return argCount(0) && doWaitExit(why);
  if (name == "screenshot-mark") return argCount(1) && doScreenshot(w[1], why);
  why = "unknown step";
  return false;
}

bool Driver::doStart(const std::vector<std::string>& args, std::string& why) {
  if (started_) {
    why = "already started";
    return false;
  }
  std::string commandLine = "\"" + options_.setupPath + "\"";
  for (const std::string& arg : args) commandLine += " " + arg;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  const char* dir = options_.workingDir.empty() ? nullptr : options_.workingDir.c_str();
  if (!CreateProcessA(options_.setupPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, dir, &startup, &process_)) {
    why = "CreateProcess failed, error " + std::to_string(GetLastError());
    return false;
  }
  started_ = true;
  boxProcess_ = anyProcessBoxes_ ? kAnyProcess : process_.dwProcessId;
  return true;
}

bool Driver::processEnded() {
  if (exited_) return true;
  if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) return false;
  GetExitCodeProcess(process_.hProcess, &exitCode_);
  exited_ = true;
  return true;
}

void Driver::recordBox(HWND box, int line, bool expected) {
  BoxContent c = readBox(box);
  zorv::JsonWriter j;
  j.beginObject();
  j.key("line");
  j.number(line);
  j.key("expected");
  j.boolean(expected);
  writeText(j, "text", c.text);
  writeText(j, "caption", c.caption);
  j.endObject();
  boxesJson_.push_back(j.text());
  log("box: [" + c.caption.utf8 + "] " + c.text.utf8);
}

void Driver::notePage() {
  if (!pageSeen_ && findPage(process_.dwProcessId)) pageSeen_ = true;
}

bool Driver::unexpectedBox(std::string& why) {
  notePage();
  HWND box = findBox(boxProcess_);
  if (!box) return false;
  recordBox(box, currentLine_, false);
  why = "unexpected message box: " + readBox(box).text.utf8;
  if (!options_.shotsDir.empty()) {
    std::string ignored;
    doScreenshot("unexpected-box", ignored);
  }
  pressBoxOk(box, timeoutMs_);
  return true;
}

bool Driver::doWaitPage(std::string& why) {
  for (DWORD waited = 0; waited < timeoutMs_; waited += kPollMs) {
    if ((page_ = findPage(process_.dwProcessId))) return pageSeen_ = true;
    if (unexpectedBox(why)) return false;
    if (processEnded()) {
      why = "setup ended with code " + std::to_string(exitCode_) + " before showing its page";
      return false;
    }
    Sleep(kPollMs);
  }
  why = "no page within the time-out";
  return false;
}

HWND Driver::control(int id, std::string& why) {
  if (!page_ || !IsWindow(page_)) {
    why = "no page";
    return nullptr;
  }
  HWND c = GetDlgItem(page_, id);
  if (!c) why = "the page has no control " + std::to_string(id);
  return c;
}

bool Driver::doSnapshot(const std::string& name, std::string& why) {
  if (!page_ || !IsWindow(page_)) {
    why = "no page";
    return false;
  }
  snapshotsJson_.push_back(pageSnapshot(page_, name));
  return true;
}

bool Driver::doSetText(int id, const std::string& text, std::string& why) {
  HWND c = control(id, why);
  if (!c) return false;
  // WM_SETTEXT makes the edit notify its page at once, as typing does.
  if (!sendWithTimeout(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), nullptr)) {
    why = "the page did not answer";
    return false;
  }
  return true;
}

bool Driver::doClick(int id, std::string& why) {
  HWND c = control(id, why);
  if (!c) return false;
  if (!IsWindowVisible(c) || !IsWindowEnabled(c)) {
    why = "control " + std::to_string(id) + " is hidden or disabled";
    return false;
  }
  // Posted: the page may run the whole install, or show a box, before it returns.
  PostMessageA(c, BM_CLICK, 0, 0);
  return true;
}

bool Driver::doCheck(int id, bool checked, std::string& why) {
  HWND c = control(id, why);
  if (!c) return false;
  DWORD_PTR state = 0;
  if (!sendWithTimeout(c, BM_GETCHECK, 0, 0, &state)) {
    why = "the page did not answer";
    return false;
  }
  if ((state == BST_CHECKED) != checked && !sendWithTimeout(c, BM_CLICK, 0, 0, nullptr)) {
    why = "the page did not answer";
    return false;
  }
  sendWithTimeout(c, BM_GETCHECK, 0, 0, &state);
  if ((state == BST_CHECKED) != checked) {
    why = "the box did not change";
    return false;
  }
  return true;
}

bool Driver::doSelect(int id, int index, std::string& why) {
  HWND c = control(id, why);
  if (!c) return false;
  DWORD_PTR result = 0;
  if (!sendWithTimeout(c, CB_SETCURSEL, index, 0, &result) || static_cast<int>(result) != index) {
    why = "cannot select entry " + std::to_string(index);
    return false;
  }
  // A user's choice in the list notifies the page; sent, so that the texts have changed when
  // the next step looks.
  if (!sendWithTimeout(page_, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(c), nullptr)) {
    why = "the page did not answer";
    return false;
  }
  return true;
}

bool Driver::doKey(const std::string& key, std::string& why) {
  WPARAM vk = key == "escape" ? VK_ESCAPE : key == "enter" ? VK_RETURN : 0;
  if (!vk) {
    why = "unknown key " + key;
    return false;
  }
  if (!page_ || !IsWindow(page_)) {
    why = "no page";
    return false;
  }
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  HWND target = page_;
  if (GetGUIThreadInfo(process_.dwThreadId, &info) && info.hwndFocus) target = info.hwndFocus;
  // Through the page's message loop, where the dialog manager turns the key into a command.
  PostMessageA(target, WM_KEYDOWN, vk, 0x00000001);
  PostMessageA(target, WM_KEYUP, vk, 0xC0000001);
  return true;
}

bool Driver::doClose(std::string& why) {
  if (!page_ || !IsWindow(page_)) {
    why = "no page";
    return false;
  }
  PostMessageA(page_, WM_SYSCOMMAND, SC_CLOSE, 0);
  return true;
}

bool Driver::doWaitText(int id, const std::string& text, std::string& why) {
  HWND c = control(id, why);
  if (!c) return false;
  std::string last;
  for (DWORD waited = 0; waited < timeoutMs_; waited += kPollMs) {
    if (unexpectedBox(why)) return false;
    if (processEnded()) {
      why = "setup ended with code " + std::to_string(exitCode_);
      return false;
    }
    WindowText t = readText(c);
    if (t.ok) {
      if (t.bytes == text) return true;
      last = t.utf8;
    }
    Sleep(kPollMs);
  }
  why = "control " + std::to_string(id) + " still reads \"" + last + "\"";
  return false;
}

bool Driver::doWaitShown(int id, bool shown, std::string& why) {
  HWND c = control(id, why);
  if (!c) return false;
  for (DWORD waited = 0; waited < timeoutMs_; waited += kPollMs) {
    if (unexpectedBox(why)) return false;
    if (((GetWindowLongA(c, GWL_STYLE) & WS_VISIBLE) != 0) == shown) return true;
    Sleep(kPollMs);
  }
  why = "control " + std::to_string(id) + (shown ? " stays hidden" : " stays visible");
  return false;
}

bool Driver::doWaitBox(int line, std::string& why) {
  for (DWORD waited = 0; waited < timeoutMs_; waited += kPollMs) {
    notePage();
    if ((box_ = findBox(boxProcess_))) {
      // Let the box finish its layout before its texts are read.
      Sleep(200);
      recordBox(box_, line, true);
      return true;
    }
    if (processEnded()) {
      why = "setup ended with code " + std::to_string(exitCode_) + " without a message box";
      return false;
    }
    Sleep(kPollMs);
  }
  why = "no message box within the time-out";
  return false;
}

bool Driver::doMoveBox(int x, int y, std::string& why) {
  if (!box_ || !IsWindow(box_)) {
    why = "no message box";
    return false;
  }
  SetWindowPos(box_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

bool Driver::doAnswerBox(int id, std::string& why) {
  if (!box_ || !IsWindow(box_)) {
    why = "no message box";
    return false;
  }
  if (!pressBoxButton(box_, id, timeoutMs_)) {
    why = "the box stays after button " + std::to_string(id);
    return false;
  }
  box_ = nullptr;
  return true;
}

bool Driver::doOkBox(std::string& why) {
  if (!box_ || !IsWindow(box_)) {
    why = "no message box";
    return false;
  }
  if (!pressBoxOk(box_, timeoutMs_)) {
    why = "the box stays after OK";
    return false;
  }
  box_ = nullptr;
  return true;
}

bool Driver::doExpectRunning(DWORD ms, std::string& why) {
  for (DWORD waited = 0; waited < ms; waited += kPollMs) {
    if (unexpectedBox(why)) return false;
    if (processEnded()) {
      why = "setup ended with code " + std::to_string(exitCode_);
      return false;
    }
    Sleep(kPollMs);
  }
  if (!page_ || !IsWindow(page_) || !IsWindowVisible(page_)) {
    why = "the page is gone";
    return false;
  }
  return true;
}

bool Driver::doWaitExit(std::string& why) {
  for (DWORD waited = 0; waited < timeoutMs_; waited += kPollMs) {
    if (processEnded()) return true;
    if (unexpectedBox(why)) return false;
    Sleep(kPollMs);
  }
  why = "setup still running after the time-out";
  return false;
}

bool Driver::doScreenshot(const std::string& name, std::string& why) {
  log("screenshot-mark " + name);
  if (options_.shotsDir.empty()) return true;
  // Time for the setup to paint what the last step changed.
  Sleep(300);
  RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (page_ && IsWindow(page_) && IsWindowVisible(page_)) GetWindowRect(page_, &r);
  std::string base = options_.shotsDir + "\\" + name;
  FILE* f = std::fopen((base + ".req").c_str(), "wb");
  if (!f) {
    why = "cannot write " + base + ".req";
    return false;
  }
  std::fprintf(f, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  std::fclose(f);
  for (DWORD waited = 0; waited < kShotTimeoutMs; waited += kPollMs) {
    if (fileExists(base + ".done")) return true;
    Sleep(kPollMs);
  }
  why = "nobody took the screenshot";
  return false;
}

// A file held open with no sharing at all, as a running program holds its own files.
bool Driver::doHold(const std::string& path, std::string& why) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    why = "cannot hold " + path + ", error " + std::to_string(GetLastError());
    return false;
  }
  held_.push_back(h);
  return true;
}

bool Driver::doRegSet(const std::vector<std::string>& w, std::string& why) {
  HKEY root = rootKey(w[1]);
  if (!root) {
    why = "root must be HKLM or HKCU";
    return false;
  }
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, w[2].c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    why = "cannot create the key";
    return false;
  }
  LONG rc =
      RegSetValueExA(key, w[3].c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(w[4].c_str()),
                     static_cast<DWORD>(w[4].size() + 1));
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) why = "cannot set the value";
  return rc == ERROR_SUCCESS;
}

void Driver::finish() {
  // A setup that is on its way out gets a moment to end by itself.
  if (!started_ || WaitForSingleObject(process_.hProcess, 3000) == WAIT_OBJECT_0 || processEnded())
    return;
  log("setup still running at the end of the script: terminated");
  if (error_.empty()) error_ = "setup still running at the end of the script";
  terminated_ = true;
  TerminateProcess(process_.hProcess, 255);
  WaitForSingleObject(process_.hProcess, 10000);
}

std::string Driver::report() const {
  zorv::JsonWriter j;
  j.beginObject();
  j.key("ok");
  j.boolean(error_.empty() && !terminated_);
  j.key("error");
  j.string(error_);
  j.key("started");
  j.boolean(started_);
  j.key("exit_code");
  if (exited_ && !terminated_)
    j.number(exitCode_);
  else
    j.null();
  j.key("terminated");
  j.boolean(terminated_);
  j.key("page_seen");
  j.boolean(pageSeen_);
  j.key("acp");
  j.number(GetACP());
  j.key("folders");
  j.beginObject();
  for (auto [name, csidl] :
       {std::pair{"appdata", CSIDL_APPDATA}, std::pair{"programs", CSIDL_PROGRAMS},
        std::pair{"desktop", CSIDL_DESKTOPDIRECTORY}}) {
    j.key(std::string(name) + "_hex");
    j.string(zorv::toHex(folderPath(csidl)));
  }
  j.endObject();
  for (auto [name, list] : {std::pair{"steps", &stepsJson_}, std::pair{"boxes", &boxesJson_},
                            std::pair{"snapshots", &snapshotsJson_}}) {
    j.key(name);
    j.beginArray();
    for (const std::string& item : *list) j.raw(item);
    j.endArray();
  }
  j.endObject();
  return j.text();
}

}  // namespace e2e
