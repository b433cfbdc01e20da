// ON and OFF on their way to the switch library. One call is pending at a
// time; ON or OFF pressed while a poll (or the window's first selection) is
// pending waits to go right after it, one at most. Pressed while a switch
// is pending or one already waits, it is refused.
#pragma once

#include <memory>

#include "win32/window/library_thread.h"

namespace qel {

class SwitchQueue {
 public:
  enum class Placed {
    kAskNow,  // nothing is pending: the caller hands it to the thread now
    kQueued,  // kept: it goes right after the pending call
    kBusy,    // refused: a switch is pending or one waits already
  };

  // Where an ON or OFF pressed now goes, with `pending` whether a call is
  // pending. Kept, it is taken from `call`; otherwise `call` stays the
  // caller's.
  Placed Place(std::unique_ptr<LibraryCall>& call, bool pending);
  // `call` was handed to the thread, as the pending one.
  void Asked(const LibraryCall& call) { pendingSwitch_ = call.kind == LibraryCall::Kind::kSwitch; }

  bool Waiting() const { return queued_ != nullptr; }
  // The waiting ON or OFF, taken: it waits no more.
  std::unique_ptr<LibraryCall> Take() { return std::move(queued_); }
  // The waiting ON or OFF is not carried out.
  void Drop() { queued_.reset(); }

 private:
  bool pendingSwitch_ = false;  // the pending call is ON's or OFF's
  std::unique_ptr<LibraryCall> queued_;  // ON or OFF after the pending call
};

}  // namespace qel
