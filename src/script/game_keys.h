// The twelve game keys as the script sees them: one held/released flag each,
// mirrored into the script's table `keys` at every world step.
#pragma once

// clang-format off
enum GameKey {
  KeyLeft, KeyRight, KeyUp, KeyDown, KeyLpad, KeyRpad, KeyPush, KeyLaunch,
  KeyStart1, KeyStart2, KeyStart3, KeyStart4,
  KeyNone  // 12: no game key
};
// clang-format on
constexpr int gameKeyCount = 12;

// The field of `keys` under which the script sees each game key; the
// controls file names the keys the same way.
inline constexpr const char* gameKeyNames[gameKeyCount] = {
    "left", "right",  "up",     "down",   "lpad",   "rpad",
    "push", "launch", "start1", "start2", "start3", "start4",
};

// True while the key is held.
struct KeyState {
  bool held[gameKeyCount] = {};

  bool& operator[](int key) { return held[key]; }
  bool operator[](int key) const { return held[key]; }
  bool operator==(const KeyState& other) const {
    for (int k = 0; k < gameKeyCount; ++k)
      if (held[k] != other.held[k]) return false;
    return true;
  }
  bool operator!=(const KeyState& other) const { return !(*this == other); }
};
