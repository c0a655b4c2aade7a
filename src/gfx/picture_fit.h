// Where the fixed 800x600 picture goes on a drawable of any size: as large
// as fits with its aspect kept, centred, black bars on the rest, and turned
// for a display that stands on its side.
#pragma once

// A picture turn the display accepts, in degrees clockwise as the player
// sees it: 0, 90, 180 or 270.
bool isPictureTurn(int clockwiseDegrees);

struct PictureFit {
  // The viewport in drawable pixels, origin at the bottom left as OpenGL
  // counts; width or height 0 when the drawable is empty.
  int x = 0, y = 0, width = 0, height = 0;
  // The turn applied to normalised device coordinates (y up) after the
  // projection: x' = xx * x + xy * y, y' = yx * x + yy * y. Whole numbers,
  // so that no turn blurs the picture.
  int xx = 1, xy = 0, yx = 0, yy = 1;
};

// The picture of pictureWidth x pictureHeight pixels on a drawable of the
// given size, turned by clockwiseDegrees (one of isPictureTurn). A quarter
// turn fits the picture's height across the drawable's width.
PictureFit fitPicture(int drawableWidth, int drawableHeight, int pictureWidth, int pictureHeight,
                      int clockwiseDegrees);
