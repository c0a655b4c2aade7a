// Key state and the engine keys, driven through the key handlers the event
// pump feeds, with the console lines they print.
#include "app/input.h"

#include <SDL_keycode.h>
#include <gtest/gtest.h>

#include <string>

namespace {

constexpr int codeEscape = SDLK_ESCAPE, codeF5 = SDLK_F5, codeF9 = SDLK_F9, codeF10 = SDLK_F10,
              codeF11 = SDLK_F11;
constexpr int codeLeft = SDLK_LEFT, codeLshift = SDLK_LSHIFT, codeRshift = SDLK_RSHIFT,
              codeF1 = SDLK_F1, codeF4 = SDLK_F4;

class KeyHandling : public ::testing::Test {
 protected:
  void down(int code) { handleKeyDown(input, code); }
  void up(int code) { handleKeyUp(input, code); }
  bool anyHeld() const { return input.keys != KeyState(); }

  InputState input;
};

}  // namespace

TEST_F(KeyHandling, TableCoversTheTwelveGameKeysInOrder) {
  const int codes[gameKeyCount] = {SDLK_LEFT,   SDLK_RIGHT,  SDLK_UP,    SDLK_DOWN,
                                   SDLK_LSHIFT, SDLK_RSHIFT, SDLK_SPACE, SDLK_RETURN,
                                   SDLK_F1,     SDLK_F2,     SDLK_F3,    SDLK_F4};
  for (int k = 0; k < gameKeyCount; ++k) EXPECT_EQ(findGameKey(codes[k]), GameKey(k)) << k;
  EXPECT_EQ(findGameKey(0), KeyNone);
  EXPECT_EQ(findGameKey('a'), KeyNone);
  EXPECT_EQ(findGameKey(codeF10), KeyNone);
}

TEST_F(KeyHandling, PressAndReleaseBeforeTheNextLookEndsReleased) {
  down(codeLeft);
  up(codeLeft);
  EXPECT_FALSE(input.keys[KeyLeft]);
  down(codeLeft);
  down(codeLeft);  // no repeat counting: one release frees it
  up(codeLeft);
  EXPECT_FALSE(input.keys[KeyLeft]);
  up(codeLeft);  // a release without a press is harmless
  EXPECT_FALSE(anyHeld());
}

TEST_F(KeyHandling, FlippersAreIndependent) {
  down(codeLshift);
  EXPECT_TRUE(input.keys[KeyLpad]);
  EXPECT_FALSE(input.keys[KeyRpad]);
  down(codeRshift);
  up(codeLshift);
  EXPECT_FALSE(input.keys[KeyLpad]);
  EXPECT_TRUE(input.keys[KeyRpad]);
  down(codeF1);
  down(codeF4);
  EXPECT_TRUE(input.keys[KeyStart1]);
  EXPECT_TRUE(input.keys[KeyStart4]);
}

TEST_F(KeyHandling, F10AndF11ToggleWithTheirLinesAndNeverReachTheGame) {
  testing::internal::CaptureStdout();
  down(codeF10);
  up(codeF10);
  down(codeF10);
  down(codeF11);
  down(codeF11);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Drawing visual debug helpers\n"
            "Not drawing visual debug helpers\n"
            "Not drawing the level images\n"
            "Drawing the level images\n");
  EXPECT_FALSE(input.draw.debugHelpers);
  EXPECT_TRUE(input.draw.levelImages);
  EXPECT_FALSE(anyHeld());
  EXPECT_TRUE(input.running);
}

// The main loop prints what a reload does (or why it is refused); the error
// panel shows itself whether it is on.
TEST_F(KeyHandling, F5AndF9ActQuietlyAndNeverReachTheGame) {
  EXPECT_EQ(findGameKey(codeF5), KeyNone);
  EXPECT_EQ(findGameKey(codeF9), KeyNone);
  EXPECT_TRUE(input.draw.errorPanel);
  testing::internal::CaptureStdout();
  down(codeF5);
  up(codeF5);
  down(codeF9);
  up(codeF9);
  EXPECT_FALSE(input.draw.errorPanel);
  down(codeF9);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(input.draw.errorPanel);
  EXPECT_TRUE(input.reloadRequested);
  EXPECT_FALSE(anyHeld());
  EXPECT_TRUE(input.running);
}

TEST_F(KeyHandling, EscapeQuitsWithOneLinePerPress) {
  testing::internal::CaptureStdout();
  down(codeEscape);
  up(codeEscape);
  down(codeEscape);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "ESC pressed; quitting the game.\nESC pressed; quitting the game.\n");
  EXPECT_FALSE(input.running);
  EXPECT_FALSE(anyHeld());
}

TEST_F(KeyHandling, UnknownKeysChangeNothing) {
  testing::internal::CaptureStdout();
  // 276 and 291 were SDL 1.2's left arrow and F10.
  for (int code : {0, 1, int('a'), int('z'), 300, 1000, -5, 276, 291, int(SDLK_LCTRL)}) {
    down(code);
    up(code);
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_FALSE(anyHeld());
  EXPECT_TRUE(input.running);
  EXPECT_FALSE(input.draw.debugHelpers);
  EXPECT_TRUE(input.draw.levelImages);
}
