// Drawing of the world's objects as sprites, in two layers, under the HUD.
#pragma once

#include "gfx/graphics.h"

class World;
struct ObjectDef;
class HudDisplay;

void drawWorld(const World& world, const DrawFlags& flags = {});
void drawScene(const World& world, int sceneNumber, int layer, const DrawFlags& flags = {});
void drawObject(const ObjectDef* def, float x, float y, float angle, bool lit,
                const DrawFlags& flags = {});
void drawOutline(const ObjectDef& def);
void drawContactOverlay();
void drawHud(const HudDisplay& hud);
