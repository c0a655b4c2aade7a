// The controls: the file's lines, the key state that keys, buttons, chords
// and triggers give, and controllers driven through SDL's own event queue.
#include "app/controls.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>

#include "app/input.h"
#include "app/main_loop.h"

namespace {

std::string describe(const Controls& c, GameKey key) {
  std::string all = describeControls(c, "f");
  size_t at = all.find(std::string("  ") + gameKeyNames[key] + " = ");
  return all.substr(at + 2, all.find('\n', at) - at - 2);
}

}  // namespace

TEST(ControlsFile, GoodLinesSetTheirKeyAndBadOnesKeepTheDefaults) {
  const struct {
    const char* line;
    GameKey key;
    const char* described;  // the key as -controls shows it afterwards
    const char* printed;    // the console line, "" for none
  } cases[] = {
      {"lpad = Left Shift, Z, controller:leftshoulder, controller:lefttrigger", KeyLpad,
       "lpad = Left Shift, Z, controller:leftshoulder, controller:lefttrigger  (f:1)", ""},
      {"  launch=return # the usual", KeyLaunch, "launch = Return  (f:1)", ""},
      {"start2 = controller:back+start", KeyStart2, "start2 = controller:back+start  (f:1)", ""},
      {"push = Space, Space", KeyPush, "push = Space  (f:1)", ""},
      {"rpad = Right Shift, NoSuchKey", KeyRpad,
       "rpad = Right Shift, controller:rightshoulder, controller:righttrigger  (default)",
       "[CONTROLS] f:1: no key named 'NoSuchKey'; rpad keeps its defaults\n"},
      {"rpad = controller:paddle9", KeyRpad,
       "rpad = Right Shift, controller:rightshoulder, controller:righttrigger  (default)",
       "[CONTROLS] f:1: no controller button or axis named 'paddle9'; rpad keeps its defaults\n"},
      {"left = Escape", KeyLeft, "left = Left, controller:dpleft  (default)",
       "[CONTROLS] f:1: 'Escape' is an engine key; left keeps its defaults\n"},
      {"up =", KeyUp, "up = Up, controller:dpup  (default)",
       "[CONTROLS] f:1: no inputs after '='; up keeps its defaults\n"},
      {"down = Down,, S", KeyDown, "down = Down, controller:dpdown  (default)",
       "[CONTROLS] f:1: an empty input in the list; down keeps its defaults\n"},
      {"flipper = Z", KeyNone, "",
       "[CONTROLS] f:1: no game key named 'flipper'; the line is ignored\n"},
      {"just words", KeyNone, "", "[CONTROLS] f:1: expected 'key = inputs'; the line is ignored\n"},
  };
  for (const auto& c : cases) {
    Controls controls = defaultControls();
    testing::internal::CaptureStdout();
    readControls(controls, c.line, "f");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed) << c.line;
    if (c.key != KeyNone) {
      EXPECT_EQ(describe(controls, c.key), c.described) << c.line;
    }
  }

  // A bad line for a key set earlier puts the defaults back, not the earlier line.
  Controls controls = defaultControls();
  testing::internal::CaptureStdout();
  readControls(controls, "lpad = Z\n\n# nothing\nlpad = Z, Nope\nrpad = X\n", "f");
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(describe(controls, KeyLpad), describe(defaultControls(), KeyLpad));
  EXPECT_EQ(describe(controls, KeyRpad), "rpad = X  (f:5)");
}

TEST(HeldInputs, EveryInputOfAKeyHoldsItAndAChordTakesItsButtons) {
  const Controls controls = defaultControls();
  HeldInputs held;
  held.key(SDLK_LSHIFT, true);
  held.button(7, SDL_CONTROLLER_BUTTON_LEFTSHOULDER, true);
  held.key(SDLK_LSHIFT, false);
  EXPECT_TRUE(held.keys(controls)[KeyLpad]);  // the shoulder still holds it
  held.button(7, SDL_CONTROLLER_BUTTON_LEFTSHOULDER, false);
  EXPECT_FALSE(held.keys(controls)[KeyLpad]);

  // A trigger presses past half its travel and lets go a little below.
  held.axis(7, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, HeldInputs::axisPressed);
  EXPECT_TRUE(held.keys(controls)[KeyRpad]);
  held.axis(7, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, HeldInputs::axisPressed - 1);
  EXPECT_TRUE(held.keys(controls)[KeyRpad]);
  held.axis(7, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, HeldInputs::axisReleased);
  EXPECT_FALSE(held.keys(controls)[KeyRpad]);

  // Start is start1; Back + Start is start2 alone, on the pad that holds both.
  held.button(7, SDL_CONTROLLER_BUTTON_START, true);
  EXPECT_TRUE(held.keys(controls)[KeyStart1]);
  held.button(7, SDL_CONTROLLER_BUTTON_BACK, true);
  EXPECT_FALSE(held.keys(controls)[KeyStart1]);
  EXPECT_TRUE(held.keys(controls)[KeyStart2]);
  held.button(8, SDL_CONTROLLER_BUTTON_START, true);
  EXPECT_TRUE(held.keys(controls)[KeyStart1]);
  // A pad pulled out lets go of all it held.
  held.removePad(7);
  held.removePad(8);
  EXPECT_EQ(held.keys(controls), KeyState());
}

TEST(Controllers, SdlEventsOfAControllerDriveTheKeysAsTheMappedKeyboardKeys) {
  ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
  testing::internal::CaptureStdout();
  initControllers(nullptr);
  int device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                         SDL_CONTROLLER_BUTTON_MAX, 0);
  ASSERT_GE(device, 0) << SDL_GetError();
  InputState pad, keyboard;
  pollEvents(pad, currentTicks());  // the device-added event opens it
  SDL_Joystick* stick = SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(device));
  ASSERT_NE(stick, nullptr) << SDL_GetError();

  const struct {
    int button, axis;  // -1 where not used
    int key;           // the keyboard key the same game key has
  } cases[] = {{SDL_CONTROLLER_BUTTON_A, -1, SDLK_RETURN},
               {SDL_CONTROLLER_BUTTON_DPAD_LEFT, -1, SDLK_LEFT},
               {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, -1, SDLK_RSHIFT},
               {-1, SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDLK_LSHIFT}};
  for (const auto& c : cases) {
    for (bool down : {true, false}) {
      if (c.button >= 0) SDL_JoystickSetVirtualButton(stick, c.button, down);
      if (c.axis >= 0) SDL_JoystickSetVirtualAxis(stick, c.axis, down ? 32767 : -32768);
      SDL_JoystickUpdate();
      pollEvents(pad, currentTicks());
      (down ? handleKeyDown : handleKeyUp)(keyboard, c.key);
      EXPECT_EQ(pad.keys, keyboard.keys)
          << "button " << c.button << " axis " << c.axis << " down " << down;
    }
  }
  SDL_JoystickSetVirtualButton(stick, SDL_CONTROLLER_BUTTON_B, 1);
  SDL_JoystickUpdate();
  pollEvents(pad, currentTicks());
  EXPECT_TRUE(pad.keys[KeyPush]);
  SDL_JoystickDetachVirtual(device);
  pollEvents(pad, currentTicks());
  EXPECT_EQ(pad.keys, KeyState());  // pulled out while held: released
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Controller connected: "), std::string::npos) << out;
  EXPECT_NE(out.find("Controller disconnected: "), std::string::npos) << out;
  SDL_Quit();
}
