#include "core/poll_pace.h"

#include <gtest/gtest.h>

#include <string>

namespace qel {
namespace {

using Ticks = PollPace::Ticks;

// A poll asked at `at` that comes back `took` later, failed or not; the
// time of the answer.
Ticks Poll(PollPace& pace, Ticks at, Ticks took, bool failed) {
  EXPECT_TRUE(pace.PollDue(at)) << "at " << at;
  pace.Asked(at, CallKind::kPoll);
  EXPECT_FALSE(pace.PollDue(at + took)) << "a poll was due while one was pending";
  pace.Answered(at + took, failed);
  return at + took;
}

constexpr Ticks kLimit = kCallLimitSeconds * 1000;

// The wait after each poll of a row. A poll that answers keeps the
// interval however slow it is, unless it passed the limit; one that fails
// slowly doubles the wait up to the longest; a failure that comes back at
// once keeps the interval. The count wraps in the middle of it.
TEST(PollPace, OnlyPollsThatFailSlowlyOrPassTheLimitBackOff) {
  const struct {
    Ticks took;
    bool failed;
    Ticks wait;
  } polls[] = {
      {20, false, 500},      {3000, false, 500},    {kLimit - 1, false, 500}, {501, true, 1000},
      {3000, true, 2000},    {600, true, 4000},     {kLimit, false, 8000},    {600, true, 16000},
      {15000, true, 30000},  {600, true, 30000},    {9000, false, 500},       {700, true, 1000},
      {500, true, 500},      {700, true, 1000},     {10, true, 500},          {499, false, 500},
  };
  for (Ticks start : {Ticks{0}, Ticks{0xFFFFF000u}}) {
    PollPace pace;
    Ticks now = start;
    for (const auto& p : polls) {
      SCOPED_TRACE("a poll that took " + std::to_string(p.took) + (p.failed ? " and failed" : " and answered"));
      now = Poll(pace, now, p.took, p.failed);
      EXPECT_EQ(pace.Wait(), p.wait);
      EXPECT_EQ(pace.NextPollIn(now), p.wait);
      // Due at the look nearest to the wait's end, not before.
      EXPECT_FALSE(pace.PollDue(now + p.wait - kPollMilliseconds / 2 - 1));
      EXPECT_EQ(pace.NextPollIn(now + p.wait - 100), 100u);
      now += p.wait - kPollMilliseconds / 2;
    }
  }
}

// A slow switch answering after 3 s: the next poll is asked 500 ms after
// each answer, not 30 s later.
TEST(PollPace, ASwitchThatAnswersSlowlyIsAskedHalfASecondAfterEachAnswer) {
  PollPace pace;
  Ticks now = 0;
  for (int i = 0; i < 8; ++i) {
    now = Poll(pace, now, 3000, false);
    EXPECT_FALSE(pace.PollDue(now + kPollMilliseconds / 2 - 1));
    now += kPollMilliseconds / 2;
  }
  EXPECT_EQ(pace.Wait(), kPollMilliseconds);
}

TEST(PollPace, OneCallAtATimeAndItsLimit) {
  PollPace pace;
  EXPECT_TRUE(pace.PollDue(0)) << "the first poll waits";
  EXPECT_FALSE(pace.Pending());
  pace.Asked(100, CallKind::kSelect);
  EXPECT_TRUE(pace.Pending());
  EXPECT_EQ(pace.PendingKind(), CallKind::kSelect);
  EXPECT_FALSE(pace.PollDue(100000));
  EXPECT_EQ(pace.PendingFor(1099), 999u);
  EXPECT_FALSE(pace.PastLimit(100 + kLimit - 1));
  EXPECT_TRUE(pace.PastLimit(100 + kLimit));
  EXPECT_EQ(pace.NextPollIn(500), 0u);
  // A slow selection leaves the poll's pace as it was, and before the first
  // poll's answer a poll is due at once.
  pace.Answered(20000, true);
  EXPECT_FALSE(pace.Pending());
  EXPECT_EQ(pace.Wait(), kPollMilliseconds);
  EXPECT_TRUE(pace.PollDue(20000));
  EXPECT_FALSE(pace.PastLimit(40000));
}

// Right after qel's own ON or OFF comes back, answered or not, a poll is
// due at once, even while the polls back off; that poll's answer sets the
// pace again.
TEST(PollPace, AfterASwitchAPollIsDueAtOnce) {
  for (const bool switchFailed : {false, true}) {
    SCOPED_TRACE(switchFailed ? "the switch failed" : "the switch answered");
    PollPace pace;
    Ticks now = Poll(pace, 0, 4000, true);  // backing off: 1 s
    now = Poll(pace, now + 1000, 4000, true);  // 2 s
    ASSERT_EQ(pace.Wait(), 2000u);
    pace.Asked(now + 10, CallKind::kSwitch);
    EXPECT_FALSE(pace.PollDue(now + 5000)) << "due while the switch is pending";
    pace.Answered(now + 100, switchFailed);
    EXPECT_TRUE(pace.PollDue(now + 100)) << "the poll after the switch waits";
    EXPECT_EQ(pace.NextPollIn(now + 100), 0u);
    now = Poll(pace, now + 100, 50, false);
    EXPECT_FALSE(pace.PollDue(now)) << "still due at once after that poll";
    EXPECT_EQ(pace.Wait(), kPollMilliseconds);
  }
}

}  // namespace
}  // namespace qel
