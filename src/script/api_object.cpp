// Script bindings for single objects: what they are, how they move and
// whether their lamp is lit. Unknown numbers read as nil and change nothing.
#include "script/api_common.h"
#include "script/vec2.h"
#include "world/world.h"

namespace {

WorldObject* objectArg(lua_State* L) {
  World* world = scriptWorld();
  return world ? world->findObjectByNumber(toInteger(L, 1)) : nullptr;
}

int objectGetScene(lua_State* L) {
  checkArgCount(L, "ObjectGetScene", 1, 1);
  if (WorldObject* object = objectArg(L))
    lua_pushnumber(L, object->sceneNumber);
  else
    lua_pushnil(L);
  return 1;
}

int objectGetName(lua_State* L) {
  checkArgCount(L, "ObjectGetName", 1, 1);
  WorldObject* object = objectArg(L);
  if (object && object->def)
    lua_pushlstring(L, object->def->name.data(), object->def->name.size());
  else
    lua_pushnil(L);
  return 1;
}

int objectGetGameId(lua_State* L) {
  checkArgCount(L, "ObjectGetGameId", 1, 1);
  WorldObject* object = objectArg(L);
  if (object && object->def)
    lua_pushlstring(L, object->def->id.data(), object->def->id.size());
  else
    lua_pushnil(L);
  return 1;
}

int objectSetVelocity(lua_State* L) {
  checkArgCount(L, "ObjectSetVelocity", 2, 2);
  Float2 velocity = toVec2(L, 2);
  if (WorldObject* object = objectArg(L)) object->setVelocity(velocity.x, velocity.y);
  return 0;
}

int objectSetTorque(lua_State* L) {
  checkArgCount(L, "ObjectSetTorque", 2, 2);
  if (WorldObject* object = objectArg(L)) object->setTorque(toFloat(L, 2));
  return 0;
}

int objectAddImpulse(lua_State* L) {
  checkArgCount(L, "ObjectAddImpulse", 2, 2);
  Float2 force = toVec2(L, 2);
  if (WorldObject* object = objectArg(L)) object->addImpulse(force.x, force.y);
  return 0;
}

int objectAddTorque(lua_State* L) {
  checkArgCount(L, "ObjectAddTorque", 2, 2);
  if (WorldObject* object = objectArg(L)) object->addTorque(toFloat(L, 2));
  return 0;
}

int objectGetPos(lua_State* L) {
  checkArgCount(L, "ObjectGetPos", 1, 1);
  if (WorldObject* object = objectArg(L))
    pushVec2(L, object->position.x, object->position.y);
  else
    lua_pushnil(L);
  return 1;
}

int objectGetAngle(lua_State* L) {
  checkArgCount(L, "ObjectGetAngle", 1, 1);
  if (WorldObject* object = objectArg(L))
    lua_pushnumber(L, object->angleDegrees);
  else
    lua_pushnil(L);
  return 1;
}

int objectGetVelocity(lua_State* L) {
  checkArgCount(L, "ObjectGetVelocity", 1, 1);
  if (WorldObject* object = objectArg(L))
    pushVec2(L, object->velocity.x, object->velocity.y);
  else
    lua_pushnil(L);
  return 1;
}

int objectGetTorque(lua_State* L) {
  checkArgCount(L, "ObjectGetTorque", 1, 1);
  if (WorldObject* object = objectArg(L))
    lua_pushnumber(L, object->angularVelocity);
  else
    lua_pushnil(L);
  return 1;
}

int objectIsLit(lua_State* L) {
  checkArgCount(L, "ObjectIsLit", 1, 1);
  if (WorldObject* object = objectArg(L))
    lua_pushboolean(L, object->lit != 0);
  else
    lua_pushnil(L);
  return 1;
}

int objectSetLit(lua_State* L) {
  checkArgCount(L, "ObjectSetLit", 2, 2);
  if (WorldObject* object = objectArg(L)) object->lit = lua_toboolean(L, 2) ? 1 : 0;
  return 0;
}

}  // namespace

const luaL_Reg objectApi[] = {
    {"ObjectGetScene", objectGetScene},   {"ObjectGetName", objectGetName},
    {"ObjectGetGameId", objectGetGameId}, {"ObjectSetVelocity", objectSetVelocity},
    {"ObjectSetTorque", objectSetTorque}, {"ObjectAddImpulse", objectAddImpulse},
    {"ObjectAddTorque", objectAddTorque}, {"ObjectGetPos", objectGetPos},
    {"ObjectGetAngle", objectGetAngle},   {"ObjectGetVelocity", objectGetVelocity},
    {"ObjectGetTorque", objectGetTorque}, {"ObjectIsLit", objectIsLit},
    {"ObjectSetLit", objectSetLit},       {nullptr, nullptr}};
