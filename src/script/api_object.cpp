// Script bindings for single objects: what they are, how they move, what
// their contacts are made of and whether their lamp is lit. Unknown numbers
// read as nil and change nothing.
#include <cstdio>
#include <cstdlib>

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

// f as the shortest decimal that reads back as f, so that a script gets the
// 0.3 it set back, not 0.30000001192093.
double shortestDecimal(float f) {
  char text[32];
  for (int digits = 6; digits <= 9; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, double(f));
    if (std::strtof(text, nullptr) == f) break;
  }
  return std::strtod(text, nullptr);
}

// Every object takes a material, not only bodies: a wall's friction counts
// as much as the ball's. The values are checked before the object is looked
// up, so a mistake shows whether or not the object still exists.
int objectSetMaterial(lua_State* L) {
  checkArgCount(L, "ObjectSetMaterial", 4, 4);
  Material material;
  int index = 2;
  for (const MaterialValue& value : materialValues) {
    // Anything but a number is refused with the range, not read as 0.
    material.*value.field = lua_isnumber(L, index) ? toFloat(L, index) : -1;
    ++index;
  }
  if (const MaterialValue* value = materialFaultValue(material)) {
    char message[128];
    std::snprintf(message, sizeof message,
                  "The %s for 'ObjectSetMaterial' must be a number from 0 to %g!", value->name,
                  double(value->most));
    return raiseMessage(L, message);
  }
  if (WorldObject* object = objectArg(L)) {
    object->hasMaterial = true;
    object->material = material;
  }
  return 0;
}

int objectGetMaterial(lua_State* L) {
  checkArgCount(L, "ObjectGetMaterial", 1, 1);
  WorldObject* object = objectArg(L);
  if (!object) {
    lua_pushnil(L);
    return 1;
  }
  const Material& material = object->hasMaterial ? object->material : plainContactMaterial;
  for (const MaterialValue& value : materialValues)
    lua_pushnumber(L, shortestDecimal(material.*value.field));
  return 3;
}

}  // namespace

const luaL_Reg objectApi[] = {
    {"ObjectGetScene", objectGetScene},       {"ObjectGetName", objectGetName},
    {"ObjectGetGameId", objectGetGameId},     {"ObjectSetVelocity", objectSetVelocity},
    {"ObjectSetTorque", objectSetTorque},     {"ObjectAddImpulse", objectAddImpulse},
    {"ObjectAddTorque", objectAddTorque},     {"ObjectGetPos", objectGetPos},
    {"ObjectGetAngle", objectGetAngle},       {"ObjectGetVelocity", objectGetVelocity},
    {"ObjectGetTorque", objectGetTorque},     {"ObjectIsLit", objectIsLit},
    {"ObjectSetLit", objectSetLit},           {"ObjectSetMaterial", objectSetMaterial},
    {"ObjectGetMaterial", objectGetMaterial}, {nullptr, nullptr}};
