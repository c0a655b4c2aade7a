// The fixed-step timing of the main loop as plain code: fed the millisecond
// tick count, it says how many world steps are due and when to report the
// step rate. Ticks wrap around; every comparison is on 32-bit differences.
#pragma once

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

// Starts both the step clock and the first rate window at now.
void startLoopClock(LoopClock& clock, uint32_t now);
// One main-loop iteration at tick count now.
ClockAdvance advanceLoopClock(LoopClock& clock, uint32_t now);
