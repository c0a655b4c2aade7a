// The windowed loop's choice between a step, a frame and a sleep, and the
// frames' pace, driven with made-up tick counts and a simulated clock.
#include "app/loop_schedule.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "app/loop_clock.h"

namespace {

constexpr LoopAction Step = LoopAction::Step, Draw = LoopAction::Draw, Sleep = LoopAction::Sleep;

// The loop of main_loop.cpp on a simulated clock, where a step takes
// stepCost ms and a frame drawCost ms; for `duration` ms from tick 1000.
struct SimulatedLoop {
  int frames = 0, steps = 0;
  int32_t latestStep = 0;  // the most a step ran after its due time, in ms
  int32_t longestGap = 0;  // the longest wait between two frames, in ms

  SimulatedLoop(int refreshRate, uint32_t stepCost, uint32_t drawCost, uint32_t duration) {
    uint32_t now = 1000, lastFrame = now;
    LoopClock clock;
    startLoopClock(clock, now);
    FramePace pace;
    startFramePace(pace, now, refreshRate);
    while (now - 1000 < duration) {
      LoopPlan plan = planLoop(now, nextStepDue(clock), pace.due);
      if (plan.action == Sleep) {
        EXPECT_GT(ticksSince(now, plan.wakeAt), 0);
        now = plan.wakeAt;
      } else if (plan.action == Draw) {
        if (frames++ > 0 && ticksSince(lastFrame, now) > longestGap)
          longestGap = ticksSince(lastFrame, now);
        lastFrame = now;
        frameDrawn(pace, now);
        now += drawCost;
      } else {
        uint32_t due = nextStepDue(clock);
        steps += advanceLoopClock(clock, now, 1).steps;
        if (ticksSince(due, now) > latestStep) latestStep = ticksSince(due, now);
        now += stepCost;
      }
    }
  }
};

}  // namespace

TEST(LoopPlan, WhateverFellDueFirstGoesFirst) {
  struct Case {
    uint32_t now, stepDue, frameDue;
    LoopAction action;
    uint32_t wakeAt;
  };
  const Case cases[] = {
      {100, 100, 100, Step, 100},  // the frame shows the step due with it
      {100, 99, 90, Draw, 100},    // the frame fell due first
      {100, 97, 98, Step, 100},    // a late step before a later frame
      {100, 90, 96, Draw, 100},    // but a frame waits one step at most
      {100, 103, 98, Draw, 100},   // no step due
      {100, 102, 117, Sleep, 102},   {100, 103, 101, Sleep, 101},
      {100, 110, 150, Step, 100},     // more than a step ahead: the clock went back
      {0xfffffffeu, 1, 5, Sleep, 1},  // across the wrap of the counter
      {2, 0xffffffffu, 9, Step, 2},
  };
  for (const Case& c : cases) {
    LoopPlan plan = planLoop(c.now, c.stepDue, c.frameDue);
    EXPECT_EQ(plan.action, c.action) << c.now << " " << c.stepDue << " " << c.frameDue;
    EXPECT_EQ(plan.wakeAt, c.wakeAt) << c.now << " " << c.stepDue << " " << c.frameDue;
  }
}

TEST(FramePace, OneFramePerRefreshWithTheFractionCarried) {
  struct Case {
    int refreshRate;
    uint32_t dueAfterThree;  // ms after the start
  };
  // 60 Hz: 16.667 ms a frame, so the third falls due at 50 ms; unknown
  // (0) is taken as 60; 144 Hz: 6.944 ms, the third at 20.8 ms.
  const Case cases[] = {{60, 50}, {0, 50}, {-1, 50}, {144, 20}, {50, 60}, {1000, 3}};
  for (const Case& c : cases) {
    FramePace pace;
    startFramePace(pace, 5000, c.refreshRate);
    EXPECT_EQ(pace.due, 5000u);
    for (int i = 0; i < 3; ++i) frameDrawn(pace, pace.due);
    EXPECT_EQ(pace.due, 5000 + c.dueAfterThree) << c.refreshRate;
  }
}

TEST(FramePace, ALateFrameKeepsThePhaseAndAStallStartsAfresh) {
  FramePace pace;
  startFramePace(pace, 0, 50);  // 20 ms a frame
  frameDrawn(pace, 5);          // 5 ms late: the next is still due at 20
  EXPECT_EQ(pace.due, 20u);
  frameDrawn(pace, 75);  // 55 ms late: one period from now, not three frames at once
  EXPECT_EQ(pace.due, 95u);
}

TEST(SimulatedLoop, StepsKeepTheirRateAndFramesTheRefreshRate) {
  struct Case {
    int refreshRate;
    uint32_t stepCost, drawCost;
    int minFrames, maxFrames;
    int32_t latestStep;  // no step waits longer than the frame drawn before it
  };
  const Case cases[] = {
      {60, 0, 0, 600, 601, 0},  // an idle machine: 60 frames a second exactly
      {60, 0, 5, 600, 601, 5},  // a frame that takes 5 ms delays the steps behind it
      {144, 1, 2, 1440, 1441, 3},
      {60, 1, 10, 600, 601, 12},  // a slow frame: still 60 of them
  };
  for (const Case& c : cases) {
    SimulatedLoop loop(c.refreshRate, c.stepCost, c.drawCost, 10000);
    EXPECT_GE(loop.frames, c.minFrames) << c.refreshRate << " " << c.drawCost;
    EXPECT_LE(loop.frames, c.maxFrames) << c.refreshRate << " " << c.drawCost;
    EXPECT_NEAR(loop.steps, 3333, 5) << c.refreshRate << " " << c.drawCost;
    EXPECT_LE(loop.latestStep, c.latestStep) << c.refreshRate << " " << c.drawCost;
  }
}

TEST(SimulatedLoop, AMachineTooSlowForTheStepsStillDrawsFrames) {
  // Each step takes 4 ms of its 3: the steps fall behind until the backlog
  // rule drops them, and the frames go on between them at the refresh rate.
  SimulatedLoop loop(60, 4, 5, 10000);
  EXPECT_GE(loop.frames, 500);
  EXPECT_LE(loop.frames, 601);
  EXPECT_LT(loop.steps, 2500);
  EXPECT_LE(loop.longestGap, 17 + 5);
}
