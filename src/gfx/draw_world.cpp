// Placeholder world drawing.
#include "gfx/draw_world.h"
void drawWorld(const World&) {}
void drawScene(const World&, int, int) {}
void drawObject(const ObjectDef*, float, float, float, bool) {}
void drawOutline(const ObjectDef&) {}
void drawContactOverlay() {}
void drawHud(const HudDisplay&) {}
