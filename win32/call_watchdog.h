// A script's watchdog: holds each call into the switch library to a time
// limit (kCallLimitSeconds). A call that has not come back by then ends
// the process at once with kExitNoAnswer, from the watchdog's own thread:
// the call may never come back, and nothing after it may run. A call that
// comes back after the limit has passed ends it the same way.
//
// Before it ends the process it writes the step's line on standard error,
// as a script's failed steps do ("qel: 2 1: 切替できず: スイッチが応答しない
// (10 秒)", or the words the step gave, WhenNoAnswer), with
// "(切り替わった可能性がある)" once the step has begun to stage its word
// (setdata, cleandata or transfer), and does what the step asked to be done
// then (a status query's lines, the log's line). Exactly one line is
// written, whole: when a call comes back just as the watch runs out, the
// first of the two to end the process writes it and ends the process, and
// the other waits for that.
//
// The thread starts with the first call and is running before that call
// goes on: a library that hangs while it loads holds the system's loader,
// which a thread still starting would wait for. The process is ended with
// TerminateProcess on itself, which takes no lock that a hung call may hold
// (ExitProcess takes the loader's). Waits and started programs are no calls,
// and no limit holds them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "core/platform.h"
#include "core/switch_library.h"
#include "win32/owned_handle.h"

namespace qel {

// Ends the process with `exitCode` at once, from any thread, whatever the
// other threads hold.
void EndThisProcessNow(UINT exitCode);

class CallWatchdog : public SwitchCallWatch {
 public:
  // `end` ends the process once the line is written (the tests give their
  // own).
  using ProcessEnd = void (*)(UINT exitCode);
  CallWatchdog(Platform& platform, DWORD limitMilliseconds, ProcessEnd end = &EndThisProcessNow);
  ~CallWatchdog() override;
  CallWatchdog(const CallWatchdog&) = delete;
  CallWatchdog& operator=(const CallWatchdog&) = delete;

  void Begins(const char* function) override;
  void Ended() override;
  void StepBegins(const std::wstring& step) override;
  void WhenNoAnswer(const std::wstring& reason, std::function<void()> last) override;

 private:
  static DWORD WINAPI Watch(void* self);
  // Starts the thread and waits until it runs; false when it cannot.
  bool StartThread();
  [[noreturn]] void EndNoAnswer();

  Platform& platform_;
  const DWORD limit_;
  const ProcessEnd end_;
  CRITICAL_SECTION lock_;
  OwnedHandle changed_;  // set at every call's beginning and end
  OwnedHandle running_;  // set once the thread runs
  OwnedHandle thread_;
  bool noThread_ = false;  // the thread could not be started: calls go unwatched
  // Under lock_: whether a call is pending, since when, and whether the
  // limit has ended it; the step, and whether it has begun to stage its
  // word.
  bool pending_ = false;
  DWORD begunAt_ = 0;
  bool expired_ = false;
  std::wstring step_;
  bool staging_ = false;
  std::wstring noAnswerReason_;     // empty: the switch's words
  std::function<void()> lastWords_;  // run before the process ends, when set
  LONG ending_ = 0;  // set by the first to end the process: one line only
};

}  // namespace qel
