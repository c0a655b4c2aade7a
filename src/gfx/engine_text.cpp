// stb_easy_font's quads, in screen space over whatever the frame holds.
#include "gfx/engine_text.h"

#include <GL/gl.h>

#include <vector>

#include "gfx/graphics.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wsign-compare"
#include <stb/stb_easy_font.h>
#pragma GCC diagnostic pop

namespace {

void beginScreenSpace() {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glDisable(GL_TEXTURE_2D);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

}  // namespace

void layOutEngineText(const char* text, EngineText& out) {
  // The font indexes its table by the character and has glyphs for
  // printable ASCII only.
  int n = 0;
  for (; text[n] && n < maxEngineText; ++n) {
    char c = text[n];
    out.shown[n] = c == '\n' || (c >= 32 && c <= 126) ? c : '?';
  }
  out.shown[n] = '\0';
  out.width = float(stb_easy_font_width(out.shown));
  out.height = float(stb_easy_font_height(out.shown));
}

void drawEngineText(const EngineText& text, float x, float y, float scale) {
  // 64 bytes per quad and at most 16 quads per character.
  static std::vector<char> quads(maxEngineText * 16 * 64);
  int count = stb_easy_font_print(0, 0, const_cast<char*>(text.shown), nullptr, quads.data(),
                                  int(quads.size()));
  beginScreenSpace();
  glTranslatef(x, y, 0);
  glScalef(scale, scale, 1);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(2, GL_FLOAT, 16, quads.data());
  glDrawArrays(GL_QUADS, 0, count * 4);
  glDisableClientState(GL_VERTEX_ARRAY);
  glPopMatrix();
}

void drawEngineBox(float x0, float y0, float x1, float y1) {
  beginScreenSpace();
  glBegin(GL_QUADS);
  glVertex2f(x0, y0);
  glVertex2f(x1, y0);
  glVertex2f(x1, y1);
  glVertex2f(x0, y1);
  glEnd();
  glPopMatrix();
}

void drawBanner(const char* text) {
  constexpr float scale = 4, padding = 12, top = 40;
  static EngineText laidOut;
  layOutEngineText(text, laidOut);
  float w = laidOut.width * scale, h = laidOut.height * scale;
  float x = (screenWidth - w) / 2;
  glColor4f(0, 0, 0, 0.75f);
  drawEngineBox(x - padding, top - padding, x + w + padding, top + h + padding);
  glColor4f(1, 1, 1, 1);
  drawEngineText(laidOut, x, top, scale);
}

void drawDimmed() {
  glColor4f(0, 0, 0, 0.55f);
  drawEngineBox(0, 0, screenWidth, screenHeight);
}
