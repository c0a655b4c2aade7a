// The windowed main loop: the keyboard read before every world step, each
// step run as it falls due with the keys as they were at its due time, and
// frames drawn between the steps, one per display refresh, with the loop
// asleep while nothing is due. The engine and the latency benchmark drive it.
#pragma once

#include <cstdint>

#include "app/input.h"

// What the loop runs, and when.
class LoopClient {
 public:
  virtual ~LoopClient() = default;
  // After the events up to a step's due time were read, before the step.
  // True when it took time that must not count as backlog (a reload): the
  // loop clock and the frames start afresh.
  virtual bool eventsRead(InputState& input) = 0;
  // One world step, due at tick count due; false when no more are to run,
  // which ends the loop.
  virtual bool step(const InputState& input, uint32_t due) = 0;
  // A step-rate report of the loop clock.
  virtual void stepRate(float stepsPerSecond) = 0;
  // One frame: audio, drawing and the buffer swap.
  virtual void frame(const InputState& input) = 0;
};

// Runs until input.running clears (Escape, a quit request, or a step that
// says stop). The step whose events cleared it still runs, and the loop ends
// with a last frame. While input.paused is set there are no steps: the loop
// sleeps until events come, reads them and hands them to eventsRead, and
// draws a frame when the pause begins and a few a second after.
void runPacedLoop(InputState& input, LoopClient& client);

// Opens SDL's game controllers, with the mappings of mappingFile (SDL's
// gamecontrollerdb.txt format) when it exists.
void initControllers(const char* mappingFile);
// Drains SDL's event queue into the input state, up to the events stamped at
// tick count upTo; later ones stay queued for a later step.
void pollEvents(InputState& input, uint32_t upTo);
// SDL's millisecond tick counter.
uint32_t currentTicks();
// The refresh rate of the display the window is on, in frames per second;
// 0 when it cannot be known.
int displayRefreshRate();
