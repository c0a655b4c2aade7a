// The HUD grid: creation, scores in the corners, standing and scrolling
// messages, inversion and blinking.
#include <gtest/gtest.h>

#include <cmath>

#include "hud_catalog.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(HudCreation, ColumnsFollowTheLitImageWidth) {
  HudCatalog eight(8), nine(9);
  Hud a(eight.data), b(nine.data);
  EXPECT_EQ(a.columns, 100);
  EXPECT_EQ(b.columns, 88);  // 8 pixels of the 800 stay uncovered
  EXPECT_EQ(a.rows, 20);
  EXPECT_EQ(a.cells.size(), 2000u);
  EXPECT_EQ(b.cells.size(), 88u * 20u);
  EXPECT_TRUE(a.visible);
}

TEST(HudCreation, MissingImagesWarnOnceEachAndLeaveOneColumn) {
  HudCatalog none(-1, false);
  CaptureStdout();
  Hud hud(none.data);
  EXPECT_EQ(GetCapturedStdout(),
            "WARNING: HUD texture 'Images\\hud-lit.png' not found!\n"
            "WARNING: HUD texture 'Images\\hud-unlit.png' not found!\n");
  EXPECT_EQ(hud.columns, 1);
  EXPECT_EQ(hud.cells.size(), 20u);
  hud.setPlayers(4);
  hud.setScore(1, 99);
  runSteps(hud, 2);  // scores clipped into one column, nothing outside
  hud.showText("Hi", 1, 0, false);
  runSteps(hud, 2);

  HudCatalog all;
  CaptureStdout();
  Hud quiet(all.data);
  EXPECT_EQ(GetCapturedStdout(), "");
}

TEST(HudCreation, UnusableLitImageWidths) {
  HudCatalog zero(0), negative(-1), wide(900);
  negative.data.textures.push_back(HudCatalog::texture("Images\\hud-lit.png", -8));
  Hud a(zero.data), b(negative.data), c(wide.data);
  EXPECT_EQ(a.columns, 1);
  EXPECT_EQ(b.columns, 1);
  EXPECT_EQ(c.columns, 0);
  EXPECT_TRUE(c.cells.empty());
  c.setPlayers(4);
  c.update(stepLength);
  c.scrollText("Hi", 1000, 0.1f, true);
  runSteps(c, 3);
}

class HudTest : public ::testing::Test {
 protected:
  HudCatalog catalog;
  Hud hud{catalog.data};
};

TEST_F(HudTest, BlankWithoutPlayersOrMessage) {
  runSteps(hud, 3);
  EXPECT_EQ(litCount(hud), 0);
  EXPECT_FALSE(hud.hasText());
}

TEST_F(HudTest, ScoresSitInTheFourCorners) {
  hud.setPlayers(4);
  hud.setScore(0, 5);     // 3 wide + 1
  hud.setScore(1, 1234);  // 4 x (3 + 1) = 16 wide
  hud.setScore(2, 0);
  hud.setScore(3, 7);
  hud.update(stepLength);

  // Player 0: top left at (1, 1).
  EXPECT_EQ(cellAt(hud, 0, 1), 0);
  EXPECT_EQ(cellAt(hud, 1, 1), 1);
  EXPECT_EQ(cellAt(hud, 3, 5), 1);
  EXPECT_EQ(cellAt(hud, 3, 6), 0);
  EXPECT_EQ(cellAt(hud, 1, 0), 0);
  // Player 1: right-aligned at column 99 - 16 = 83; the last digit ends at
  // 97, one margin cell plus one spacing cell from the edge.
  for (int column : {83, 85, 87, 89, 91, 93, 95, 97})
    EXPECT_EQ(cellAt(hud, column, 1), 1) << column;
  for (int column : {82, 86, 90, 94, 98, 99}) EXPECT_EQ(cellAt(hud, column, 1), 0) << column;
  // Player 2: bottom left, rows 19 - 5 = 14 to 18.
  EXPECT_EQ(cellAt(hud, 1, 14), 1);
  EXPECT_EQ(cellAt(hud, 1, 18), 1);
  EXPECT_EQ(cellAt(hud, 1, 19), 0);
  EXPECT_EQ(cellAt(hud, 1, 13), 0);
  // Player 3: bottom right, columns 95 to 97.
  EXPECT_EQ(cellAt(hud, 95, 14), 1);
  EXPECT_EQ(cellAt(hud, 97, 18), 1);
  EXPECT_EQ(cellAt(hud, 94, 18), 0);
  EXPECT_EQ(litCount(hud), 15 * (1 + 4 + 1 + 1));
}

TEST_F(HudTest, PlayerCountIsClampedAndBadIndicesIgnored) {
  hud.setPlayers(7);
  hud.update(stepLength);
  EXPECT_EQ(litCount(hud), 4 * 15);  // four zeros

  hud.setScore(4, 88888);
  hud.setScore(-1, 88888);
  hud.update(stepLength);
  EXPECT_EQ(litCount(hud), 4 * 15);

  hud.setPlayers(-1);
  hud.update(stepLength);
  EXPECT_EQ(litCount(hud), 0);

  hud.setPlayers(1);
  hud.setScore(0, -12);  // "-12": the minus sign has no glyph
  hud.update(stepLength);
  EXPECT_EQ(litCount(hud), 2 * 15);
}

