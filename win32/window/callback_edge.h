// The edge of every callback through which the system calls the window's
// code: the window procedure (its timer, the poll, included), the subclass
// procedures of the outlet labels and the ON and OFF buttons, and the file
// drop's COM methods. No exception may cross it: on 32-bit x86 the GCC
// runtime unwinds a C++ exception by tables that the system's own frames
// between the callback and the event loop do not have, and an exception
// that reaches one ends the process at once, without a word.
//
// So each callback runs its work through StopAtEdge. The failures qel
// expects are handled inside (a runtime error of a switch, a mask that does
// not convert); what still comes out (the system out of memory, an error in
// qel itself) stops here, and the window is told with a posted message,
// which it turns into a message box, or for the poll into the labels'
// tooltips (MainWindow).
#pragma once

#include <windows.h>

#include <new>

#include "core/window_texts.h"
#include "win32/window/window_messages.h"

namespace qel {

// A stopped failure is posted to the main window as kMsgCallbackStopped
// (window_messages.h).
enum class StoppedIn : LPARAM {
  kMessage,  // a window message (a button, save and quit, set-up): said in a message box
  kPoll,     // the status poll: said in the labels' tooltips, as its other failures
};

// Runs `work` and returns its result; an exception it lets out is stopped
// and reported to `window` (nothing is said when it is null), and
// `stopped` is returned instead.
template <typename Result, typename Work>
Result StopAtEdge(HWND window, StoppedIn where, Result stopped, Work&& work) noexcept {
  texts::Unexpected failure = texts::Unexpected::kOther;
  try {
    return work();
  } catch (const std::bad_alloc&) {
    failure = texts::Unexpected::kOutOfMemory;
  } catch (...) {
  }
  if (window != nullptr) {
    PostMessageW(window, kMsgCallbackStopped, static_cast<WPARAM>(failure), static_cast<LPARAM>(where));
  }
  return stopped;
}

}  // namespace qel
