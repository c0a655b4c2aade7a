// Text the engine draws over the picture in a bitmap font of its own
// (stb_easy_font): the HUD belongs to the script, and may be what broke.
#pragma once

constexpr int maxEngineText = 600;  // characters; the rest is left out

// Text ready for the font: printable ASCII (others as '?', lines split at
// '\n'), and its size at scale 1 in screen units.
struct EngineText {
  char shown[maxEngineText + 1] = {};
  float width = 0, height = 0;
};
void layOutEngineText(const char* text, EngineText& out);
// Draws it with its top left at x, y in the current colour.
void drawEngineText(const EngineText& text, float x, float y, float scale);
// A filled rectangle in screen units, in the current colour.
void drawEngineBox(float x0, float y0, float x1, float y1);
// A short message in large letters on a dark box at the top of the screen
// (the volume after a volume key).
void drawBanner(const char* text);
// Darkens the whole picture (a paused game).
void drawDimmed();
