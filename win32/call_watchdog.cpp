#include "win32/call_watchdog.h"

#include <cstring>

#include "core/command_script.h"
#include "core/window_texts.h"

namespace qel {

void EndThisProcessNow(UINT exitCode) {
  TerminateProcess(GetCurrentProcess(), exitCode);
  ExitProcess(exitCode);  // only should the system refuse the first
}

CallWatchdog::CallWatchdog(Platform& platform, DWORD limitMilliseconds, ProcessEnd end)
    : platform_(platform),
      limit_(limitMilliseconds),
      end_(end),
      changed_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      running_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  InitializeCriticalSection(&lock_);
}

// The process ends before a watchdog that watched a call goes away; one
// that never started its thread has nothing to stop.
CallWatchdog::~CallWatchdog() {
  if (!thread_) DeleteCriticalSection(&lock_);
}

void CallWatchdog::EndNoAnswer() {
  if (InterlockedExchange(&ending_, 1) == 0) {
    EnterCriticalSection(&lock_);
    const std::wstring step = step_;
    const bool staging = staging_;
    LeaveCriticalSection(&lock_);
    const std::wstring reason = texts::CannotSwitchNoAnswer(limit_ / 1000);
    platform_.WriteErrorLine(ScriptFailureLine({step, staging ? texts::MayHaveSwitched(reason) : reason}));
    end_(static_cast<UINT>(kExitNoAnswer));
  }
  // The other side is writing the line and ends the process after it.
  for (;;) Sleep(INFINITE);
}

void CallWatchdog::StepBegins(const std::wstring& step) {
  EnterCriticalSection(&lock_);
  step_ = step;
  staging_ = false;
  LeaveCriticalSection(&lock_);
}

bool CallWatchdog::StartThread() {
  if (!changed_ || !running_) return false;
  thread_.Reset(CreateThread(nullptr, 0, &CallWatchdog::Watch, this, 0, nullptr));
  if (!thread_) return false;
  // Running, or ended without running (it cannot: then nothing watches).
  const HANDLE either[] = {running_.get(), thread_.get()};
  return WaitForMultipleObjects(2, either, FALSE, INFINITE) == WAIT_OBJECT_0;
}

void CallWatchdog::Begins(const char* function) {
  // Without a thread to watch it, the call goes on unwatched, as it would
  // without a watchdog.
  if (!thread_ && !noThread_) noThread_ = !StartThread();
  const bool staging = std::strcmp(function, "setdata") == 0 || std::strcmp(function, "cleandata") == 0 ||
                       std::strcmp(function, "transfer") == 0;
  EnterCriticalSection(&lock_);
  pending_ = true;
  begunAt_ = GetTickCount();
  if (staging) staging_ = true;
  LeaveCriticalSection(&lock_);
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
  SetEvent(watchdog.running_.get());
  for (;;) {
    EnterCriticalSection(&watchdog.lock_);
    const bool pending = watchdog.pending_;
    const DWORD elapsed = GetTickCount() - watchdog.begunAt_;
    const bool expired = pending && elapsed >= watchdog.limit_;
    watchdog.expired_ = expired;
    LeaveCriticalSection(&watchdog.lock_);
    if (expired) watchdog.EndNoAnswer();
    WaitForSingleObject(watchdog.changed_.get(), pending ? watchdog.limit_ - elapsed : INFINITE);
  }
}

}  // namespace qel
