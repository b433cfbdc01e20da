// When the window asks the switch for its state, and what it makes of a
// call that has not come back. Portable: the window gives the time (a
// millisecond count that may wrap) and does the asking. These are the pace
// rules of the whole window; the panel (win32/window/live_panel.h) follows
// them.
//
// - One call into the switch library is pending at a time: a poll, the
//   window's first selection, or an ON or OFF.
// - A poll is due kPollMilliseconds after the last poll's answer, however
//   long that answer took: a switch that answers slowly but surely is asked
//   as often as it can answer.
// - Backing off is for polls that fail or pass the limit: after one that
//   took longer than kPollMilliseconds, the next waits twice as long as the
//   wait before it, up to kLongestPollWait. A failure that comes back within
//   kPollMilliseconds (no socket.dll, no saved address, a library that
//   refuses at once) keeps kPollMilliseconds: asking again costs nothing,
//   and a mended fault shows at once. The first poll that answers brings the
//   wait back to kPollMilliseconds.
// - Right after qel's own ON or OFF comes back, a poll is due at once, so
//   that the labels follow the switch the user just made.
// - A call pending for kSayWaitingAfter or more is said to be awaited; one
//   pending for kCallLimitSeconds or more has not answered, and no state is
//   known until it does.
#pragma once

#include <cstdint>

#include "core/switch_library.h"

namespace qel {

inline constexpr unsigned kPollMilliseconds = 500;
inline constexpr unsigned kLongestPollWait = 30000;
inline constexpr unsigned kSayWaitingAfter = 1000;

// The calls the window makes into the switch library.
enum class CallKind {
  kSelect,  // the window's first selection of the switch
  kPoll,    // the status poll
  kSwitch,  // ON or OFF
};

class PollPace {
 public:
  using Ticks = std::uint32_t;  // milliseconds

  // Whether a poll may be asked for at `now`: nothing pending and its time
  // has come (the first poll is due at once, and one right after a switch).
  // The window looks every kPollMilliseconds, so a poll is due from half of
  // that before the wait ends: at the look nearest to its end.
  bool PollDue(Ticks now) const {
    return !pending_ && (!answered_ || pollNow_ || now - answeredAt_ + kPollMilliseconds / 2 >= wait_);
  }
  // A call of `kind` was handed to the library at `now`.
  void Asked(Ticks now, CallKind kind);
  // The pending call came back at `now`; `failed` when it brought no
  // answer (a failure of any kind). Only a poll's answer sets the pace:
  // until the first poll has answered a poll is due at once.
  void Answered(Ticks now, bool failed);

  bool Pending() const { return pending_; }
  // The kind of the pending call (or of the last one).
  CallKind PendingKind() const { return kind_; }
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
  CallKind kind_ = CallKind::kPoll;
  bool answered_ = false;
  bool pollNow_ = false;  // a switch came back: the next poll is due at once
  Ticks askedAt_ = 0;
  Ticks answeredAt_ = 0;
  Ticks wait_ = kPollMilliseconds;
};

}  // namespace qel