TEST_F(HudTest, StandingTextIsCentredAndReplacesTheScores) {
  hud.setPlayers(2);
  hud.showText("Hi", 1, 0, false);
  EXPECT_TRUE(hud.hasText());
  hud.update(stepLength);
  // "Hi" is 7 x 7: left at 50 - 3 = 47, top at 10 - 3 = 7.
  EXPECT_EQ(cellAt(hud, 47, 7), 1);
  EXPECT_EQ(cellAt(hud, 50, 13), 1);
  EXPECT_EQ(cellAt(hud, 46, 7), 0);
  EXPECT_EQ(cellAt(hud, 47, 6), 0);
  EXPECT_EQ(cellAt(hud, 52, 9), 1);  // i sits on the baseline
  EXPECT_EQ(cellAt(hud, 52, 8), 0);
  EXPECT_EQ(litCount(hud), 28 + 5);
}

TEST_F(HudTest, StandingTextLastsItsDuration) {
  hud.showText("Hi", 2, 0, false);
  runSteps(hud, 595);
  EXPECT_TRUE(hud.hasText());
  runSteps(hud, 10);
  EXPECT_FALSE(hud.hasText());

  hud.showText("Hi", 0, 0, false);
  hud.update(stepLength);
  EXPECT_EQ(litCount(hud), 33);  // written once
  EXPECT_FALSE(hud.hasText());
  hud.update(stepLength);
  EXPECT_EQ(litCount(hud), 0);

  hud.showText("Hi", NAN, 0, false);  // treated as 0 rather than forever
  hud.update(stepLength);
  EXPECT_FALSE(hud.hasText());
}

TEST_F(HudTest, EmptyTextIsAMessageUntilItsTimeIsUp) {
  hud.setPlayers(1);
  hud.showText("", 1, 0, false);
  EXPECT_TRUE(hud.hasText());
  runSteps(hud, 290);
  EXPECT_TRUE(hud.hasText());
  EXPECT_EQ(litCount(hud), 0);  // no scores behind the empty message
  runSteps(hud, 20);
  EXPECT_FALSE(hud.hasText());
  hud.update(stepLength);
  EXPECT_EQ(litCount(hud), 15);
}

TEST_F(HudTest, NoTextOrNoFontOnlyClearsTheMessage) {
  hud.showText("Hi", 5, 0, false);
  hud.scrollText(nullptr, 5, 0, false);
  EXPECT_FALSE(hud.hasText());
  hud.showText("Hi", 5, 0, false);
  hud.clearText();
  EXPECT_FALSE(hud.hasText());

  HudCatalog fontless(8, true, false);
  Hud bare(fontless.data);
  bare.showText("Hi", 5, 0, false);
  bare.setPlayers(4);
  bare.update(stepLength);
  EXPECT_FALSE(bare.hasText());
  EXPECT_EQ(litCount(bare), 0);  // no small font either
}

TEST_F(HudTest, ScrollingTextEntersOnTheRightAndLeavesOnTheLeft) {
  hud.scrollText("Hi", 4, 0, false);  // 4 cells/s at 0.25 s per update: 1 cell
  hud.update(0.25f);
  EXPECT_EQ(litCount(hud), 0);  // starts just beyond the right edge
  hud.update(0.25f);
  // Left edge at 99, vertically centred: rows 7 to 13.
  EXPECT_TRUE(onlyRectLit(hud, 99, 7, 99, 13));
  // Gone once its left edge plus its width (7) is below 0: at x = -8,
  // reached on update 108.
  for (int i = 3; i <= 107; ++i) hud.update(0.25f);
  EXPECT_TRUE(hud.hasText());
  hud.update(0.25f);
  EXPECT_FALSE(hud.hasText());
}

TEST_F(HudTest, SlowOrInvalidScrollSpeedsMoveAtTheMinimum) {
  for (float speed : {0.0f, -3.0f, float(NAN)}) {
    hud.scrollText("Hi", speed, 0, false);
    hud.update(50);  // 0.5 cells at 0.01 cells/s
    hud.update(50);
    EXPECT_NEAR(hud.textX, 99.0f, 1e-3);
    EXPECT_EQ(cellAt(hud, 99, 7), 1);  // drawn at 99.5 truncated
  }
}

TEST_F(HudTest, InversionCoversTheWholeGrid) {
  hud.showText("Hi", 1, 0, true);
  hud.update(stepLength);
  EXPECT_EQ(litCount(hud), 2000 - 33);
  EXPECT_EQ(cellAt(hud, 0, 0), 1);
  EXPECT_EQ(cellAt(hud, 47, 7), 0);
}

TEST_F(HudTest, BlinkingFlipsTheInversionEachPeriod) {
  hud.showText("Hi", 10, 0.5f, false);
  runSteps(hud, 148);
  EXPECT_EQ(cellAt(hud, 0, 0), 0);
  runSteps(hud, 4);  // flipped at about step 150, shown from the next
  EXPECT_EQ(cellAt(hud, 0, 0), 1);
  runSteps(hud, 146);
  EXPECT_EQ(cellAt(hud, 0, 0), 1);
  runSteps(hud, 4);
  EXPECT_EQ(cellAt(hud, 0, 0), 0);

  hud.showText("Hi", 10, -1, false);
  runSteps(hud, 400);
  EXPECT_EQ(cellAt(hud, 0, 0), 0);
}

TEST_F(HudTest, TinyBlinkPeriodsDoNotStallAStep) {
  hud.showText("Hi", 10, 1e-30f, false);
  runSteps(hud, 3);  // 3e27 periods per step: settled by parity
  EXPECT_TRUE(hud.hasText());
  EXPECT_LT(hud.blinkClock, 1e-30f);
}

TEST_F(HudTest, HidingStopsNothingButTheDrawing) {
  hud.setVisible(false);
  EXPECT_FALSE(hud.visible);
  hud.showText("Hi", 1, 0, false);
  runSteps(hud, 310);
  EXPECT_FALSE(hud.hasText());
}

}  // namespace
