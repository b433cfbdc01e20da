// A script's watchdog: holds each call into the switch library to a time
// limit (kCallLimitSeconds). A call that has not come back by then ends
// the process at once with kExitNoAnswer, from the watchdog's own thread:
// the call may never come back, and nothing after it may run. A call that
// comes back after the limit has passed ends it the same way.
//
// The thread starts with the first call; waits and started programs are no
// calls, and no limit holds them.
#pragma once

#include <windows.h>

#include "core/switch_library.h"
#include "win32/owned_handle.h"

namespace qel {

class CallWatchdog : public SwitchCallWatch {
 public:
  explicit CallWatchdog(DWORD limitMilliseconds);
  ~CallWatchdog() override;
  CallWatchdog(const CallWatchdog&) = delete;
  CallWatchdog& operator=(const CallWatchdog&) = delete;

  void Begins(const char* function) override;
  void Ended() override;

 private:
  static DWORD WINAPI Watch(void* self);
  [[noreturn]] static void EndNoAnswer();

  const DWORD limit_;
  CRITICAL_SECTION lock_;
  OwnedHandle changed_;  // set at every call's beginning and end
  OwnedHandle thread_;
  // Under lock_: whether a call is pending, since when, and whether the
  // limit has ended it.
  bool pending_ = false;
  DWORD begunAt_ = 0;
  bool expired_ = false;
};

}  // namespace qel
