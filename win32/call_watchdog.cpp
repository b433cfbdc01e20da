#include "win32/call_watchdog.h"

#include "core/command_script.h"

namespace qel {

CallWatchdog::CallWatchdog(DWORD limitMilliseconds)
    : limit_(limitMilliseconds), changed_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  InitializeCriticalSection(&lock_);
}

// The process ends before a watchdog that watched a call goes away; one
// that never started its thread has nothing to stop.
CallWatchdog::~CallWatchdog() {
  if (!thread_) DeleteCriticalSection(&lock_);
}

void CallWatchdog::EndNoAnswer() { ExitProcess(static_cast<UINT>(kExitNoAnswer)); }

void CallWatchdog::Begins(const char*) {
  EnterCriticalSection(&lock_);
  pending_ = true;
  begunAt_ = GetTickCount();
  LeaveCriticalSection(&lock_);
  // Without a thread to watch it, the call goes on unwatched, as it would
  // without a watchdog.
  if (!thread_) thread_.Reset(CreateThread(nullptr, 0, &CallWatchdog::Watch, this, 0, nullptr));
  SetEvent(changed_.get());
}

void CallWatchdog::Ended() {
  EnterCriticalSection(&lock_);
  const bool expired = expired_;
  pending_ = false;
  LeaveCriticalSection(&lock_);
  if (expired) EndNoAnswer();  // the watchdog is ending the process: nothing more runs
  SetEvent(changed_.get());
}

DWORD WINAPI CallWatchdog::Watch(void* self) {
  auto& watchdog = *static_cast<CallWatchdog*>(self);
  for (;;) {
    EnterCriticalSection(&watchdog.lock_);
    const bool pending = watchdog.pending_;
    const DWORD elapsed = GetTickCount() - watchdog.begunAt_;
    const bool expired = pending && elapsed >= watchdog.limit_;
    watchdog.expired_ = expired;
    LeaveCriticalSection(&watchdog.lock_);
    if (expired) EndNoAnswer();
    WaitForSingleObject(watchdog.changed_.get(), pending ? watchdog.limit_ - elapsed : INFINITE);
  }
}

}  // namespace qel
