#include "core/poll_pace.h"

namespace qel {

void PollPace::Asked(Ticks now, bool poll) {
  pending_ = true;
  poll_ = poll;
  askedAt_ = now;
}

void PollPace::Answered(Ticks now) {
  if (!pending_) return;
  const Ticks took = now - askedAt_;
  pending_ = false;
  // Only a poll sets the pace: a switch's time says little about the poll.
  if (!poll_) return;
  wait_ = took <= kPollMilliseconds ? kPollMilliseconds : wait_ >= kLongestPollWait / 2 ? kLongestPollWait : 2 * wait_;
  answered_ = true;
  answeredAt_ = now;
}

PollPace::Ticks PollPace::NextPollIn(Ticks now) const {
  if (pending_ || !answered_) return 0;
  const Ticks since = now - answeredAt_;
  return since >= wait_ ? 0 : wait_ - since;
}

}  // namespace qel
