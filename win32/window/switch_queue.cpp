#include "win32/window/switch_queue.h"

#include <utility>

namespace qel {

SwitchQueue::Placed SwitchQueue::Place(std::unique_ptr<LibraryCall>& call, bool pending) {
  if (!pending) return Placed::kAskNow;
  if (pendingSwitch_ || queued_) return Placed::kBusy;
  // Right after the pending poll (or the first selection): the user
  // pressed it, not the poll.
  queued_ = std::move(call);
  return Placed::kQueued;
}

}  // namespace qel
