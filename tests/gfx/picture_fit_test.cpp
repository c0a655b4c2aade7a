// The picture's place on drawables of every shape, by hand: 800x600 scaled
// to fit with its aspect kept, centred, and turned for a display on its side.
#include "gfx/picture_fit.h"

#include <gtest/gtest.h>

TEST(PictureFit, ScalesToFitCentresAndTurns) {
  // up and right: where the picture's upward and rightward directions
  // point on the display (y up), as (x, y).
  const struct {
    int drawableWidth, drawableHeight, degrees;
    int x, y, width, height;
    int upX, upY, rightX, rightY;
  } cases[] = {
      {800, 600, 0, 0, 0, 800, 600, 0, 1, 1, 0},        // a window at its first size
      {1920, 1080, 0, 240, 0, 1440, 1080, 0, 1, 1, 0},  // wide: bars left and right
      {1024, 768, 0, 0, 0, 1024, 768, 0, 1, 1, 0},      // 4:3: no bars
      {1200, 1000, 0, 0, 50, 1200, 900, 0, 1, 1, 0},    // tall: bars above and below
      {1000, 500, 0, 166, 0, 667, 500, 0, 1, 1, 0},     // 666.7 rounds to 667
      {1920, 1080, 90, 555, 0, 810, 1080, 1, 0, 0, -1},
      {1080, 1920, 90, 0, 240, 1080, 1440, 1, 0, 0, -1},  // a display on its side
      {800, 600, 180, 0, 0, 800, 600, 0, -1, -1, 0},
      {800, 600, 270, 175, 0, 450, 600, -1, 0, 0, 1},
      {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0},  // minimised
  };
  for (const auto& c : cases) {
    PictureFit fit = fitPicture(c.drawableWidth, c.drawableHeight, 800, 600, c.degrees);
    SCOPED_TRACE(testing::Message()
                 << c.drawableWidth << "x" << c.drawableHeight << " turned " << c.degrees);
    EXPECT_EQ(fit.x, c.x);
    EXPECT_EQ(fit.y, c.y);
    EXPECT_EQ(fit.width, c.width);
    EXPECT_EQ(fit.height, c.height);
    EXPECT_EQ(fit.xy, c.upX);
    EXPECT_EQ(fit.yy, c.upY);
    EXPECT_EQ(fit.xx, c.rightX);
    EXPECT_EQ(fit.yx, c.rightY);
  }
}

TEST(PictureFit, OnlyQuarterTurnsAreTurns) {
  for (int degrees : {0, 90, 180, 270}) EXPECT_TRUE(isPictureTurn(degrees)) << degrees;
  for (int degrees : {-90, 45, 360, 1}) EXPECT_FALSE(isPictureTurn(degrees)) << degrees;
}
