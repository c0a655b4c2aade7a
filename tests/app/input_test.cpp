// Key state and the engine keys, driven through the key handlers the event
// pump feeds, with the console lines they print.
#include <gtest/gtest.h>

#include <string>

#include "app/input.h"

namespace {

constexpr int codeEscape = 27, codeF10 = 291, codeF11 = 292;
constexpr int codeLeft = 276, codeLshift = 304, codeRshift = 303, codeF1 = 282, codeF4 = 285;

class KeyHandling : public ::testing::Test {
 protected:
  void SetUp() override {
    for (bool& held : keyState) held = false;
    running = true;
    drawDebugHelpers = false;
    drawLevelImages = true;
  }
  static bool anyHeld() {
    for (int k = 0; k < gameKeyCount; ++k)
      if (keyState[k]) return true;
    return false;
  }
};

}  // namespace

TEST_F(KeyHandling, TableCoversTheTwelveGameKeysInOrder) {
  const int codes[gameKeyCount] = {276, 275, 273, 274, 304, 303, 32, 13, 282, 283, 284, 285};
  for (int k = 0; k < gameKeyCount; ++k) EXPECT_EQ(findGameKey(codes[k]), GameKey(k)) << k;
  EXPECT_EQ(findGameKey(0), KeyNone);
  EXPECT_EQ(findGameKey('a'), KeyNone);
  EXPECT_EQ(findGameKey(codeF10), KeyNone);
  EXPECT_STREQ(gameKeyNames[KeyLpad], "lpad");
  EXPECT_STREQ(gameKeyNames[KeyStart4], "start4");
}

TEST_F(KeyHandling, PressAndReleaseBeforeTheNextLookEndsReleased) {
  handleKeyDown(codeLeft);
  handleKeyUp(codeLeft);
  EXPECT_FALSE(keyState[KeyLeft]);
  handleKeyDown(codeLeft);
  handleKeyDown(codeLeft);  // no repeat counting: one release frees it
  handleKeyUp(codeLeft);
  EXPECT_FALSE(keyState[KeyLeft]);
  handleKeyUp(codeLeft);  // a release without a press is harmless
  EXPECT_FALSE(anyHeld());
}

TEST_F(KeyHandling, FlippersAreIndependent) {
  handleKeyDown(codeLshift);
  EXPECT_TRUE(keyState[KeyLpad]);
  EXPECT_FALSE(keyState[KeyRpad]);
  handleKeyDown(codeRshift);
  handleKeyUp(codeLshift);
  EXPECT_FALSE(keyState[KeyLpad]);
  EXPECT_TRUE(keyState[KeyRpad]);
  handleKeyDown(codeF1);
  handleKeyDown(codeF4);
  EXPECT_TRUE(keyState[KeyStart1]);
  EXPECT_TRUE(keyState[KeyStart4]);
  EXPECT_FALSE(keyState[KeyNone]);
}

TEST_F(KeyHandling, F10AndF11ToggleWithTheirLinesAndNeverReachTheGame) {
  testing::internal::CaptureStdout();
  handleKeyDown(codeF10);
  handleKeyUp(codeF10);
  handleKeyDown(codeF10);
  handleKeyDown(codeF11);
  handleKeyDown(codeF11);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Drawing visual debug helpers\n"
            "Not drawing visual debug helpers\n"
            "Not drawing the level images\n"
            "Drawing the level images\n");
  EXPECT_FALSE(drawDebugHelpers);
  EXPECT_TRUE(drawLevelImages);
  EXPECT_FALSE(anyHeld());
  EXPECT_FALSE(keyState[KeyNone]);
  EXPECT_TRUE(running);
}

TEST_F(KeyHandling, EscapeQuitsWithOneLinePerPress) {
  testing::internal::CaptureStdout();
  handleKeyDown(codeEscape);
  handleKeyUp(codeEscape);
  handleKeyDown(codeEscape);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "ESC pressed; quitting the game.\nESC pressed; quitting the game.\n");
  EXPECT_FALSE(running);
  EXPECT_FALSE(anyHeld());
}

TEST_F(KeyHandling, UnknownKeysChangeNothing) {
  testing::internal::CaptureStdout();
  for (int code : {0, 1, int('a'), int('z'), 300, 1000, -5}) {
    handleKeyDown(code);
    handleKeyUp(code);
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_FALSE(anyHeld());
  EXPECT_TRUE(running);
  EXPECT_FALSE(drawDebugHelpers);
  EXPECT_TRUE(drawLevelImages);
}
