// The names of keys, controller buttons and axes, as SDL spells them: the
// controls file uses the names a player finds in any SDL game's settings.
#include <SDL_gamecontroller.h>
#include <SDL_keyboard.h>

#include "app/controls.h"
#include "app/input.h"

static_assert(guideButton == SDL_CONTROLLER_BUTTON_GUIDE, "the Guide button pauses");

int keyCodeNamed(const std::string& name) {
  SDL_Keycode code = SDL_GetKeyFromName(name.c_str());
  return code == SDLK_UNKNOWN ? -1 : int(code);
}

int buttonNamed(const std::string& name) {
  return SDL_GameControllerGetButtonFromString(name.c_str());
}

int axisNamed(const std::string& name) {
  return SDL_GameControllerGetAxisFromString(name.c_str());
}

std::string keyName(int code) {
  return SDL_GetKeyName(SDL_Keycode(code));
}

std::string buttonName(int button) {
  const char* name = SDL_GameControllerGetStringForButton(SDL_GameControllerButton(button));
  return name ? name : "";
}

std::string axisName(int axis) {
  const char* name = SDL_GameControllerGetStringForAxis(SDL_GameControllerAxis(axis));
  return name ? name : "";
}
