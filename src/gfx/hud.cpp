// Placeholder HUD.
#include "gfx/hud.h"
DotBitmap renderText(const FontDef&, const char*) { return {}; }
HudDisplay::HudDisplay(const WorldData&) {}
void HudDisplay::blit(const DotBitmap*, int, int, int) {}
Hud::Hud(const WorldData& data) : HudDisplay(data) {}
void Hud::setVisible(bool v) { visible = v; }
void Hud::setPlayers(int) {}
void Hud::setScore(int, int) {}
void Hud::clearText() {}
bool Hud::hasText() const { return false; }
void Hud::showText(const char*, float, float, bool) {}
void Hud::scrollText(const char*, float, float, bool) {}
void Hud::update(float) {}
