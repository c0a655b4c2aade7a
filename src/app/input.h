// Key codes to game keys, the engine keys, and the state that key and window
// events write. Plain code: the SDL event pump (events.cpp) feeds key codes
// in here.
#pragma once

#include "app/controls.h"
#include "gfx/graphics.h"
#include "script/game_keys.h"

struct KeyBinding {
  int code;  // SDL2 key code (SDLK_*)
  GameKey key;
};

// Searched from the top; ends with a row whose code is 0.
extern const KeyBinding keyBindings[];

// What the keyboard and the window have said so far.
struct InputState {
  KeyState keys;  // the game keys as the keyboard and controllers hold them
  Controls controls = defaultControls();
  HeldInputs held;
  DrawFlags draw;                // F9, F10 and F11
  bool running = true;           // cleared by Escape and by a quit request
  bool reloadRequested = false;  // set by F5; the main loop reloads and clears it
  int volumeChange = 0;          // steps asked by the volume keys; the main loop applies them
  bool paused = false;           // no steps, no script: the engine sets it from the two below
  bool pauseToggled = false;     // P or Guide pressed an odd number of times; the loop clears it
  bool hadFocus = false;         // the window has had the keyboard focus
  bool focusLost = false;        // it lost the focus it had; the main loop pauses and clears it
};

// The first game key the default layout gives the key code.
GameKey findGameKey(int code);
// Escape, F5, F9, F10, F11, P and the volume keys (minus and plus): they act
// on the engine and cannot be remapped.
bool isEngineKey(int code);
// The engine keys and the game keys, with their console lines.
void handleKeyDown(InputState& input, int code);
void handleKeyUp(InputState& input, int code);
// A controller's button, axis, and its removal; pad is SDL's instance id.
void handleButton(InputState& input, int pad, int button, bool down);
void handleAxis(InputState& input, int pad, int axis, int value);
void handlePadRemoved(InputState& input, int pad);
void handleFocus(InputState& input, bool gained);
constexpr int guideButton = 5;  // SDL_CONTROLLER_BUTTON_GUIDE
