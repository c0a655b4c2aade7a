// Drawing of the HUD grid in screen space: the unlit dots, then the lit ones,
// each image stretched to the lit image's size, all from one vertex array.
#include <GL/gl.h>

#include <vector>

#include "gfx/draw_world.h"
#include "gfx/hud.h"
#include "gfx/sprite_batch.h"

namespace {

// The quads of a frame; kept, so that after the first frame no drawing
// allocates: the grid never has more than rows * columns quads.
std::vector<BatchVertex> dots;

// Writes a quad for each cell holding value, starting at out; returns where
// the next quad goes.
BatchVertex* addCells(const HudDisplay& hud, unsigned char value, float w, float h,
                      BatchVertex* out) {
  int columns = hud.columns, rows = hud.rows;
  const unsigned char* cells = hud.cells.data();
  float y0 = 0;
  for (int i = 0; i < rows; ++i) {
    float y1 = y0 + h;
    float x0 = 0;
    for (int j = 0; j < columns; ++j) {
      float x1 = x0 + w;
      if (cells[i * columns + j] == value) {
        *out++ = {x0, y0, 0, 0};
        *out++ = {x1, y0, 1, 0};
        *out++ = {x1, y1, 1, 1};
        *out++ = {x0, y1, 0, 1};
      }
      x0 = x1;
    }
    y0 = y1;
  }
  return out;
}

}  // namespace

void drawHud(const HudDisplay& hud) {
  if (!hud.litImage || !hud.unlitImage) return;
  // The grid may be smaller than its nominal size if it was never allocated.
  if (int(hud.cells.size()) < hud.rows * hud.columns) return;
  float w = float(hud.litImage->width), h = float(hud.litImage->height);
  size_t most = size_t(hud.rows) * size_t(hud.columns) * 4;
  if (dots.size() < most) dots.resize(most);
  BatchVertex* unlitEnd = addCells(hud, 0, w, h, dots.data());
  BatchVertex* litEnd = addCells(hud, 1, w, h, unlitEnd);
  int unlit = int(unlitEnd - dots.data()), lit = int(litEnd - unlitEnd);

  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  // Screen space: the HUD ignores the camera.
  glLoadIdentity();
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_TEXTURE_2D);
  glColor3f(1, 1, 1);
  pointArraysAt(dots.data());
  // One draw per image, so that each is bound once per frame.
  glBindTexture(GL_TEXTURE_2D, hud.unlitImage->texture);
  drawArrays(GL_QUADS, 0, unlit);
  glBindTexture(GL_TEXTURE_2D, hud.litImage->texture);
  drawArrays(GL_QUADS, unlit, lit);
  releaseArrays();
  glPopMatrix();
}
