// The fixed-step clock of the main loop: backlog discard, whole 3 ms steps with
// the remainder carried, and the roughly once-a-second step-rate window.
#include "app/loop_clock.h"

int32_t ticksSince(uint32_t from, uint32_t to) {
  uint32_t d = to - from;  // modular, never overflows
  return d <= 0x7fffffffu ? int32_t(d) : -int32_t(~d) - 1;
}

void startLoopClock(LoopClock& clock, uint32_t now) {
  clock.stepClock = now;
  clock.rateStart = now;
  clock.rateSteps = 0;
}

ClockAdvance advanceLoopClock(LoopClock& clock, uint32_t now, int maxSteps) {
  ClockAdvance out;

  // A clock that went backwards or a stall past the limit: skip that time
  // entirely, so the game does not race through a burst of catch-up steps.
  int32_t backlog = ticksSince(clock.stepClock, now);
  if (backlog < 0 || backlog > backlogLimit) clock.stepClock = now;

  int32_t elapsed = ticksSince(clock.rateStart, now);
  if (elapsed < 0 || elapsed > 1000) {
    if (elapsed > 0 && elapsed < 2000) {
      out.report = true;
      out.stepsPerSecond = float(clock.rateSteps) / (float(elapsed) * 0.001f);
    }
    // A window of 2 s or more means the loop was stuck; its figure would lie.
    clock.rateStart = clock.stepClock;
    clock.rateSteps = 0;
  }

  int32_t due = ticksSince(clock.stepClock, now);  // 0..750 after the discard
  out.steps = due / stepMilliseconds < maxSteps ? due / stepMilliseconds : maxSteps;
  clock.rateSteps += out.steps;
  clock.stepClock += uint32_t(out.steps * stepMilliseconds);
  return out;
}

uint32_t nextStepDue(const LoopClock& clock) {
  return clock.stepClock + stepMilliseconds;
}
