#include "win32/window/library_thread.h"

#include <new>

#include "core/outlets.h"
#include "core/settings.h"

namespace qel {
namespace {

// The thread's own message: lParam is the LibraryCall to make.
constexpr UINT kMsgCall = WM_APP + 1;

}  // namespace

bool LibraryThread::Start(HWND window) {
  window_ = window;
  ready_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!ready_) return false;
  thread_.Reset(CreateThread(nullptr, 0, &LibraryThread::Run, this, 0, &threadId_));
  if (!thread_) return false;
  // A thread's message queue exists once it has looked at it: a call
  // posted before then would be lost.
  HANDLE waits[] = {ready_.get(), thread_.get()};
  if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) thread_.Reset(nullptr);
  return static_cast<bool>(thread_);
}

void LibraryThread::Ask(std::unique_ptr<LibraryCall> call) {
  if (thread_ && PostThreadMessageW(threadId_, kMsgCall, 0, reinterpret_cast<LPARAM>(call.get()))) {
    call.release();  // the thread's now
    return;
  }
  Carry(std::move(call));
}

DWORD WINAPI LibraryThread::Run(void* self) {
  auto& thread = *static_cast<LibraryThread*>(self);
  MSG message;
  PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // makes the queue
  SetEvent(thread.ready_.get());
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.hwnd == nullptr && message.message == kMsgCall) {
      thread.Carry(std::unique_ptr<LibraryCall>(reinterpret_cast<LibraryCall*>(message.lParam)));
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

void LibraryThread::Carry(std::unique_ptr<LibraryCall> call) {
  LibraryCall& c = *call;
  // No exception leaves the thread: one that qel does not expect goes back
  // with the answer.
  try {
    switch (c.kind) {
      case LibraryCall::Kind::kSelect:
        c.failure = FailureOf([&] { SelectSwitch(library_, c.address); });
        break;
      case LibraryCall::Kind::kPoll:
        c.failure = FailureOf([&] {
          c.savedAddress = ReadSetting(library_.platform(), kAddressKey);
          c.word = ReadStatus(library_, *c.savedAddress);
        });
        break;
      case LibraryCall::Kind::kSwitch:
        c.failure = FailureOf([&] { SwitchByMask(library_, c.address, c.mask, c.on ? 1 : 0); });
        c.loadFailure = library_.loadFailure();
        break;
    }
  } catch (const std::bad_alloc&) {
    c.unexpected = texts::Unexpected::kOutOfMemory;
  } catch (...) {
    c.unexpected = texts::Unexpected::kOther;
  }
  // A window that is gone takes no answer.
  if (PostMessageW(window_, kMsgLibraryAnswer, 0, reinterpret_cast<LPARAM>(call.get()))) call.release();
}

}  // namespace qel
