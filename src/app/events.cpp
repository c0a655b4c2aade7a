// The SDL event pump: key events go to the key handlers, a quit request
// (window closed, or SIGINT/SIGTERM, which SDL turns into one) stops the loop.
#include <SDL.h>

#include "app/loop_clock.h"
#include "app/main_loop.h"

namespace {

// The oldest queued event if it was stamped no later than upTo. SDL stamps
// each event with the tick count at which it was queued, so the queue is in
// stamp order.
bool takeEventUpTo(SDL_Event& event, uint32_t upTo) {
  if (SDL_PeepEvents(&event, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) <= 0) return false;
  if (ticksSince(upTo, event.common.timestamp) > 0) return false;
  return SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0;
}

}  // namespace

void pollEvents(InputState& input, uint32_t upTo) {
  SDL_PumpEvents();
  SDL_Event event;
  while (takeEventUpTo(event, upTo)) {
    switch (event.type) {
      case SDL_KEYDOWN:
        // A held key is one press: Escape and the toggles act once.
        if (!event.key.repeat) handleKeyDown(input, event.key.keysym.sym);
        break;
      case SDL_KEYUP:
        handleKeyUp(input, event.key.keysym.sym);
        break;
      case SDL_QUIT:
        input.running = false;
        break;
      default:
        break;
    }
  }
}
