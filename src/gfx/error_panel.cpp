// The error panel: the engine's own text on a dark red box.
#include "gfx/error_panel.h"

#include <GL/gl.h>

#include "gfx/engine_text.h"

namespace {

constexpr float margin = 8, padding = 6;
constexpr float largestScale = 2;  // the font's own size is hard to read

}  // namespace

void drawErrorPanel(const std::string& text, const DrawFlags& flags) {
  if (text.empty() || !flags.errorPanel) return;
  static EngineText laidOut;
  layOutEngineText(text.c_str(), laidOut);
  float width = laidOut.width, height = laidOut.height;
  float room = screenWidth - 2 * (margin + padding);
  float scale = width * largestScale > room ? room / width : largestScale;
  float x0 = margin, y1 = screenHeight - margin;
  float x1 = x0 + width * scale + 2 * padding, y0 = y1 - height * scale - 2 * padding;

  glColor4f(0.3f, 0, 0, 0.85f);
  drawEngineBox(x0, y0, x1, y1);
  glColor4f(1, 0.3f, 0.3f, 1);
  drawEngineBox(x0, y0, x1, y0 + 2);
  glColor4f(1, 0.92f, 0.8f, 1);
  drawEngineText(laidOut, x0 + padding, y0 + padding, scale);
}
