// The Lua state in which manifests and scene files run: base, string, table
// and math only, plus the shape helpers and include().
#pragma once

#include <string>
#include <vector>

struct lua_State;

// A new state with the libraries and helpers; nullptr when Lua cannot start.
lua_State* newSourceState();

// Runs the Lua file at path and leaves its first result on the stack.
// Errors come back as Lua reports them ("path:line: message").
bool runSourceFile(lua_State* L, const std::string& path, std::string& error);

// Every file include() has opened so far, in order.
std::vector<std::string> includedFiles(lua_State* L);
