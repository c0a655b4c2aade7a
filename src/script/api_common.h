// What every script binding shares: the argument count check, argument
// conversion and the world and catalog the bindings act on. A binding may
// raise (longjmp) only while no object with a destructor is alive.
#pragma once

#include <lua5.1/lua.hpp>

#include "script/script_host.h"

class WorldData;

// Raises "Not enough parameters for function '<name>'!" below min and
// "Too many parameters for function '<name>'!" above max.
void checkArgCount(lua_State* L, const char* name, int min, int max);
// Raises the plain message (no position prefix).
int raiseMessage(lua_State* L, const char* message);
// lua_tonumber truncated toward zero; NaN gives 0, numbers beyond the int
// range give its nearest end.
int toInteger(lua_State* L, int index);
// The text at index as a name to look up, or nullptr when it is no text or
// holds a zero byte: the catalog compares C strings, and "Ball\0x" must not
// find "Ball".
const char* toName(lua_State* L, int index);
float toFloat(lua_State* L, int index);

// The attached world's catalog, or nullptr.
const WorldData* scriptCatalog();

// Registration tables, one per subject, each ending with {nullptr, nullptr}.
extern const luaL_Reg worldApi[];
extern const luaL_Reg sceneApi[];
extern const luaL_Reg objectApi[];
extern const luaL_Reg hudApi[];
extern const luaL_Reg audioApi[];
extern const luaL_Reg propertyApi[];
extern const luaL_Reg windowApi[];
extern const luaL_Reg vectorApi[];
