// Game keys, their key state and the engine flags that key handling writes.
// Plain code: the SDL event pump (events.cpp) feeds key codes in here.
#pragma once

enum GameKey {
  KeyLeft, KeyRight, KeyUp, KeyDown, KeyLpad, KeyRpad, KeyPush, KeyLaunch,
  KeyStart1, KeyStart2, KeyStart3, KeyStart4,
  KeyNone  // 12: no game key
};
constexpr int gameKeyCount = 12;

struct KeyBinding {
  int code;  // SDL 1.2 key code
  GameKey key;
};

// Searched from the top; ends with a row whose code is 0.
extern const KeyBinding keyBindings[];
// The name under which the script sees each game key, in GameKey order.
extern const char* const gameKeyNames[gameKeyCount];
// True while the key is held; entry KeyNone is spare and never written.
extern bool keyState[gameKeyCount + 1];

// Process flags.
extern bool running;           // the main loop runs while set
extern bool windowed;          // false: full screen
extern bool drawDebugHelpers;  // F10: outlines and the contact overlay
extern bool drawLevelImages;   // F11: sprites

GameKey findGameKey(int code);
// Escape, F10, F11 and the game keys, with their console lines.
void handleKeyDown(int code);
void handleKeyUp(int code);
