// The shared helpers of the script bindings.
#include "script/api_common.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "script/script_host.h"
#include "world/world.h"

namespace {
World* attachedWorld = nullptr;
}  // namespace

void attachScriptWorld(World* world) {
  attachedWorld = world;
}

World* scriptWorld() {
  return attachedWorld;
}

const WorldData* scriptCatalog() {
  return attachedWorld ? &attachedWorld->data() : nullptr;
}

void checkArgCount(lua_State* L, const char* name, int min, int max) {
  int n = lua_gettop(L);
  if (n < min) {
    lua_pushfstring(L, "Not enough parameters for function '%s'!", name);
    lua_error(L);
  }
  if (n > max) {
    lua_pushfstring(L, "Too many parameters for function '%s'!", name);
    lua_error(L);
  }
}

int raiseMessage(lua_State* L, const char* message) {
  lua_pushstring(L, message);
  return lua_error(L);
}

int toInteger(lua_State* L, int index) {
  double n = lua_tonumber(L, index);
  if (std::isnan(n)) return 0;
  if (n >= double(INT_MAX)) return INT_MAX;
  if (n <= double(INT_MIN)) return INT_MIN;
  return int(n);
}

float toFloat(lua_State* L, int index) {
  return float(lua_tonumber(L, index));
}

const char* toName(lua_State* L, int index) {
  size_t length = 0;
  const char* text = lua_tolstring(L, index, &length);
  return text && strlen(text) == length ? text : nullptr;
}
