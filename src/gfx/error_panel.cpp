// The error panel: stb_easy_font's quads on a dark red box, in screen space.
#include "gfx/error_panel.h"

#include <GL/gl.h>

#include <algorithm>
#include <vector>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wsign-compare"
#include <stb/stb_easy_font.h>
#pragma GCC diagnostic pop

namespace {

constexpr float margin = 8, padding = 6;
constexpr float largestScale = 2;  // the font's own size is hard to read
// stb_easy_font takes 64 bytes per quad and at most 16 quads per character;
// the panel's text is a few hundred characters.
constexpr size_t maxCharacters = 600;

void drawBox(float x0, float y0, float x1, float y1) {
  glBegin(GL_QUADS);
  glVertex2f(x0, y0);
  glVertex2f(x1, y0);
  glVertex2f(x1, y1);
  glVertex2f(x0, y1);
  glEnd();
}

}  // namespace

void drawErrorPanel(const std::string& text, const DrawFlags& flags) {
  if (text.empty() || !flags.errorPanel) return;
  // The font has glyphs for printable ASCII only, and indexes its table by
  // the character.
  std::vector<char> shown(text.begin(), text.begin() + std::min(text.size(), maxCharacters));
  for (char& c : shown)
    if (c != '\n' && (c < 32 || c > 126)) c = '?';
  shown.push_back('\0');
  static std::vector<char> quads(maxCharacters * 16 * 64);

  float width = float(stb_easy_font_width(shown.data()));
  float height = float(stb_easy_font_height(shown.data()));
  float room = screenWidth - 2 * (margin + padding);
  float scale = width * largestScale > room ? room / width : largestScale;
  float x0 = margin, y1 = screenHeight - margin;
  float x1 = x0 + width * scale + 2 * padding, y0 = y1 - height * scale - 2 * padding;

  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glDisable(GL_TEXTURE_2D);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(0.3f, 0, 0, 0.85f);
  drawBox(x0, y0, x1, y1);
  glColor4f(1, 0.3f, 0.3f, 1);
  drawBox(x0, y0, x1, y0 + 2);

  int count = stb_easy_font_print(0, 0, shown.data(), nullptr, quads.data(), int(quads.size()));
  glTranslatef(x0 + padding, y0 + padding, 0);
  glScalef(scale, scale, 1);
  glColor4f(1, 0.92f, 0.8f, 1);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(2, GL_FLOAT, 16, quads.data());
  glDrawArrays(GL_QUADS, 0, count * 4);
  glDisableClientState(GL_VERTEX_ARRAY);
  glPopMatrix();
}
