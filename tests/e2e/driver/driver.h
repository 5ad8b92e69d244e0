// The driver: starts setup.exe, plays a script of user actions against its wizard page and
// records what it sees (control texts, message boxes, the exit code) for the test harness.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/json_writer.h"
#include "tests/e2e/driver/script.h"
#include "tests/e2e/driver/target_windows.h"

namespace e2e {

struct DriverOptions {
  std::string setupPath;   // the setup.exe to start
  std::string shotsDir;    // where screenshot requests go; empty: none
  std::string workingDir;  // current directory of the setup; empty: inherited
};

class Driver {
 public:
  explicit Driver(DriverOptions options) : options_(std::move(options)) {}
  ~Driver();

  // Plays the steps in order and stops at the first that fails. A setup still running at the
  // end is recorded, then terminated, so that the driver always ends.
  bool play(const std::vector<ScriptStep>& steps);
  // The whole report as one JSON object.
  std::string report() const;

 private:
  bool runStep(const ScriptStep& step, std::string& why);
  // Each step's work; `args` are the step's words after its name.
  // Starts the program with the step's words as further arguments.
  bool doStart(const std::vector<std::string>& args, std::string& why);
  bool doWaitPage(std::string& why);
  bool doSnapshot(const std::string& name, std::string& why);
  bool doSetText(int id, const std::string& text, std::string& why);
  bool doClick(int id, std::string& why);
  bool doCheck(int id, bool checked, std::string& why);
  bool doSelect(int id, int index, std::string& why);
  bool doKey(const std::string& key, std::string& why);
  bool doClose(std::string& why);
  bool doWaitText(int id, const std::string& text, std::string& why);
  bool doWaitShown(int id, bool shown, std::string& why);
  bool doWaitBox(int line, std::string& why);
  bool doMoveBox(int x, int y, std::string& why);
  bool doOkBox(std::string& why);
  bool doAnswerBox(int id, std::string& why);
  bool doExpectRunning(DWORD ms, std::string& why);
  bool doWaitExit(std::string& why);
  bool doScreenshot(const std::string& name, std::string& why);
  bool doRegSet(const std::vector<std::string>& args, std::string& why);
  bool doHold(const std::string& path, std::string& why);

  HWND control(int id, std::string& why);
  // Fails with the box's text when a message box that no step waits for has appeared; the box
  // is recorded and answered so that the setup can go on.
  bool unexpectedBox(std::string& why);
  void recordBox(HWND box, int line, bool expected);
  bool processEnded();
  // Notes whether the page has ever been up, for scenarios where it must not appear.
  void notePage();
  void finish();

  DriverOptions options_;
  PROCESS_INFORMATION process_{};
  std::vector<HANDLE> held_;  // files "hold" keeps open without sharing, until the driver ends
  bool started_ = false;
  bool exited_ = false;
  DWORD exitCode_ = 0;
  bool terminated_ = false;
  HWND page_ = nullptr;
  bool pageSeen_ = false;
  HWND box_ = nullptr;
  bool anyProcessBoxes_ = false;  // boxes of any process count, not just the started one's
  DWORD boxProcess_ = 0;          // the process whose boxes count, or kAnyProcess
  DWORD timeoutMs_ = 30000;
  int currentLine_ = 0;

  std::vector<std::string> stepsJson_;
  std::vector<std::string> boxesJson_;
  std::vector<std::string> snapshotsJson_;
  std::string error_;
};

}  // namespace e2e
