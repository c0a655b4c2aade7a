// The main loop's fixed-step clock, driven with made-up tick sequences.
#include "app/loop_clock.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Iterations every `every` ms from `from` up to and including `to`; returns the
// total steps run.
int runEvery(LoopClock& clock, uint32_t from, uint32_t to, uint32_t every) {
  int total = 0;
  for (uint32_t t = from; t - from <= to - from; t += every)
    total += advanceLoopClock(clock, t).steps;
  return total;
}

}  // namespace

TEST(LoopClockSteps, OneStepPerThreeMillisecondsWithTheRemainderCarried) {
  LoopClock clock;
  startLoopClock(clock, 5000);
  EXPECT_EQ(advanceLoopClock(clock, 5002).steps, 0);  // 2 ms: no step, a frame all the same
  EXPECT_EQ(advanceLoopClock(clock, 5003).steps, 1);
  EXPECT_EQ(advanceLoopClock(clock, 5005).steps, 0);  // 2 ms after the last step
  EXPECT_EQ(advanceLoopClock(clock, 5013).steps, 3);  // 10 ms: 3 steps, 1 ms carried
  EXPECT_EQ(advanceLoopClock(clock, 5014).steps, 0);
  EXPECT_EQ(advanceLoopClock(clock, 5015).steps, 1);
  EXPECT_EQ(clock.stepClock, 5015u);
}

TEST(LoopClockSteps, BacklogUpToTheLimitIsCaughtUpAndLongerIsDropped) {
  LoopClock clock;
  startLoopClock(clock, 1000);
  EXPECT_EQ(advanceLoopClock(clock, 1700).steps, 233);  // 699 ms run, 1 ms carried
  EXPECT_EQ(advanceLoopClock(clock, 1701).steps, 0);
  EXPECT_EQ(advanceLoopClock(clock, 1702).steps, 1);

  startLoopClock(clock, 1000);
  EXPECT_EQ(advanceLoopClock(clock, 1750).steps, 250);  // the limit itself still runs
  EXPECT_EQ(advanceLoopClock(clock, 2550).steps, 0);    // 800 ms stall: dropped whole
  EXPECT_EQ(clock.stepClock, 2550u);
  EXPECT_EQ(advanceLoopClock(clock, 2553).steps, 1);  // and timing resumes from there
}

TEST(LoopClockSteps, ClockGoingBackwardsRestartsWithoutSteps) {
  LoopClock clock;
  startLoopClock(clock, 1000);
  EXPECT_EQ(advanceLoopClock(clock, 990).steps, 0);
  EXPECT_EQ(clock.stepClock, 990u);
  EXPECT_EQ(advanceLoopClock(clock, 996).steps, 2);
}

TEST(LoopClockRate, ReportsStepsPerSecondAfterMoreThanOneSecond) {
  LoopClock clock;
  startLoopClock(clock, 0);
  // Every 3 ms up to 999: 333 steps; 1002 is the first iteration past 1000 ms.
  EXPECT_EQ(runEvery(clock, 3, 999, 3), 333);
  ClockAdvance a = advanceLoopClock(clock, 1002);
  ASSERT_TRUE(a.report);
  EXPECT_FLOAT_EQ(a.stepsPerSecond, 333.0f / 1.002f);
  // The new window starts at the step clock, before this iteration's step,
  // which already counts in it.
  EXPECT_EQ(clock.rateStart, 999u);
  EXPECT_EQ(clock.rateSteps, 1);
  EXPECT_EQ(a.steps, 1);
}

TEST(LoopClockRate, NoReportWithinTheFirstSecond) {
  LoopClock clock;
  startLoopClock(clock, 0);
  for (uint32_t t = 0; t <= 1000; ++t) EXPECT_FALSE(advanceLoopClock(clock, t).report) << t;
  EXPECT_TRUE(advanceLoopClock(clock, 1001).report);
}

