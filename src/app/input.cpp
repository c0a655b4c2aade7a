// Key codes to game keys, and the engine keys Escape, F5, F9, F10, F11, P and
// the volume keys, which act on the shell and never reach the script.
#include "app/input.h"

#include <cstdio>

namespace {
// SDL2 gives a key without a character its scan code with bit 30 set
// (SDL_SCANCODE_TO_KEYCODE); a key with one has the character's code.
constexpr int scanKey(int scancode) {
  return scancode | 1 << 30;
}
constexpr int codeEscape = 27, codeF5 = scanKey(62), codeF9 = scanKey(66), codeF10 = scanKey(67),
              codeF11 = scanKey(68);
// Minus and plus on the main row ('=' is the plus key unshifted) and the keypad.
constexpr int codePause = 'p';
constexpr int codeMinus = '-', codeEquals = '=', codePlus = '+', codeKeypadMinus = scanKey(86),
              codeKeypadPlus = scanKey(87);
// The game keys after a change to what is held.
void followHeldInputs(InputState& input) {
  input.keys = input.held.keys(input.controls);
}

}  // namespace

const KeyBinding keyBindings[] = {
    {scanKey(80), KeyLeft},
    {scanKey(79), KeyRight},
    {scanKey(82), KeyUp},
    {scanKey(81), KeyDown},
    {scanKey(225), KeyLpad},
    {scanKey(229), KeyRpad},
    {' ', KeyPush},
    {'\r', KeyLaunch},
    {scanKey(58), KeyStart1},
    {scanKey(59), KeyStart2},
    {scanKey(60), KeyStart3},
    {scanKey(61), KeyStart4},
    {0, KeyNone},
};

bool isEngineKey(int code) {
  for (int engineKey : {codeEscape, codeF5, codeF9, codeF10, codeF11, codePause, codeMinus,
                        codeEquals, codePlus, codeKeypadMinus, codeKeypadPlus})
    if (code == engineKey) return true;
  return false;
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
  if (code == codePause) input.pauseToggled = !input.pauseToggled;
  if (code == codeMinus || code == codeKeypadMinus) --input.volumeChange;
  if (code == codeEquals || code == codePlus || code == codeKeypadPlus) ++input.volumeChange;
  if (code == codeF11) {
    bool& on = input.draw.levelImages;
    on = !on;
    std::printf("%s the level images\n", on ? "Drawing" : "Not drawing");
  }
  input.held.key(code, true);
  followHeldInputs(input);
}

void handleKeyUp(InputState& input, int code) {
  input.held.key(code, false);
  followHeldInputs(input);
}

void handleButton(InputState& input, int pad, int button, bool down) {
  // The Guide button pauses as P does; it is no game key.
  if (button == guideButton) {
    if (down) input.pauseToggled = !input.pauseToggled;
    return;
  }
  input.held.button(pad, button, down);
  followHeldInputs(input);
}

void handleAxis(InputState& input, int pad, int axis, int value) {
  input.held.axis(pad, axis, value);
  followHeldInputs(input);
}

void handleFocus(InputState& input, bool gained) {
  // Without a window manager the window never had the focus to lose, so a
  // window under a bare X server is never paused by focus.
  if (gained) input.hadFocus = true;
  if (!gained && input.hadFocus) input.focusLost = true;
}

void handlePadRemoved(InputState& input, int pad) {
  input.held.removePad(pad);
  followHeldInputs(input);
}
