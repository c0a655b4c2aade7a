// The windowed main loop's choice between a world step, a frame and a sleep,
// and the pace of its frames.
#include "app/loop_schedule.h"

#include "app/loop_clock.h"

LoopPlan planLoop(uint32_t now, uint32_t stepDue, uint32_t frameDue) {
  int32_t untilStep = ticksSince(now, stepDue);
  int32_t untilFrame = ticksSince(now, frameDue);
  if (untilStep > stepMilliseconds) untilStep = 0;  // the clock went back
  if (untilStep < -stepMilliseconds) untilStep = -stepMilliseconds;
  if (untilStep <= 0 && untilStep <= untilFrame) return {LoopAction::Step, now};
  if (untilFrame <= 0) return {LoopAction::Draw, now};
  return {LoopAction::Sleep, untilStep < untilFrame ? stepDue : frameDue};
}

void startFramePace(FramePace& pace, uint32_t now, int refreshRate) {
  pace.due = now;
  pace.rate = refreshRate > 0 ? refreshRate : fallbackRefreshRate;
  pace.carry = 0;
}

// A period is 1000 / rate ms; the remainder is carried so that the frames
// keep the exact rate (60 Hz: 16, 17, 17 ms).
void frameDrawn(FramePace& pace, uint32_t now) {
  uint32_t rate = uint32_t(pace.rate);
  pace.carry += 1000;
  pace.due += pace.carry / rate;
  pace.carry %= rate;
  if (ticksSince(now, pace.due) <= 0) {
    pace.due = now + 1000 / rate;
    pace.carry = 1000 % rate;
  }
}
