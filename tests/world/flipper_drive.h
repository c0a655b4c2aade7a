// The flipper drive both tables' game.lua set after every step, for the
// tests that drive flippers without the script: the spin 3 rad/s per degree
// short of the target, capped while rising and falling, the cap while
// rising building from nothing to full over a press's first moments.
#pragma once

#include <algorithm>

struct FlipperDrive {
  float up, down;  // the spin's caps while rising and falling, rad/s
  float build;     // s for the rising cap to build to full
};

// heldSteps: the steps the button has been held, this one included (0: let go).
inline float flipperSpin(const FlipperDrive& d, float targetDegrees, float angleDegrees,
                         int heldSteps, float stepSeconds) {
  constexpr float perDegree = 3;  // rad/s
  const float limit = heldSteps ? d.up * std::min(1.f, heldSteps * stepSeconds / d.build) : d.down;
  return std::clamp((targetDegrees - angleDegrees) * perDegree, -limit, limit);
}
