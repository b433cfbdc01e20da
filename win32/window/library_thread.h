// The one thread that calls the switch library while the window runs: the
// window hands it a call and carries on, and the answer comes back to the
// window. The library sees one thread, as before, with the calls in the
// order they were asked for; between calls the thread waits in a message
// loop of its own.
//
// The answer is kept by the thread until the window takes it (TakeAnswer);
// a posted kMsgLibraryAnswer tells the window that it is there. Should that
// message be lost (a full message queue), the window's poll timer takes the
// answer all the same: no call stays pending for good.
//
// The thread touches socket.dll only: the window gives it everything else
// (the saved address among it).
//
// The thread is made with the window but makes no call until the window
// opens it (Open), once the window has shown and loaded whatever it loads
// itself: a socket.dll that hangs while it loads holds the system's loader,
// and nothing the window does may wait for it.
//
// The thread is stopped and waited for when it goes: a call under way ends
// first. qel.exe does not wait for it: it ends its process without running
// the window's destructors (main.cpp), so a call that never comes back
// cannot keep it.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "core/errors.h"
#include "core/poll_pace.h"
#include "core/switch_library.h"
#include "core/window_texts.h"
#include "win32/owned_handle.h"
#include "win32/window/window_messages.h"

namespace qel {

// setip of `address` (SelectSwitch), as the window does once at start.
struct SelectCall {
  std::wstring address;
};

// The status word of the switch at `address`, the address saved in ip.ini
// as the window read it.
struct PollCall {
  std::wstring address;
  std::int16_t word = 0;  // the answer
};

// SwitchByMask with `address`, `mask` and `on`.
struct SwitchCall {
  std::wstring address;
  std::int16_t mask = 0;
  bool on = false;
  int outlet = 0;  // the outlet (0-based) whose ON or OFF it is, for the log
  // Whether a failure came once the word was being staged
  // (SwitchLibrary::stagingBegun): the outlet may have switched.
  bool stagingBegun = false;
};

struct LibraryCall {
  // In the order of CallKind.
  std::variant<SelectCall, PollCall, SwitchCall> what;

  // What came of it.
  std::optional<ErrorKind> failure;
  // Why socket.dll did not load, for a failure of kLibraryNotFound.
  SystemError loadFailure;
  // A failure that qel's handling does not expect (callback_edge.h).
  std::optional<texts::Unexpected> unexpected;

  CallKind kind() const { return static_cast<CallKind>(what.index()); }
  bool failed() const { return failure.has_value() || unexpected.has_value(); }
};

class LibraryThread {
 public:
  // How the thread tells the window that an answer is there (tests put a
  // failing one in PostMessageW's place).
  using Notify = BOOL(WINAPI*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  explicit LibraryThread(SwitchLibrary& library, Notify notify = &PostMessageW) : library_(library), notify_(notify) {}
  ~LibraryThread();  // stops the thread and waits for a call under way to end
  LibraryThread(const LibraryThread&) = delete;
  LibraryThread& operator=(const LibraryThread&) = delete;

  // Starts the thread, whose answers go to `window`; false when it cannot.
  // It makes no call until it is opened.
  bool Start(HWND window);
  // From now on the thread makes the calls asked for, those asked before
  // first.
  void Open();
  // Hands a call to the thread. Without a thread (or one that cannot be
  // asked) the call is made here and now, and its answer kept all the same.
  void Ask(std::unique_ptr<LibraryCall> call);
  // The answer of the call asked last, once it has come; null before.
  std::unique_ptr<LibraryCall> TakeAnswer();

 private:
  static DWORD WINAPI Run(void* self);
  // Makes the call and keeps its answer for the window.
  void Carry(std::unique_ptr<LibraryCall> call);

  SwitchLibrary& library_;
  const Notify notify_;
  HWND window_ = nullptr;
  OwnedHandle thread_;
  DWORD threadId_ = 0;
  OwnedHandle ready_;  // set once the thread has its message queue
  OwnedHandle open_;   // set once the thread may call the library
  std::atomic<bool> stopping_{false};
  SRWLOCK answerLock_ = SRWLOCK_INIT;
  std::unique_ptr<LibraryCall> answer_;  // under answerLock_
};

}  // namespace qel
