// What the windowed main loop does next, as plain code: fed the tick count
// and the times at which the next world step and the next frame fall due, it
// says step, draw or sleep; and the frames' pace, one per display refresh.
#pragma once

#include <cstdint>

// Frames per second where the display does not say its refresh rate.
constexpr int fallbackRefreshRate = 60;

enum class LoopAction { Step, Draw, Sleep };

struct LoopPlan {
  LoopAction action = LoopAction::Sleep;
  uint32_t wakeAt = 0;  // Sleep: the tick count at which the next thing falls due
};

// The one rule: whatever fell due first is done first, and a step due no
// later than the frame goes before it, so that the frame shows that step.
// A step more than one step late counts as due one step ago: a loop catching
// up holds a frame back by one step at most. With nothing due, sleep until
// the earlier of the two. A step due more than one step ahead means the
// clock went back: it counts as due, so that the loop clock restarts.
LoopPlan planLoop(uint32_t now, uint32_t stepDue, uint32_t frameDue);

struct FramePace {
  uint32_t due = 0;    // tick count at which the next frame falls due
  int rate = 0;        // frames per second
  uint32_t carry = 0;  // ms × rate left over from the frames so far, below rate
};

// The first frame due at now; refreshRate in frames per second, 0 or less
// when the display does not say (then fallbackRefreshRate).
void startFramePace(FramePace& pace, uint32_t now, int refreshRate);
// After the frame that fell due was drawn at now: the next falls due one
// period after it, or one period after now when the loop is more than a
// period behind, so that a stall is not followed by a burst of frames.
void frameDrawn(FramePace& pace, uint32_t now);
