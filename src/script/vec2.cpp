// Vec2: construction, members, Dot, Normalize and the operators. Every
// vector gets a fresh metatable with the eight events, so scripts that
// change one vector's metatable change only that vector.
#include "script/vec2.h"

#include <cmath>
#include <cstring>

#include "script/api_common.h"

namespace {

char eventsKey;  // registry key of the table holding the functions below

// The stored table holds the event functions, Dot and Normalize, and the
// event names as Lua strings, so that a new vector's metatable is filled
// without hashing a C string per event.
enum { EventCount = 8, DotSlot = 9, NormalizeSlot = 10, NameSlot = 11 };
const char* const eventNames[EventCount] = {"__index", "__newindex", "__tostring", "__unm",
                                            "__add",   "__sub",      "__mul",      "__div"};

// Pushes the table of event functions, restoring it when a script has
// tampered with the registry through the debug library.
void pushEvents(lua_State* L) {
  lua_pushlightuserdata(L, &eventsKey);
  lua_rawget(L, LUA_REGISTRYINDEX);
  if (lua_istable(L, -1)) return;
  lua_pop(L, 1);
  installVec2(L);
  lua_pushlightuserdata(L, &eventsKey);
  lua_rawget(L, LUA_REGISTRYINDEX);
}

float* components(lua_State* L, int index) {
  return isVec2(L, index) ? static_cast<float*>(lua_touserdata(L, index)) : nullptr;
}

void pushText(lua_State* L, Float2 v) {
  lua_pushfstring(L, "(%f, %f)", double(v.x), double(v.y));
}

int vecDot(lua_State* L) {
  checkArgCount(L, "Dot", 2, 2);
  Float2 a = toVec2(L, 1), b = toVec2(L, 2);
  lua_pushnumber(L, double(a.y) * b.y + double(a.x) * b.x);
  return 1;
}

int vecNormalize(lua_State* L) {
  checkArgCount(L, "Normalize", 1, 1);
  float* v = components(L, 1);
  if (!v) return raiseMessage(L, "Normalize requires a Vec2 as a parameter!");
  double length = std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1]);
  if (length > 0.001) {
    double inverse = 1.0 / length;
    v[0] = float(v[0] * inverse);
    v[1] = float(v[1] * inverse);
    lua_pushnumber(L, length);
  } else {
    v[0] = v[1] = 0;
    lua_pushnumber(L, 0);
  }
  return 1;
}

int vecIndex(lua_State* L) {
  const char* key = lua_tostring(L, 2);
  if (!key) return raiseMessage(L, "Invalid Vec2 index!");
  Float2 v = toVec2(L, 1);
  if (strcmp(key, "x") == 0 && lua_objlen(L, 2) == 1) {
    lua_pushnumber(L, v.x);
  } else if (strcmp(key, "y") == 0 && lua_objlen(L, 2) == 1) {
    lua_pushnumber(L, v.y);
  } else if (strcmp(key, "str") == 0 && lua_objlen(L, 2) == 3) {
    pushText(L, v);
  } else if (strcmp(key, "length") == 0 && lua_objlen(L, 2) == 6) {
    lua_pushnumber(L, std::sqrt(double(v.x) * v.x + double(v.y) * v.y));
  } else if (strcmp(key, "normal") == 0 && lua_objlen(L, 2) == 6) {
    pushVec2(L, -v.y, v.x);
  } else if (strcmp(key, "Dot") == 0 && lua_objlen(L, 2) == 3) {
    pushEvents(L);
    lua_rawgeti(L, -1, DotSlot);
  } else if (strcmp(key, "Normalize") == 0 && lua_objlen(L, 2) == 9) {
    pushEvents(L);
    lua_rawgeti(L, -1, NormalizeSlot);
  } else {
    return raiseMessage(L, "Vec2 has only 'x', 'y', 'length' and 'normal' values!");
  }
  return 1;
}

int vecNewIndex(lua_State* L) {
  float* v = components(L, 1);
  if (!v) return 0;
  const char* key = lua_tostring(L, 2);
  if (!key) return raiseMessage(L, "Invalid Vec2 index!");
  int slot = -1;
  if (lua_objlen(L, 2) == 1 && key[0] == 'x') slot = 0;
  if (lua_objlen(L, 2) == 1 && key[0] == 'y') slot = 1;
  if (slot < 0) return raiseMessage(L, "Vec2 can only set to 'x' and 'y' values!");
  v[slot] = float(lua_tonumber(L, 3));
  return 0;
}

int vecToString(lua_State* L) {
  pushText(L, toVec2(L, 1));
  return 1;
}

int vecUnm(lua_State* L) {
  Float2 v = toVec2(L, 1);
  pushVec2(L, -v.x, -v.y);
  return 1;
}

