// When the window asks the switch for its state, and what it makes of a
// call that has not come back. Portable: the window gives the time (a
// millisecond count that may wrap) and does the asking.
//
// One call into the switch library is pending at a time. A poll is due
// kPollMilliseconds after the last answer; after a poll that took longer
// than that, the next one waits twice as long as the wait before it, up to
// kLongestPollWait; a poll that answers within kPollMilliseconds brings the
// wait back to kPollMilliseconds. A call pending for kSayWaitingAfter or
// more is said to be awaited; one pending for kCallLimitSeconds or more has
// not answered, and no state is known until it does.
#pragma once

#include <cstdint>

#include "core/switch_library.h"

namespace qel {

inline constexpr unsigned kPollMilliseconds = 500;
inline constexpr unsigned kLongestPollWait = 30000;
inline constexpr unsigned kSayWaitingAfter = 1000;

class PollPace {
 public:
  using Ticks = std::uint32_t;  // milliseconds

  // Whether a poll may be asked for at `now`: nothing pending and its time
  // has come (the first poll is due at once). The window looks every
  // kPollMilliseconds, so a poll is due from half of that before the wait
  // ends: at the look nearest to its end.
  bool PollDue(Ticks now) const {
    return !pending_ && (!answered_ || now - answeredAt_ + kPollMilliseconds / 2 >= wait_);
  }
  // A call was handed to the library at `now`: a poll, or another (the
  // window's first selection, a switch).
  void Asked(Ticks now, bool poll);
  // The pending call came back at `now`. Only a poll's answer sets the
  // pace: until the first poll has answered a poll is due at once.
  void Answered(Ticks now);

  bool Pending() const { return pending_; }
  // Whether any poll has answered yet.
  bool PollAnswered() const { return answered_; }
  // How long the pending call has been pending.
  Ticks PendingFor(Ticks now) const { return pending_ ? now - askedAt_ : 0; }
  bool PastLimit(Ticks now) const { return PendingFor(now) >= kCallLimitSeconds * 1000; }
  // The wait from the last answer to the next poll.
  Ticks Wait() const { return wait_; }
  // How long until the next poll is due; 0 when it is due or a call is
  // pending.
  Ticks NextPollIn(Ticks now) const;

 private:
  bool pending_ = false;
  bool poll_ = false;
  bool answered_ = false;
  Ticks askedAt_ = 0;
  Ticks answeredAt_ = 0;
  Ticks wait_ = kPollMilliseconds;
};

}  // namespace qel
