// The window's own messages, every one in this list so that no two share a
// number.
#pragma once

#include <windows.h>

namespace qel {

enum WindowMessage : UINT {
  // Posted by Run once the window shows: what the window needs only once it
  // is up is set up then.
  kMsgFinishSetUp = WM_APP + 1,
  // Posted by the fill: the first poll, as soon as the window shows, so that
  // the labels tell the switch's state from the start rather than at the
  // timer's first tick.
  kMsgFirstPoll,
  // A failure that a callback stopped at its edge (callback_edge.h): wParam
  // the texts::Unexpected, lParam where it happened (StoppedIn).
  kMsgCallbackStopped,
  // The library's thread has an answer (library_thread.h): the window takes
  // it from the thread.
  kMsgLibraryAnswer,
  // To the library's thread, not a window: lParam is the call to make.
  kMsgLibraryCall,
};

}  // namespace qel
