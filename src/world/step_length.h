// The simulated time one world step covers: the main loop, the benchmarks
// and the tests all step the world by this much.
#pragma once

constexpr float stepLength = 0.0033333334f;  // simulated seconds per world step: 1/300 s
