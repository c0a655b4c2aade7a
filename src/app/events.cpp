// The SDL event pump: key events go to the key handlers, a quit request
// (window closed, or SIGINT/SIGTERM, which SDL turns into one) stops the loop.
#include <SDL.h>
#include <unistd.h>

#include <cstdio>

#include "app/loop_clock.h"
#include "app/main_loop.h"

namespace {

// A controller SDL knows a mapping for, opened when it appears (at start-up
// SDL reports the ones already plugged in the same way).
void openController(int deviceIndex) {
  if (!SDL_IsGameController(deviceIndex)) return;
  SDL_GameController* pad = SDL_GameControllerOpen(deviceIndex);
  if (!pad) return;
  const char* name = SDL_GameControllerName(pad);
  std::printf("Controller connected: %s\n", name ? name : "unnamed");
}

// A pulled-out controller lets go of everything it held.
void closeController(InputState& input, SDL_JoystickID id) {
  handlePadRemoved(input, id);
  SDL_GameController* pad = SDL_GameControllerFromInstanceID(id);
  if (!pad) return;
  const char* name = SDL_GameControllerName(pad);
  std::printf("Controller disconnected: %s\n", name ? name : "unnamed");
  SDL_GameControllerClose(pad);
}

// The oldest queued event if it was stamped no later than upTo. SDL stamps
// each event with the tick count at which it was queued, so the queue is in
// stamp order.
bool takeEventUpTo(SDL_Event& event, uint32_t upTo) {
  if (SDL_PeepEvents(&event, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) <= 0) return false;
  if (ticksSince(upTo, event.common.timestamp) > 0) return false;
  return SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0;
}

}  // namespace

void initControllers(const char* mappingFile) {
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) < 0) {
    std::printf("No game controllers: %s\n", SDL_GetError());
    return;
  }
  // SDL reads SDL_GAMECONTROLLERCONFIG itself; the player's file adds to it.
  if (mappingFile && access(mappingFile, R_OK) == 0) {
    int added = SDL_GameControllerAddMappingsFromFile(mappingFile);
    if (added < 0)
      std::printf("[CONTROLS] '%s': %s\n", mappingFile, SDL_GetError());
    else
      std::printf("[CONTROLS] %d controller mappings from '%s'\n", added, mappingFile);
  }
}

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
      case SDL_CONTROLLERDEVICEADDED:
        openController(event.cdevice.which);
        break;
      case SDL_CONTROLLERDEVICEREMOVED:
        closeController(input, event.cdevice.which);
        break;
      case SDL_CONTROLLERBUTTONDOWN:
      case SDL_CONTROLLERBUTTONUP:
        handleButton(input, event.cbutton.which, event.cbutton.button,
                     event.type == SDL_CONTROLLERBUTTONDOWN);
        break;
      case SDL_CONTROLLERAXISMOTION:
        handleAxis(input, event.caxis.which, event.caxis.axis, event.caxis.value);
        break;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) handleFocus(input, true);
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) handleFocus(input, false);
        break;
      case SDL_QUIT:
        input.running = false;
        break;
      default:
        break;
    }
  }
}
