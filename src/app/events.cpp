// The SDL event pump: key events go to the key handlers, a quit request
// (window closed, or SIGINT/SIGTERM, which SDL turns into one) stops the loop.
#include <SDL.h>

#include "app/engine.h"

void pollEvents(InputState& input) {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
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

uint32_t currentTicks() {
  return SDL_GetTicks();
}
