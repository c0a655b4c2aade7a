// Key codes to game keys, and the engine keys Escape, F5, F9, F10 and F11, which
// act on the shell and never reach the script.
#include "app/input.h"

#include <cstdio>

const KeyBinding keyBindings[] = {
    {276, KeyLeft},   {275, KeyRight},  {273, KeyUp},    {274, KeyDown},   {304, KeyLpad},
    {303, KeyRpad},   {32, KeyPush},    {13, KeyLaunch}, {282, KeyStart1}, {283, KeyStart2},
    {284, KeyStart3}, {285, KeyStart4}, {0, KeyNone},
};

namespace {
constexpr int codeEscape = 27, codeF5 = 286, codeF9 = 290, codeF10 = 291, codeF11 = 292;
}

GameKey findGameKey(int code) {
  const KeyBinding* row = keyBindings;
  while (row->code != 0 && row->code != code) ++row;
  return row->key;
}

void handleKeyDown(InputState& input, int code) {
  if (code == codeEscape) {
    std::printf("ESC pressed; quitting the game.\n");
    input.running = false;
  }
  if (code == codeF5) input.reloadRequested = true;  // the main loop says what it does
  if (code == codeF9) input.draw.errorPanel = !input.draw.errorPanel;  // the panel shows it
  if (code == codeF10) {
    bool& on = input.draw.debugHelpers;
    on = !on;
    std::printf("%s visual debug helpers\n", on ? "Drawing" : "Not drawing");
  }
  if (code == codeF11) {
    bool& on = input.draw.levelImages;
    on = !on;
    std::printf("%s the level images\n", on ? "Drawing" : "Not drawing");
  }
  GameKey key = findGameKey(code);
  if (key != KeyNone) input.keys[key] = true;
}

void handleKeyUp(InputState& input, int code) {
  GameKey key = findGameKey(code);
  if (key != KeyNone) input.keys[key] = false;
}
