#include "win32/call_watchdog.h"

#include "core/command_script.h"
#include "core/window_texts.h"

namespace qel {

CallWatchdog::CallWatchdog(Platform& platform, DWORD limitMilliseconds)
    : platform_(platform),
      limit_(limitMilliseconds), changed_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
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
    const std::wstring reason = noAnswerReason_;
    const std::function<void()> last = lastWords_;
    LeaveCriticalSection(&lock_);
    platform_.WriteErrorLine(
        ScriptFailureLine({step, reason.empty() ? texts::CannotSwitchNoAnswer(limit_ / 1000) : reason}));
    if (last) last();
  }
  ExitProcess(static_cast<UINT>(kExitNoAnswer));
}

void CallWatchdog::StepBegins(const std::wstring& step) {
  EnterCriticalSection(&lock_);
  step_ = step;
  noAnswerReason_.clear();
  lastWords_ = nullptr;
  LeaveCriticalSection(&lock_);
}

void CallWatchdog::WhenNoAnswer(const std::wstring& reason, std::function<void()> last) {
  EnterCriticalSection(&lock_);
  noAnswerReason_ = reason;
  lastWords_ = std::move(last);
  LeaveCriticalSection(&lock_);
}

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
    if (expired) watchdog.EndNoAnswer();
    WaitForSingleObject(watchdog.changed_.get(), pending ? watchdog.limit_ - elapsed : INFINITE);
  }
}

}  // namespace qel
