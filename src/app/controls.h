// Which keyboard keys and controller buttons or axes hold each game key: the
// defaults, the player's controls file that changes them, and the key state
// they give. Plain code; the names are SDL's (control_names.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "script/game_keys.h"

// One input a game key follows.
struct ControlInput {
  enum Device : uint8_t { Keyboard, Button, Axis };
  Device device = Keyboard;
  int code = 0;   // SDL key code, SDL_GameControllerButton or SDL_GameControllerAxis
  int with = -1;  // a button that must be held too (Back + Start); -1 for none

  bool operator==(const ControlInput& o) const {
    return device == o.device && code == o.code && with == o.with;
  }
};

struct Controls {
  std::vector<ControlInput> inputs[gameKeyCount];
  std::string origin[gameKeyCount];  // "default", or "file:line" of the line that set it
};

// The layout a player gets with no controls file.
Controls defaultControls();

// Reads the lines of a controls file over controls, one line per game key:
//   lpad = Left Shift, Z, controller:leftshoulder, controller:lefttrigger
// '#' starts a comment. A line that cannot be used prints one line naming the
// file, the line number and the fault, and leaves that key as it was.
void readControls(Controls& controls, const std::string& text, const std::string& path);
// The whole file at path; a missing file changes nothing and says nothing.
void readControlsFile(Controls& controls, const std::string& path);
// Every game key with its inputs and where they came from, as -controls prints it.
std::string describeControls(const Controls& controls, const std::string& path);

// What the keyboard and the controllers hold now; the game keys follow.
class HeldInputs {
 public:
  void key(int code, bool down);
  void button(int pad, int button, bool down);
  void axis(int pad, int axis, int value);
  void removePad(int pad);
  // The game keys as the controls map what is held. A chord (Back + Start)
  // that is held takes its buttons: the game key of Start alone is not held.
  KeyState keys(const Controls& controls) const;

  static constexpr int axisPressed = 16384;   // of 32767: half the travel
  static constexpr int axisReleased = 12288;  // lower, so a trigger at the edge does not chatter

 private:
  struct Pad {
    int id = 0;
    uint32_t buttons = 0;  // one bit per SDL_GameControllerButton
    uint32_t axes = 0;     // one bit per axis past its press point
  };
  Pad& pad(int id);
  std::vector<int> keys_;  // key codes held
  std::vector<Pad> pads_;
};

// Name lookups, SDL's own: -1 (or "") for a name or code SDL does not know.
int keyCodeNamed(const std::string& name);
int buttonNamed(const std::string& name);
int axisNamed(const std::string& name);
std::string keyName(int code);
std::string buttonName(int button);
std::string axisName(int axis);
