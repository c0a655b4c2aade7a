// Key codes to game keys, and the engine keys Escape, F10 and F11.
#include "app/input.h"

#include <cstdio>

const KeyBinding keyBindings[] = {
    {276, KeyLeft},   {275, KeyRight},  {273, KeyUp},     {274, KeyDown},
    {304, KeyLpad},   {303, KeyRpad},   {32, KeyPush},    {13, KeyLaunch},
    {282, KeyStart1}, {283, KeyStart2}, {284, KeyStart3}, {285, KeyStart4},
    {0, KeyNone},
};

const char* const gameKeyNames[gameKeyCount] = {
    "left", "right", "up", "down", "lpad", "rpad", "push", "launch",
    "start1", "start2", "start3", "start4",
};

bool keyState[gameKeyCount + 1];
bool running = true;
bool windowed = false;
bool drawDebugHelpers = false;
bool drawLevelImages = true;

namespace {
constexpr int codeEscape = 27, codeF10 = 291, codeF11 = 292;
}

GameKey findGameKey(int code) {
  const KeyBinding* row = keyBindings;
  while (row->code != 0 && row->code != code) ++row;
  return row->key;
}

void handleKeyDown(int code) {
  if (code == codeEscape) {
    std::printf("ESC pressed; quitting the game.\n");
    running = false;
  }
  if (code == codeF10) {
    drawDebugHelpers = !drawDebugHelpers;
    std::printf("%s visual debug helpers\n", drawDebugHelpers ? "Drawing" : "Not drawing");
  }
  if (code == codeF11) {
    drawLevelImages = !drawLevelImages;
    std::printf("%s the level images\n", drawLevelImages ? "Drawing" : "Not drawing");
  }
  GameKey key = findGameKey(code);
  if (key != KeyNone) keyState[key] = true;
}

void handleKeyUp(int code) {
  GameKey key = findGameKey(code);
  if (key != KeyNone) keyState[key] = false;
}
