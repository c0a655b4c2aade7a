// The SDL event pump: key events go to the key handlers, a quit request
// (window closed, or SIGINT/SIGTERM, which SDL turns into one) stops the loop.
#include <SDL.h>

#include "app/engine.h"
#include "app/input.h"

void pollEvents() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    switch (event.type) {
      case SDL_KEYDOWN:
        handleKeyDown(event.key.keysym.sym);
        break;
      case SDL_KEYUP:
        handleKeyUp(event.key.keysym.sym);
        break;
      case SDL_QUIT:
        running = false;
        break;
      default:
        break;
    }
  }
}

uint32_t currentTicks() { return SDL_GetTicks(); }
