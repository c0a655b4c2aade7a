// Drawing of the world's objects as sprites, in two layers, under the HUD.
#pragma once

#include "gfx/graphics.h"

class World;
struct ObjectDef;
class HudDisplay;
struct BatchVertex;

void drawWorld(const World& world, const DrawFlags& flags = {});
void drawScene(const World& world, int sceneNumber, int layer, const DrawFlags& flags = {});
void drawObject(const ObjectDef* def, float x, float y, float angle, bool lit,
                const DrawFlags& flags = {});
void drawOutline(const ObjectDef& def);
void drawContactOverlay();
void drawHud(const HudDisplay& hud);
// How many rows of pixels at the top of the picture drawHud will cover with
// opaque dots this frame, whatever was drawn there before; 0 when it may
// let anything show through.
int hudCoverHeight(const HudDisplay& hud);
// The grid as drawHud draws it where the picture is scaled: a quad per cell.
void drawHudCellByCell(const HudDisplay& hud);
// Frees the texture drawHud keeps of the grid; shutdownGraphics calls it
// while the context is still current.
void releaseHudPicture();

// Vertex and texture coordinate arrays on, read from vertices, for the
// drawing files' glDrawArrays; releaseArrays turns them off again so that
// nothing after draws from them by mistake.
void pointArraysAt(const BatchVertex* vertices);
void releaseArrays();

// glDrawArrays in pieces: Mesa's software vertex path takes scratch memory
// in proportion to each draw, and for the HUD's 8000 vertices in one draw it
// mapped fresh pages every frame (hundreds of page faults a frame, more than
// immediate mode); pieces under a thousand vertices stay in memory it reuses.
// A multiple of 4 and of 6, so that no quad or sprite is cut.
constexpr int maxVerticesPerDraw = 960;  // vertices
void drawArrays(unsigned mode, int first, int count);
