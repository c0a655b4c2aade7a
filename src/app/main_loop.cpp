// The paced main loop over SDL: the tick counter, the sleeps and the display's
// refresh rate. What it does when is planLoop's choice.
#include "app/main_loop.h"

#include <SDL.h>

#include "app/loop_clock.h"
#include "app/loop_schedule.h"

namespace {

constexpr uint32_t pausedFramePeriod = 250;  // ms between the frames of a paused game

}  // namespace

void runPacedLoop(InputState& input, LoopClient& client) {
  uint32_t now = currentTicks();
  LoopClock clock;
  startLoopClock(clock, now);
  FramePace pace;
  int refreshRate = displayRefreshRate();
  startFramePace(pace, now, refreshRate);
  uint32_t pausedFrameDue = now;
  bool wasPaused = false;
  while (input.running) {
    now = currentTicks();
    if (input.paused) {
      // No steps: the loop waits for events, with a frame at once and then
      // now and then, so that an uncovered or resized window shows the
      // paused picture again.
      if (!wasPaused || ticksSince(pausedFrameDue, now) >= 0) {
        client.frame(input);
        pausedFrameDue = now + pausedFramePeriod;
      }
      wasPaused = true;
      SDL_WaitEventTimeout(nullptr, int(ticksSince(now, pausedFrameDue)));
      pollEvents(input, currentTicks());
      if (client.eventsRead(input) || !input.paused) {
        now = currentTicks();
        startLoopClock(clock, now);  // the paused time is no backlog
        startFramePace(pace, now, refreshRate);
      }
      continue;
    }
    wasPaused = false;
    LoopPlan plan = planLoop(now, nextStepDue(clock), pace.due);
    if (plan.action == LoopAction::Sleep) {
      SDL_Delay(uint32_t(ticksSince(now, plan.wakeAt)));
      continue;
    }
    if (plan.action == LoopAction::Draw) {
      client.frame(input);
      frameDrawn(pace, now);
      continue;
    }
    uint32_t due = nextStepDue(clock);
    pollEvents(input, due);
    if (client.eventsRead(input)) {
      now = currentTicks();
      startLoopClock(clock, now);
      startFramePace(pace, now, refreshRate);
      continue;
    }
    ClockAdvance advance = advanceLoopClock(clock, now, 1);
    if (advance.report) client.stepRate(advance.stepsPerSecond);
    if (advance.steps > 0 && !client.step(input, due)) input.running = false;
  }
  client.frame(input);
}

int displayRefreshRate() {
  SDL_Window* window = SDL_GL_GetCurrentWindow();
  int display = window ? SDL_GetWindowDisplayIndex(window) : 0;
  SDL_DisplayMode mode;
  if (SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &mode) != 0) return 0;
  return mode.refresh_rate;
}

uint32_t currentTicks() {
  return SDL_GetTicks();
}
