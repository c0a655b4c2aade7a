// Script bindings for the world as a whole: gravity, clearing and camera.
#include "script/api_common.h"
#include "script/vec2.h"
#include "world/world.h"

namespace {

int worldSetGravity(lua_State* L) {
  checkArgCount(L, "WorldSetGravity", 1, 1);
  if (World* world = scriptWorld()) world->setGravity(toFloat(L, 1));
  return 0;
}

int worldClear(lua_State* L) {
  checkArgCount(L, "WorldClear", 0, 0);
  if (World* world = scriptWorld()) world->clear();
  return 0;
}

int camSet(lua_State* L) {
  checkArgCount(L, "CamSet", 1, 1);
  Float2 position = toVec2(L, 1);
  if (World* world = scriptWorld()) {
    world->camera.x = position.x;
    world->camera.y = position.y;
  }
  return 0;
}

int camGet(lua_State* L) {
  checkArgCount(L, "CamGet", 0, 0);
  World* world = scriptWorld();
  pushVec2(L, world ? world->camera.x : 0, world ? world->camera.y : 0);
  return 1;
}

}  // namespace

const luaL_Reg worldApi[] = {{"WorldSetGravity", worldSetGravity},
                             {"WorldClear", worldClear},
                             {"CamSet", camSet},
                             {"CamGet", camGet},
                             {nullptr, nullptr}};
