// The script's vector value: a userdata of two floats with a metatable of
// its own carrying members and operators.
#pragma once

#include <lua5.1/lua.hpp>

#include "content/world_data.h"

// Leaves a new vector (x, y) on top of the stack.
void pushVec2(lua_State* L, float x, float y);
// True when the value at index is a vector made by pushVec2 (other full
// userdata, such as newproxy's, are not).
bool isVec2(lua_State* L, int index);
// The components of the vector at index, (0, 0) for any other value.
Float2 toVec2(lua_State* L, int index);
// Stores the shared event functions; once per state, before any vector.
void installVec2(lua_State* L);
// The constructor registered as the global Vec2.
int scriptVec2(lua_State* L);
