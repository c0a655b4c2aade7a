// Script bindings for the persistent properties. Keys and values are byte
// strings: texts with zero bytes keep their whole length.
#include "props/property_store.h"
#include "script/api_common.h"

namespace {

int propertyGet(lua_State* L) {
  checkArgCount(L, "PropertyGet", 1, 1);
  size_t keyLength = 0;
  const char* key = lua_tolstring(L, 1, &keyLength);
  const std::string* value = getProperty(key, keyLength);
  if (value)
    lua_pushlstring(L, value->data(), value->size());
  else
    lua_pushnil(L);
  return 1;
}

int propertySet(lua_State* L) {
  checkArgCount(L, "PropertySet", 2, 2);
  size_t keyLength = 0, valueLength = 0;
  const char* key = lua_tolstring(L, 1, &keyLength);
  if (!key) return 0;
  // Anything but a string or number deletes the key.
  const char* value = lua_tolstring(L, 2, &valueLength);
  setProperty(key, keyLength, value, valueLength);
  return 0;
}

}  // namespace

const luaL_Reg propertyApi[] = {
    {"PropertyGet", propertyGet}, {"PropertySet", propertySet}, {nullptr, nullptr}};
