#include "win32/window/library_thread.h"

#include <new>
#include <type_traits>
#include <utility>

#include "core/outlets.h"

namespace qel {

LibraryThread::~LibraryThread() {
  if (!thread_) return;
  // Calls not yet made are not made; the one under way ends first.
  stopping_ = true;
  PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
  SetEvent(open_.get());
  WaitForSingleObject(thread_.get(), INFINITE);
}

bool LibraryThread::Start(HWND window) {
  window_ = window;
  ready_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  open_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!ready_ || !open_) return false;
  thread_.Reset(CreateThread(nullptr, 0, &LibraryThread::Run, this, 0, &threadId_));
  if (!thread_) return false;
  // A thread's message queue exists once it has looked at it: a call
  // posted before then would be lost.
  HANDLE waits[] = {ready_.get(), thread_.get()};
  if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) thread_.Reset(nullptr);
  return static_cast<bool>(thread_);
}

void LibraryThread::Open() {
  if (open_) SetEvent(open_.get());
}

void LibraryThread::Ask(std::unique_ptr<LibraryCall> call) {
  if (thread_ && PostThreadMessageW(threadId_, kMsgLibraryCall, 0, reinterpret_cast<LPARAM>(call.get()))) {
    call.release();  // the thread's now
    return;
  }
  Carry(std::move(call));
}

std::unique_ptr<LibraryCall> LibraryThread::TakeAnswer() {
  AcquireSRWLockExclusive(&answerLock_);
  std::unique_ptr<LibraryCall> answer = std::move(answer_);
  ReleaseSRWLockExclusive(&answerLock_);
  return answer;
}

DWORD WINAPI LibraryThread::Run(void* self) {
  auto& thread = *static_cast<LibraryThread*>(self);
  MSG message;
  PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // makes the queue
  SetEvent(thread.ready_.get());
  WaitForSingleObject(thread.open_.get(), INFINITE);
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.hwnd == nullptr && message.message == kMsgLibraryCall) {
      std::unique_ptr<LibraryCall> call(reinterpret_cast<LibraryCall*>(message.lParam));
      if (!thread.stopping_) thread.Carry(std::move(call));
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  // Calls asked for after the thread was told to stop go with it.
  while (PeekMessageW(&message, nullptr, kMsgLibraryCall, kMsgLibraryCall, PM_REMOVE)) {
    delete reinterpret_cast<LibraryCall*>(message.lParam);
  }
  return 0;
}

void LibraryThread::Carry(std::unique_ptr<LibraryCall> call) {
  LibraryCall& c = *call;
  // No exception leaves the thread: one that qel does not expect goes back
  // with the answer.
  try {
    std::visit(
        [&](auto& what) {
          using What = std::decay_t<decltype(what)>;
          if constexpr (std::is_same_v<What, SelectCall>) {
            c.failure = FailureOf([&] { SelectSwitch(library_, what.address); });
          } else if constexpr (std::is_same_v<What, PollCall>) {
            c.failure = FailureOf([&] { what.word = ReadStatus(library_, what.address); });
          } else {
            c.failure = FailureOf([&] { SwitchByMask(library_, what.address, what.mask, what.on ? 1 : 0); });
            what.stagingBegun = library_.stagingBegun();
          }
        },
        c.what);
    c.loadFailure = library_.loadFailure();
  } catch (const std::bad_alloc&) {
    c.unexpected = texts::Unexpected::kOutOfMemory;
  } catch (...) {
    c.unexpected = texts::Unexpected::kOther;
  }
  AcquireSRWLockExclusive(&answerLock_);
  answer_ = std::move(call);
  ReleaseSRWLockExclusive(&answerLock_);
  // Only a nudge: the answer waits for the window whether it arrives or not.
  notify_(window_, kMsgLibraryAnswer, 0, 0);
}

}  // namespace qel