int vecAdd(lua_State* L) {
  if (!isVec2(L, 1) || !isVec2(L, 2))
    return raiseMessage(L, "Vec2 addition is only defined between two vectors.");
  Float2 a = toVec2(L, 1), b = toVec2(L, 2);
  pushVec2(L, a.x + b.x, a.y + b.y);
  return 1;
}

int vecSub(lua_State* L) {
  if (!isVec2(L, 1) || !isVec2(L, 2))
    return raiseMessage(L, "Vec2 substraction is only defined between two vectors.");
  Float2 a = toVec2(L, 1), b = toVec2(L, 2);
  pushVec2(L, a.x - b.x, a.y - b.y);
  return 1;
}

int vecMul(lua_State* L) {
  int vector, number;
  if (isVec2(L, 1) && lua_isnumber(L, 2)) {
    vector = 1, number = 2;
  } else if (isVec2(L, 2) && lua_isnumber(L, 1)) {
    vector = 2, number = 1;
  } else {
    return raiseMessage(L, "Vec2 multiplication is only defined between a Vec2 and a number.");
  }
  double n = lua_tonumber(L, number);
  Float2 v = toVec2(L, vector);
  pushVec2(L, float(n * v.x), float(n * v.y));
  return 1;
}

int vecDiv(lua_State* L) {
  if (isVec2(L, 1) && lua_isnumber(L, 2)) {
    double r = 1.0 / lua_tonumber(L, 2);
    Float2 v = toVec2(L, 1);
    pushVec2(L, float(v.x * r), float(v.y * r));
  } else if (isVec2(L, 2) && lua_isnumber(L, 1)) {
    double n = lua_tonumber(L, 1);
    Float2 v = toVec2(L, 2);
    pushVec2(L, float(n / v.x), float(n / v.y));
  } else {
    return raiseMessage(L, "Vec2 division is only defined between a Vec2 and a number.");
  }
  return 1;
}

const lua_CFunction eventFunctions[EventCount] = {vecIndex, vecNewIndex, vecToString, vecUnm,
                                                  vecAdd,   vecSub,      vecMul,      vecDiv};

}  // namespace

void installVec2(lua_State* L) {
  lua_pushlightuserdata(L, &eventsKey);
  lua_createtable(L, NameSlot + EventCount - 1, 0);
  for (int i = 0; i < EventCount; ++i) {
    lua_pushcfunction(L, eventFunctions[i]);
    lua_rawseti(L, -2, i + 1);
    lua_pushstring(L, eventNames[i]);
    lua_rawseti(L, -2, NameSlot + i);
  }
  lua_pushcfunction(L, vecDot);
  lua_rawseti(L, -2, DotSlot);
  lua_pushcfunction(L, vecNormalize);
  lua_rawseti(L, -2, NormalizeSlot);
  lua_rawset(L, LUA_REGISTRYINDEX);
}

void pushVec2(lua_State* L, float x, float y) {
  float* v = static_cast<float*>(lua_newuserdata(L, 2 * sizeof(float)));
  v[0] = x;
  v[1] = y;
  lua_createtable(L, 0, EventCount);
  pushEvents(L);
  for (int i = 0; i < EventCount; ++i) {
    lua_rawgeti(L, -1, NameSlot + i);
    // Only a script that rewrote the stored table through the debug
    // library can leave something else here, and a nil or NaN key raises.
    if (lua_type(L, -1) != LUA_TSTRING) {
      lua_pop(L, 1);
      continue;
    }
    lua_rawgeti(L, -2, i + 1);
    lua_rawset(L, -4);
  }
  lua_pop(L, 1);
  lua_setmetatable(L, -2);
}

// Only vectors are full userdata of exactly two floats: newproxy makes
// userdata of size 0, and no library this engine opens makes others.
bool isVec2(lua_State* L, int index) {
  return lua_type(L, index) == LUA_TUSERDATA && lua_objlen(L, index) == 2 * sizeof(float);
}

Float2 toVec2(lua_State* L, int index) {
  Float2 v;
  if (isVec2(L, index)) {
    const float* c = static_cast<const float*>(lua_touserdata(L, index));
    v.x = c[0];
    v.y = c[1];
  }
  return v;
}

int scriptVec2(lua_State* L) {
  checkArgCount(L, "Vec2", 0, 2);
  int n = lua_gettop(L);
  float x = 0, y = 0;
  if (n == 1 && isVec2(L, 1)) {
    Float2 v = toVec2(L, 1);
    x = v.x, y = v.y;
  } else if (n == 1) {
    x = y = float(lua_tonumber(L, 1));
  } else if (n == 2) {
    // lua_tonumber gives 0 for a vector, as for any non-number.
    x = float(lua_tonumber(L, 1));
    y = float(lua_tonumber(L, 2));
  }
  pushVec2(L, x, y);
  return 1;
}

const luaL_Reg vectorApi[] = {{"Vec2", scriptVec2}, {nullptr, nullptr}};
