// Script bindings for the head-up display owned by the world.
#include "script/api_common.h"
#include "world/world.h"

namespace {

Hud* hud() {
  World* world = scriptWorld();
  return world ? &world->hud() : nullptr;
}

int hudClear(lua_State* L) {
  checkArgCount(L, "HudClear", 0, 0);
  if (Hud* h = hud()) h->clearText();
  return 0;
}

int hudIsClear(lua_State* L) {
  checkArgCount(L, "HudIsClear", 0, 0);
  Hud* h = hud();
  lua_pushboolean(L, !(h && h->hasText()));
  return 1;
}

int hudSetVisible(lua_State* L) {
  checkArgCount(L, "HudSetVisible", 1, 1);
  if (Hud* h = hud()) h->setVisible(lua_toboolean(L, 1) != 0);
  return 0;
}

int hudSetPlayers(lua_State* L) {
  checkArgCount(L, "HudSetPlayers", 1, 1);
  if (Hud* h = hud()) h->setPlayers(toInteger(L, 1));
  return 0;
}

int hudSetScore(lua_State* L) {
  checkArgCount(L, "HudSetScore", 2, 2);
  if (Hud* h = hud()) h->setScore(toInteger(L, 1), toInteger(L, 2));
  return 0;
}

// Text, time or speed, optional blink period and optional inverted flag.
struct TextArgs {
  const char* text;
  float value;
  float blinkPeriod;
  bool inverted;
};

TextArgs textArgs(lua_State* L) {
  int n = lua_gettop(L);
  return TextArgs{lua_tostring(L, 1), toFloat(L, 2), n >= 3 ? toFloat(L, 3) : 0.0f,
                  n >= 4 && lua_toboolean(L, 4)};
}

int hudShowText(lua_State* L) {
  checkArgCount(L, "HudShowText", 2, 4);
  TextArgs a = textArgs(L);
  if (Hud* h = hud()) h->showText(a.text, a.value, a.blinkPeriod, a.inverted);
  return 0;
}

int hudScrollText(lua_State* L) {
  checkArgCount(L, "HudScrollText", 2, 4);
  TextArgs a = textArgs(L);
  if (Hud* h = hud()) h->scrollText(a.text, a.value, a.blinkPeriod, a.inverted);
  return 0;
}

}  // namespace

const luaL_Reg hudApi[] = {{"HudClear", hudClear},           {"HudIsClear", hudIsClear},
                           {"HudSetVisible", hudSetVisible}, {"HudSetPlayers", hudSetPlayers},
                           {"HudSetScore", hudSetScore},     {"HudShowText", hudShowText},
                           {"HudScrollText", hudScrollText}, {nullptr, nullptr}};
