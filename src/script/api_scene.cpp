// Script bindings for scenes: spawning, removing and finding their objects.
#include <cstring>

#include "script/api_common.h"
#include "script/vec2.h"
#include "world/world.h"

namespace {

int sceneSpawn(lua_State* L) {
  checkArgCount(L, "SceneSpawn", 1, 2);
  const char* name = lua_tostring(L, 1);
  if (!name) return raiseMessage(L, "No scene name given for 'SceneSpawn'!");
  if (lua_gettop(L) == 2 && !isVec2(L, 2) && !lua_isnil(L, 2))
    return raiseMessage(L, "The second parameter must be a Vec2 for 'SceneSpawn'!");
  Float2 position = toVec2(L, 2);
  const WorldData* catalog = scriptCatalog();
  const char* lookup = toName(L, 1);
  const SceneDef* def = catalog && lookup ? catalog->findScene(lookup) : nullptr;
  World* world = scriptWorld();
  int number = def && world ? world->spawnScene(def, position.x, position.y) : -1;
  lua_pushnumber(L, number);
  return 1;
}

int sceneRemove(lua_State* L) {
  checkArgCount(L, "SceneRemove", 1, 1);
  if (World* world = scriptWorld()) world->removeScene(toInteger(L, 1));
  return 0;
}

int sceneGetSpecialPos(lua_State* L) {
  checkArgCount(L, "SceneGetSpecialPos", 2, 2);
  int number = toInteger(L, 1);
  const char* id = lua_tostring(L, 2);
  if (!id) return raiseMessage(L, "Second parameter to 'SceneGetSpecialPos' must be a string id.");
  World* world = scriptWorld();
  Scene* scene = world ? world->findSceneByNumber(number) : nullptr;
  const char* lookup = toName(L, 2);
  const ObjectDef* marker =
      scene && scene->def && lookup ? scene->def->findObjectById(lookup) : nullptr;
  if (!marker) return 0;
  pushVec2(L, marker->position.x, marker->position.y);
  return 1;
}

// Lua allows a host function only so many results; past that the call fails
// rather than return a list that is silently cut short.
void makeRoomForResult(lua_State* L, const char* name) {
  if (lua_checkstack(L, 1)) return;
  lua_settop(L, 0);
  lua_pushfstring(L, "Too many results for function '%s'!", name);
  lua_error(L);
}

int sceneGetObjects(lua_State* L) {
  checkArgCount(L, "SceneGetObjects", 1, 1);
  int number = toInteger(L, 1);
  World* world = scriptWorld();
  if (!world || !world->findSceneByNumber(number)) return 0;
  int pushed = 0;
  world->forEachObjectOf(number, [&](const WorldObject& object) {
    makeRoomForResult(L, "SceneGetObjects");
    lua_pushnumber(L, object.number);
    ++pushed;
  });
  return pushed;
}

int sceneGetObjectsList(lua_State* L) {
  checkArgCount(L, "SceneGetObjectsList", 1, 1);
  int number = toInteger(L, 1);
  lua_newtable(L);
  World* world = scriptWorld();
  if (!world || !world->findSceneByNumber(number)) return 1;
  int index = 0;
  world->forEachObjectOf(number, [&](const WorldObject& object) {
    lua_pushnumber(L, object.number);
    lua_rawseti(L, -2, ++index);
  });
  return 1;
}

int sceneGetObjectByName(lua_State* L) {
  checkArgCount(L, "SceneGetObjectByName", 2, 2);
  int number = toInteger(L, 1);
  const char* name = lua_tostring(L, 2);
  if (!name) return raiseMessage(L, "Must given an object name for 'SceneGetObjectByName'!");
  World* world = scriptWorld();
  const char* lookup = toName(L, 2);
  WorldObject* object = world && lookup ? world->findObjectByName(number, lookup) : nullptr;
  if (object)
    lua_pushnumber(L, object->number);
  else
    lua_pushnil(L);
  return 1;
}

int sceneGetObjectsById(lua_State* L) {
  checkArgCount(L, "SceneGetObjectsById", 2, 2);
  int number = toInteger(L, 1);
  size_t idLength = 0;
  const char* id = lua_tolstring(L, 2, &idLength);
  if (!id) return raiseMessage(L, "Must given an object id for 'SceneGetObjectsById'!");
  World* world = scriptWorld();
  if (!world) return 0;
  int pushed = 0;
  world->forEachObjectOf(number, [&](const WorldObject& object) {
    if (!object.def) return;
    const std::string& objectId = object.def->id;
    if (objectId.size() != idLength || memcmp(objectId.data(), id, idLength) != 0) return;
    makeRoomForResult(L, "SceneGetObjectsById");
    lua_pushnumber(L, object.number);
    ++pushed;
  });
  return pushed;
}

}  // namespace

const luaL_Reg sceneApi[] = {{"SceneSpawn", sceneSpawn},
                             {"SceneRemove", sceneRemove},
                             {"SceneGetSpecialPos", sceneGetSpecialPos},
                             {"SceneGetObjects", sceneGetObjects},
                             {"SceneGetObjectsList", sceneGetObjectsList},
                             {"SceneGetObjectByName", sceneGetObjectByName},
                             {"SceneGetObjectsById", sceneGetObjectsById},
                             {nullptr, nullptr}};
