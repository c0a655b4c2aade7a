// Drawing of the world's objects as sprites, in two layers, under the HUD.
#pragma once

class World;
struct ObjectDef;
class HudDisplay;

void drawWorld(const World& world);
void drawScene(const World& world, int sceneNumber, int layer);
void drawObject(const ObjectDef* def, float x, float y, float angle, bool lit);
void drawOutline(const ObjectDef& def);
void drawContactOverlay();
void drawHud(const HudDisplay& hud);