TEST(LoopClockRate, ReportsOnceBetween1001And1999ButNotAt2000OrMore) {
  // {gap, start of the next window}: the window restarts at the step clock,
  // which the backlog discard has moved to now unless the gap since the last
  // step (at 400) stayed within 750 ms.
  const uint32_t cases[][2] = {{1001, 400}, {1500, 1600}, {1999, 2099}};
  for (const auto& c : cases) {
    uint32_t gap = c[0];
    LoopClock clock;
    startLoopClock(clock, 100);
    advanceLoopClock(clock, 400);  // 100 steps in the window
    ClockAdvance a = advanceLoopClock(clock, 100 + gap);
    ASSERT_TRUE(a.report) << gap;
    EXPECT_FLOAT_EQ(a.stepsPerSecond, 100.0f / (float(gap) * 0.001f)) << gap;
    EXPECT_EQ(clock.rateStart, c[1]);
    EXPECT_FALSE(advanceLoopClock(clock, 100 + gap + 3).report);
  }
  for (uint32_t gap : {2000u, 2001u, 60000u}) {
    LoopClock clock;
    startLoopClock(clock, 100);
    advanceLoopClock(clock, 400);
    EXPECT_FALSE(advanceLoopClock(clock, 100 + gap).report) << gap;
    EXPECT_EQ(clock.rateStart, 100 + gap);
    EXPECT_EQ(clock.rateSteps, 0);
  }
}

TEST(LoopClockRate, ReportedFigureOfASteadyLoopIsAbout333) {
  LoopClock clock;
  startLoopClock(clock, 0);
  int reports = 0;
  float last = 0;
  for (uint32_t t = 1; t <= 10000; t += 1) {
    ClockAdvance a = advanceLoopClock(clock, t);
    if (a.report) {
      ++reports;
      last = a.stepsPerSecond;
    }
  }
  // Each window starts at the step clock (a multiple of 999 ms here) and ends
  // at the first iteration more than 1000 ms later, having counted 333 steps:
  // reports at 1001, 2000, ..., 9992 ms.
  EXPECT_EQ(reports, 10);
  EXPECT_FLOAT_EQ(last, 333.0f / 1.001f);
}

TEST(LoopClockWrap, CounterPassingTwoToThe31And32KeepsTiming) {
  for (uint32_t start : {0x7fffff00u, 0xffffff00u}) {
    LoopClock clock;
    startLoopClock(clock, start);
    // 3000 ms of 1 ms iterations across the wrap: 1000 steps, no discard.
    EXPECT_EQ(runEvery(clock, start + 1, start + 3000, 1), 1000) << std::hex << start;
    EXPECT_EQ(clock.stepClock, start + 3000);

    // Rate reports keep coming across the wrap.
    LoopClock rate;
    startLoopClock(rate, start);
    int reports = 0;
    for (uint32_t i = 1; i <= 3003; ++i) reports += advanceLoopClock(rate, start + i).report;
    EXPECT_EQ(reports, 3) << std::hex << start;  // at +1001, +2000, +2999

    // The carry stays right when the step clock sits just before the wrap.
    LoopClock edge;
    startLoopClock(edge, start + 0xff - 1);  // 2 ms before the boundary
    EXPECT_EQ(advanceLoopClock(edge, start + 0xff + 2).steps, 1);
    EXPECT_EQ(advanceLoopClock(edge, start + 0xff + 5).steps, 1);
  }
}

TEST(LoopClockSteps, TakingOneStepAtATimeLeavesTheRestDueAndKeepsTheBacklogRule) {
  LoopClock clock;
  startLoopClock(clock, 1000);
  EXPECT_EQ(advanceLoopClock(clock, 1010, 1).steps, 1);  // 3 due, 1 taken
  EXPECT_EQ(nextStepDue(clock), 1006u);
  EXPECT_EQ(advanceLoopClock(clock, 1010, 1).steps, 1);
  EXPECT_EQ(advanceLoopClock(clock, 1010, 1).steps, 1);
  EXPECT_EQ(advanceLoopClock(clock, 1010, 1).steps, 0);  // 1 ms carried
  EXPECT_EQ(nextStepDue(clock), 1012u);

  // A backlog still waiting is dropped whole once the wall clock is more
  // than 750 ms past the step clock.
  EXPECT_EQ(advanceLoopClock(clock, 1759, 1).steps, 1);
  EXPECT_EQ(advanceLoopClock(clock, 1763, 1).steps, 0);
  EXPECT_EQ(clock.stepClock, 1763u);
}
