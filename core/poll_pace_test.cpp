#include "core/poll_pace.h"

#include <gtest/gtest.h>

#include <vector>

namespace qel {
namespace {

using Ticks = PollPace::Ticks;

// A poll asked at `at` that answers `took` later; the time of the answer.
Ticks Poll(PollPace& pace, Ticks at, Ticks took) {
  EXPECT_TRUE(pace.PollDue(at)) << "at " << at;
  pace.Asked(at, true);
  EXPECT_FALSE(pace.PollDue(at + took)) << "a poll was due while one was pending";
  pace.Answered(at + took);
  return at + took;
}

// The wait after each poll of a row, from a quick answer on: doubling up to
// the longest, back to the interval at the first quick answer. The count
// wraps in the middle of it.
TEST(PollPace, ASlowPollDoublesTheWaitAQuickOneBringsItBack) {
  const struct {
    Ticks took;
    Ticks wait;
  } polls[] = {
      {20, 500},     {500, 500},     {501, 1000},    {3000, 2000},   {600, 4000},  {600, 8000},
      {600, 16000},  {15000, 30000}, {600, 30000},   {10, 500},      {700, 1000},  {499, 500},
  };
  for (Ticks start : {Ticks{0}, Ticks{0xFFFFF000u}}) {
    PollPace pace;
    Ticks now = start;
    for (const auto& p : polls) {
      SCOPED_TRACE("a poll that took " + std::to_string(p.took));
      now = Poll(pace, now, p.took);
      EXPECT_EQ(pace.Wait(), p.wait);
      EXPECT_EQ(pace.NextPollIn(now), p.wait);
      // Due at the look nearest to the wait's end, not before.
      EXPECT_FALSE(pace.PollDue(now + p.wait - kPollMilliseconds / 2 - 1));
      EXPECT_EQ(pace.NextPollIn(now + p.wait - 100), 100u);
      now += p.wait - kPollMilliseconds / 2;
    }
  }
}

TEST(PollPace, OneCallAtATimeAndItsLimit) {
  PollPace pace;
  EXPECT_TRUE(pace.PollDue(0)) << "the first poll waits";
  EXPECT_FALSE(pace.Pending());
  pace.Asked(100, false);  // a switch
  EXPECT_TRUE(pace.Pending());
  EXPECT_FALSE(pace.PollDue(100000));
  EXPECT_EQ(pace.PendingFor(1099), 999u);
  EXPECT_FALSE(pace.PastLimit(100 + kCallLimitSeconds * 1000 - 1));
  EXPECT_TRUE(pace.PastLimit(100 + kCallLimitSeconds * 1000));
  EXPECT_EQ(pace.NextPollIn(500), 0u);
  // A slow switch leaves the poll's pace as it was, and before the first
  // poll's answer a poll is due at once.
  pace.Answered(20000);
  EXPECT_FALSE(pace.Pending());
  EXPECT_EQ(pace.Wait(), kPollMilliseconds);
  EXPECT_TRUE(pace.PollDue(20000));
  EXPECT_FALSE(pace.PastLimit(40000));
}

}  // namespace
}  // namespace qel
