// The fixed-step timing of the main loop as plain code: fed the millisecond
// tick count, it says how many world steps are due and when to report the
// step rate. Ticks wrap around; every comparison is on 32-bit differences.
#pragma once

#include <climits>
#include <cstdint>

#include "world/step_length.h"

constexpr int stepMilliseconds = 3;  // wall time one world step consumes
constexpr int backlogLimit = 750;    // a longer backlog is dropped, not run

struct LoopClock {
  uint32_t stepClock = 0;  // wall time up to which steps have been run
  uint32_t rateStart = 0;  // start of the current step-rate window
  int rateSteps = 0;       // steps run since rateStart
};

struct ClockAdvance {
  int steps = 0;        // world steps due in this iteration
  bool report = false;  // a step-rate window ended with a report
  float stepsPerSecond = 0;
};

// Signed distance in ms from one tick count to another; stays right across
// the wrap of the counter as long as the two are less than 2^31 ms apart.
int32_t ticksSince(uint32_t from, uint32_t to);

// Starts both the step clock and the first rate window at now.
void startLoopClock(LoopClock& clock, uint32_t now);
// The clock read at tick count now: runs the backlog discard and the rate
// window, and takes at most maxSteps of the steps due; the rest stay due.
ClockAdvance advanceLoopClock(LoopClock& clock, uint32_t now, int maxSteps = INT_MAX);
// The tick count at which the next step falls due.
uint32_t nextStepDue(const LoopClock& clock);
