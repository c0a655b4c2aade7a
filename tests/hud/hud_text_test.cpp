// Bitmap text layout and copying bitmaps into the grid.
#include <gtest/gtest.h>

#include "hud_catalog.h"

namespace {

TEST(RenderText, GlyphRowsKeepTheirOrderAndAreFollowedBySpacing) {
  DotBitmap bitmap = renderText(bigFontDef(), "L");
  ASSERT_EQ(bitmap.width, 3);  // 2 + spacing 1
  ASSERT_EQ(bitmap.height, 3);
  EXPECT_EQ(bitmap.cells, (std::vector<unsigned char>{1, 0, 0,  //
                                                      1, 0, 0,  //
                                                      1, 1, 0}));
}

TEST(RenderText, GlyphsShareTheBottomRowAndSpacesAdvanceWithoutAGlyph) {
  // H (4 wide, 7 high) + 1, space 3, i (1 wide, 5 high) + 1.
  DotBitmap bitmap = renderText(bigFontDef(), "H i");
  ASSERT_EQ(bitmap.width, 10);
  ASSERT_EQ(bitmap.height, 7);
  for (int row = 0; row < 7; ++row) {
    for (int column = 0; column < 10; ++column) {
      bool h = column < 4;
      bool i = column == 8 && row >= 2;
      EXPECT_EQ(bitmap.cells[size_t(row * 10 + column)], h || i ? 1 : 0)
          << "row " << row << " column " << column;
    }
  }
}

TEST(RenderText, UnknownCharactersAreSkipped) {
  DotBitmap plain = renderText(bigFontDef(), "Hi");
  DotBitmap mixed = renderText(bigFontDef(), "?H\x80i#");
  EXPECT_EQ(mixed.width, 7);
  EXPECT_EQ(mixed.height, 7);
  EXPECT_EQ(mixed.cells, plain.cells);
}

TEST(RenderText, NoTextAndEmptyTextGiveAnEmptyBitmap) {
  DotBitmap none = renderText(bigFontDef(), nullptr);
  DotBitmap empty = renderText(bigFontDef(), "");
  DotBitmap unknown = renderText(bigFontDef(), "???");
  for (const DotBitmap* bitmap : {&none, &empty, &unknown}) {
    EXPECT_EQ(bitmap->width, 0);
    EXPECT_EQ(bitmap->height, 0);
    EXPECT_TRUE(bitmap->cells.empty());
  }
  // Spaces alone are wide but have no height.
  DotBitmap spaces = renderText(bigFontDef(), "  ");
  EXPECT_EQ(spaces.width, 6);
  EXPECT_EQ(spaces.height, 0);
}

TEST(RenderText, ReusedBitmapIsFullyReplaced) {
  DotBitmap bitmap = renderText(bigFontDef(), "H H H");
  renderTextInto(bigFontDef(), "L", bitmap);
  EXPECT_EQ(bitmap.width, 3);
  EXPECT_EQ(bitmap.cells.size(), 9u);
}

TEST(RenderText, DamagedFontsNeverMakeNegativeOrOversizedBitmaps) {
  FontDef font = bigFontDef();
  font.spacing = -3;  // advance of L: max(0, 2 - 3) = 0
  DotBitmap overlapped = renderText(font, "LL");
  EXPECT_EQ(overlapped.width, 2);
  EXPECT_EQ(overlapped.height, 3);

  font = bigFontDef();
  font.spaceWidth = -50;  // spaces stop moving the pen
  DotBitmap spaced = renderText(font, "L L");
  EXPECT_EQ(spaced.width, 6);

  font = bigFontDef();
  font.glyphs.push_back(makeGlyph('W', -5, -5));
  font.glyphs.push_back(makeGlyph('T', 1, 400));  // taller than the cap
  Glyph wide = makeGlyph('X', 1, 1);
  wide.width = 2000000000;  // claims far more columns than its data holds
  font.glyphs.push_back(wide);
  DotBitmap odd = renderText(font, "WTXXXX");
  EXPECT_GE(odd.width, 0);
  EXPECT_LE(odd.width, maxTextWidth);
  EXPECT_EQ(odd.height, maxTextHeight);
  EXPECT_EQ(odd.cells.size(), size_t(odd.width) * size_t(odd.height));
  // W has no cells but still advances by the spacing; T after it keeps
  // its bottom rows, on the baseline.
  EXPECT_EQ(odd.cells[size_t((maxTextHeight - 1) * odd.width + 1)], 1);
  EXPECT_EQ(odd.cells[size_t((maxTextHeight - 1) * odd.width)], 0);
}

class BlitTest : public ::testing::Test {
 protected:
  HudCatalog catalog;
  Hud hud{catalog.data};
  DotBitmap block{3, 2, std::vector<unsigned char>(6, 1)};  // 3 wide, 2 high, solid
};

TEST_F(BlitTest, AlignmentFlagsMoveTheRectangle) {
  hud.blit(&block, 10, 10, 0);
  EXPECT_TRUE(onlyRectLit(hud, 10, 10, 12, 11));
  std::fill(hud.cells.begin(), hud.cells.end(), 0);
  hud.blit(&block, 10, 10, AlignCenterX | AlignCenterY);  // 3/2 = 1, 2/2 = 1
  EXPECT_TRUE(onlyRectLit(hud, 9, 9, 11, 10));
  std::fill(hud.cells.begin(), hud.cells.end(), 0);
  hud.blit(&block, 10, 10, AlignRight | AlignBottom);
  EXPECT_TRUE(onlyRectLit(hud, 7, 8, 9, 9));
  std::fill(hud.cells.begin(), hud.cells.end(), 0);
  // Centring wins over right and bottom alignment.
  hud.blit(&block, 10, 10, AlignCenterX | AlignRight | AlignCenterY | AlignBottom);
  EXPECT_TRUE(onlyRectLit(hud, 9, 9, 11, 10));
}

TEST_F(BlitTest, CellsOutsideTheGridAreDroppedAndZerosOverwrite) {
  hud.blit(&block, -2, -1, 0);
  EXPECT_TRUE(onlyRectLit(hud, 0, 0, 0, 0));
  std::fill(hud.cells.begin(), hud.cells.end(), 0);
  hud.blit(&block, 98, 19, 0);
  EXPECT_TRUE(onlyRectLit(hud, 98, 19, 99, 19));
  hud.blit(&block, 1000000, -1000000, 0);
  hud.blit(&block, INT32_MIN, INT32_MAX, AlignRight | AlignBottom);
  EXPECT_EQ(litCount(hud), 2);

  std::fill(hud.cells.begin(), hud.cells.end(), 1);
  block.cells.assign(6, 0);
  hud.blit(&block, 5, 5, 0);
  EXPECT_EQ(litCount(hud), 100 * 20 - 6);
  EXPECT_EQ(cellAt(hud, 7, 6), 0);
  EXPECT_EQ(cellAt(hud, 8, 6), 1);
}

TEST_F(BlitTest, MissingOrMalformedBitmapsLeaveTheGridAlone) {
  hud.blit(nullptr, 5, 5, 0);
  block.cells.resize(4);  // shorter than 3 x 2
  hud.blit(&block, 5, 5, 0);
  EXPECT_EQ(litCount(hud), 0);
}

}  // namespace
