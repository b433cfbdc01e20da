// A script's watchdog: holds each call into the switch library to a time
// limit (kCallLimitSeconds). A call that has not come back by then ends
// the process at once with kExitNoAnswer, from the watchdog's own thread:
// the call may never come back, and nothing after it may run. A call that
// comes back after the limit has passed ends it the same way.
//
// Before it ends the process it writes the step's line on standard error,
// as a script's failed steps do ("qel: 2 1: 切替できず: スイッチが応答しない
// (10 秒)", or the words the step gave, WhenNoAnswer), and does what the step
// asked to be done then (a status query's lines, the log's line). The thread starts with the first call; waits and started programs are no
// calls, and no limit holds them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "core/platform.h"
#include "core/switch_library.h"
#include "win32/owned_handle.h"

namespace qel {

class CallWatchdog : public SwitchCallWatch {
 public:
  CallWatchdog(Platform& platform, DWORD limitMilliseconds);
  ~CallWatchdog() override;
  CallWatchdog(const CallWatchdog&) = delete;
  CallWatchdog& operator=(const CallWatchdog&) = delete;

  void Begins(const char* function) override;
  void Ended() override;
  void StepBegins(const std::wstring& step) override;
  void WhenNoAnswer(const std::wstring& reason, std::function<void()> last) override;

 private:
  static DWORD WINAPI Watch(void* self);
  [[noreturn]] void EndNoAnswer();

  Platform& platform_;
  const DWORD limit_;
  CRITICAL_SECTION lock_;
  OwnedHandle changed_;  // set at every call's beginning and end
  OwnedHandle thread_;
  // Under lock_: whether a call is pending, since when, and whether the
  // limit has ended it.
  bool pending_ = false;
  DWORD begunAt_ = 0;
  bool expired_ = false;
  std::wstring step_;
  std::wstring noAnswerReason_;     // empty: the switch's words
  std::function<void()> lastWords_;  // run before the process ends, when set
  LONG ending_ = 0;  // set by the first to end the process: one line only
};

}  // namespace qel
