// The letterbox arithmetic: whole pixels, rounded to the nearest, so that a
// drawable of the picture's own size shows it pixel for pixel.
#include "gfx/picture_fit.h"

#include <cassert>

bool isPictureTurn(int clockwiseDegrees) {
  return clockwiseDegrees == 0 || clockwiseDegrees == 90 || clockwiseDegrees == 180 ||
         clockwiseDegrees == 270;
}

PictureFit fitPicture(int drawableWidth, int drawableHeight, int pictureWidth, int pictureHeight,
                      int clockwiseDegrees) {
  assert(isPictureTurn(clockwiseDegrees) && pictureWidth > 0 && pictureHeight > 0);
  PictureFit fit;
  const int quarters = clockwiseDegrees / 90;
  // Clockwise on the screen is a negative angle in y-up device coordinates.
  static const int cosines[4] = {1, 0, -1, 0}, sines[4] = {0, -1, 0, 1};
  fit.xx = fit.yy = cosines[quarters];
  fit.xy = -sines[quarters];
  fit.yx = sines[quarters];

  // Products in 64 bits: a drawable of tens of thousands of pixels times
  // the picture's size overflows 32.
  const long long across = quarters % 2 ? pictureHeight : pictureWidth;
  const long long down = quarters % 2 ? pictureWidth : pictureHeight;
  const long long width = drawableWidth > 0 ? drawableWidth : 0;
  const long long height = drawableHeight > 0 ? drawableHeight : 0;
  if (width * down <= height * across) {  // narrower than the picture: bars above and below
    fit.width = int(width);
    fit.height = int((width * down + across / 2) / across);
  } else {
    fit.height = int(height);
    fit.width = int((height * across + down / 2) / down);
  }
  fit.x = int(width - fit.width) / 2;
  fit.y = int(height - fit.height) / 2;
  return fit;
}
