// The one thread that calls the switch library while the window runs: the
// window hands it a call and carries on, and the answer comes back to the
// window as a posted message. The library sees one thread, as before, with
// the calls in the order they were asked for; between calls the thread
// waits in a message loop of its own.
//
// Nothing waits for the thread to end: a call that never comes back leaves
// it behind, and the process ends all the same (main.cpp ends it with
// ExitProcess).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/errors.h"
#include "core/switch_library.h"
#include "core/window_texts.h"
#include "win32/owned_handle.h"

namespace qel {

// An answer of the thread, posted to the window: lParam is the LibraryCall,
// which TakeAnswer gives back.
inline constexpr UINT kMsgLibraryAnswer = WM_APP + 4;

struct LibraryCall {
  enum class Kind {
    kSelect,  // setip of `address` (SelectSwitch), as the window does once at start
    kPoll,    // the status word of the switch whose address is saved in ip.ini
    kSwitch,  // SwitchByMask with `address`, `mask` and `on`
  };
  Kind kind = Kind::kPoll;
  std::wstring address;
  std::int16_t mask = 0;
  bool on = false;
  int outlet = 0;  // kSwitch: the outlet (0-based) whose ON or OFF it is, for the log

  // What came of it. kPoll: the address read from ip.ini (none when it
  // could not be read) and the word.
  std::optional<std::wstring> savedAddress;
  std::int16_t word = 0;
  std::optional<ErrorKind> failure;
  // Why socket.dll did not load, for a failure of kLibraryNotFound.
  SystemError loadFailure;
  // A failure that qel's handling does not expect (callback_edge.h).
  std::optional<texts::Unexpected> unexpected;
};

class LibraryThread {
 public:
  explicit LibraryThread(SwitchLibrary& library) : library_(library) {}
  LibraryThread(const LibraryThread&) = delete;
  LibraryThread& operator=(const LibraryThread&) = delete;

  // Starts the thread, whose answers go to `window`; false when it cannot.
  bool Start(HWND window);
  // Hands a call to the thread. Without a thread (or one that cannot be
  // asked) the call is made here and now, and its answer posted all the
  // same.
  void Ask(std::unique_ptr<LibraryCall> call);
  // The call of a kMsgLibraryAnswer, with what came of it.
  static std::unique_ptr<LibraryCall> TakeAnswer(LPARAM lParam) {
    return std::unique_ptr<LibraryCall>(reinterpret_cast<LibraryCall*>(lParam));
  }

 private:
  static DWORD WINAPI Run(void* self);
  // Makes the call and posts its answer to the window.
  void Carry(std::unique_ptr<LibraryCall> call);

  SwitchLibrary& library_;
  HWND window_ = nullptr;
  OwnedHandle thread_;
  DWORD threadId_ = 0;
  OwnedHandle ready_;  // set once the thread has its message queue
};

}  // namespace qel
