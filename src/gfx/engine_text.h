// Text the engine draws over the picture in a bitmap font of its own
// (stb_easy_font): the HUD belongs to the script, and may be what broke.
#pragma once

// Width and height of text at scale 1, in screen units; lines split at '\n'.
float engineTextWidth(const char* text);
float engineTextHeight(const char* text);
// Draws printable ASCII text (others as '?') with its top left at x, y in
// the current colour; at most maxEngineText characters.
void drawEngineText(const char* text, float x, float y, float scale);
constexpr int maxEngineText = 600;
// A filled rectangle in screen units, in the current colour.
void drawEngineBox(float x0, float y0, float x1, float y1);
// A short message in large letters on a dark box at the top of the screen
// (the volume after a volume key).
void drawBanner(const char* text);
// Darkens the whole picture (a paused game).
void drawDimmed();
