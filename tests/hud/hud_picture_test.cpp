// The HUD grid's picture: which dot each cell gets, where its texels go, and
// which rows count as changed.
#include "gfx/hud_picture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A 2x1-pixel dot whose bytes all equal value.
std::vector<unsigned char> dot(unsigned char value) {
  return std::vector<unsigned char>(2 * 1 * 4, value);
}

TEST(GridPicture, CellsBecomeTheirDotsAndOnlyChangedRowsAreComposedAgain) {
  GridPicture picture;
  picture.reset(3, 2, 2, 1, dot(0xaa), dot(0x11));
  unsigned char cells[6] = {1, 0, 2,  // lit, unlit, neither
                            0, 0, 1};
  ASSERT_TRUE(picture.rowChanged(cells, 0));
  ASSERT_TRUE(picture.rowChanged(cells, 1));

  const unsigned char* strip = picture.composeRow(cells, 0);
  const unsigned char expected[3] = {0xaa, 0x11, 0x00};  // per cell: two pixels of 4 bytes
  for (int cell = 0; cell < 3; ++cell)
    for (int byte = 0; byte < 8; ++byte)
      EXPECT_EQ(strip[cell * 8 + byte], expected[cell]) << "cell " << cell << " byte " << byte;
  EXPECT_FALSE(picture.rowChanged(cells, 0));
  EXPECT_TRUE(picture.rowChanged(cells, 1));  // not composed yet

  cells[2] = 1;
  EXPECT_TRUE(picture.rowChanged(cells, 0));
  picture.composeRow(cells, 1);
  EXPECT_FALSE(picture.rowChanged(cells, 1));
  EXPECT_FALSE(picture.rowChanged(cells, 2));  // outside the grid: nothing to compose
  EXPECT_FALSE(picture.rowChanged(cells, -1));

  // A reset starts over: every row is to be composed again.
  picture.reset(3, 2, 2, 1, dot(0xaa), dot(0x11));
  EXPECT_TRUE(picture.rowChanged(cells, 1));
}

}  // namespace
