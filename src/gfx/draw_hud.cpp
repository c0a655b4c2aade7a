// Drawing of the HUD grid in screen space: the unlit dots, then the lit ones,
// each image stretched to the lit image's size.
#include <GL/gl.h>

#include "gfx/draw_world.h"
#include "gfx/hud.h"

namespace {

// One quad list per cell value, so each image is bound once per frame.
void drawCells(const HudDisplay& hud, unsigned char value, float w, float h) {
  int columns = hud.columns, rows = hud.rows;
  // The grid may be smaller than its nominal size if it was never allocated.
  if (int(hud.cells.size()) < rows * columns) return;
  const unsigned char* cells = hud.cells.data();
  glColor3f(1, 1, 1);
  glBegin(GL_QUADS);
  float y0 = 0;
  for (int i = 0; i < rows; ++i) {
    float y1 = y0 + h;
    float x0 = 0;
    for (int j = 0; j < columns; ++j) {
      float x1 = x0 + w;
      if (cells[i * columns + j] == value) {
        glTexCoord2f(0, 0);
        glVertex2f(x0, y0);
        glTexCoord2f(1, 0);
        glVertex2f(x1, y0);
        glTexCoord2f(1, 1);
        glVertex2f(x1, y1);
        glTexCoord2f(0, 1);
        glVertex2f(x0, y1);
      }
      x0 = x1;
    }
    y0 = y1;
  }
  glEnd();
}

}  // namespace

void drawHud(const HudDisplay& hud) {
  if (!hud.litImage || !hud.unlitImage) return;
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  // Screen space: the HUD ignores the camera.
  glLoadIdentity();

  float w = float(hud.litImage->width), h = float(hud.litImage->height);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, hud.unlitImage->texture);
  drawCells(hud, 0, w, h);
  glBindTexture(GL_TEXTURE_2D, hud.litImage->texture);
  drawCells(hud, 1, w, h);

  glPopMatrix();
}
