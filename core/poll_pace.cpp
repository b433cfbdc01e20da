#include "core/poll_pace.h"

namespace qel {

void PollPace::Asked(Ticks now, CallKind kind) {
  pending_ = true;
  kind_ = kind;
  askedAt_ = now;
  if (kind == CallKind::kPoll) pollNow_ = false;
}

void PollPace::Answered(Ticks now, bool failed) {
  if (!pending_) return;
  const Ticks took = now - askedAt_;
  const bool pastLimit = PastLimit(now);
  pending_ = false;
  if (kind_ == CallKind::kSwitch) pollNow_ = true;
  // Only a poll sets the pace: a switch's time says little about the poll.
  if (kind_ != CallKind::kPoll) return;
  // Backing off is for a poll that failed slowly or passed the limit.
  const bool backOff = (failed || pastLimit) && took > kPollMilliseconds;
  wait_ = !backOff ? kPollMilliseconds : wait_ >= kLongestPollWait / 2 ? kLongestPollWait : 2 * wait_;
  answered_ = true;
  answeredAt_ = now;
}

PollPace::Ticks PollPace::NextPollIn(Ticks now) const {
  if (pending_ || !answered_) return 0;
  if (pollNow_) return 0;
  const Ticks since = now - answeredAt_;
  return since >= wait_ ? 0 : wait_ - since;
}

}  // namespace qel
