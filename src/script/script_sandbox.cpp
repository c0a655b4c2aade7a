// The script's libraries made safe: no native code, no files opened by the
// script, precompiled chunks refused, require searching LUA_PATH, string
// functions that cannot hold the engine in C, and coroutines that a stopped
// script cannot hide in.
#include <cstdio>
#include <cstring>

#include "script/script_internal.h"

namespace {

// ---- Chunk loading ----

struct TextGuard {
  lua_Reader inner;
  void* data;
  bool first;
  bool binary;
};

const char* guardedRead(lua_State* L, void* ud, size_t* size) {
  TextGuard* g = static_cast<TextGuard*>(ud);
  const char* piece = g->inner(L, g->data, size);
  if (g->first && piece && *size > 0) {
    g->first = false;
    // Lua would undump it; hand the parser an empty stream instead.
    if (piece[0] == LUA_SIGNATURE[0]) {
      g->binary = true;
      *size = 0;
      return nullptr;
    }
  }
  return piece;
}

char fileBuffer[4096];

struct FileReader {
  FILE* file;
};

const char* readFile(lua_State*, void* ud, size_t* size) {
  FileReader* r = static_cast<FileReader*>(ud);
  *size = fread(fileBuffer, 1, sizeof fileBuffer, r->file);
  return *size > 0 ? fileBuffer : nullptr;
}

struct StringReader {
  const char* text;
  size_t length;
};

const char* readString(lua_State*, void* ud, size_t* size) {
  StringReader* r = static_cast<StringReader*>(ud);
  if (r->length == 0) return nullptr;
  *size = r->length;
  r->length = 0;
  return r->text;
}

// Stack slot 3 keeps the last piece alive while the parser reads it.
const char* readFromFunction(lua_State* L, void*, size_t* size) {
  luaL_checkstack(L, 2, "too many nested functions");
  lua_pushvalue(L, 1);
  lua_call(L, 0, 1);
  if (lua_isnil(L, -1)) {
    *size = 0;
    return nullptr;
  }
  if (lua_isstring(L, -1)) {
    lua_replace(L, 3);
    return lua_tolstring(L, 3, size);
  }
  luaL_error(L, "reader function must return a string");
  return nullptr;
}

int loadResult(lua_State* L, int status) {
  if (status == 0) return 1;
  lua_pushnil(L);
  lua_insert(L, -2);
  return 2;  // nil, message
}

int textLoadString(lua_State* L) {
  size_t length;
  const char* text = luaL_checklstring(L, 1, &length);
  const char* chunkName = luaL_optstring(L, 2, text);
  StringReader r{text, length};
  return loadResult(L, loadTextChunk(L, readString, &r, chunkName));
}

int textLoad(lua_State* L) {
  const char* chunkName = luaL_optstring(L, 2, "=(load)");
  luaL_checktype(L, 1, LUA_TFUNCTION);
  lua_settop(L, 3);
  return loadResult(L, loadTextChunk(L, readFromFunction, nullptr, chunkName));
}

// ---- require ----

// Searches the templates of the global LUA_PATH, read at every require so
// that a script may change it.
int searchLuaPath(lua_State* L) {
  const char* module = luaL_checkstring(L, 1);
  lua_getfield(L, LUA_GLOBALSINDEX, "LUA_PATH");
  const char* path = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : nullptr;
  if (!path) {
    lua_pushliteral(L, "\n\tLUA_PATH is not a string");
    return 1;
  }
  const char* name = luaL_gsub(L, module, ".", "/");
  lua_pushliteral(L, "");
  int msg = lua_gettop(L);
  while (*path) {
    if (*path == ';') {
      ++path;
      continue;
    }
    const char* end = strchr(path, ';');
    if (!end) end = path + strlen(path);
    lua_pushlstring(L, path, size_t(end - path));
    path = end;
    const char* file = luaL_gsub(L, lua_tostring(L, -1), "?", name);
    const char* chunkName = lua_pushfstring(L, "@%s", file);
    bool opened = false;
    int status = loadTextFile(L, file, chunkName, &opened);
    if (!opened) {
      lua_pushfstring(L, "\n\tno file '%s'", file);
      lua_replace(L, msg + 1);
      lua_settop(L, msg + 1);
      lua_concat(L, 2);
      continue;
    }
    if (status == LUA_ERRSYNTAX) noteSyntaxError(L, chunkName);
    if (status != 0)
      luaL_error(L, "error loading module '%s' from file '%s':\n\t%s", module, file,
                 lua_tostring(L, -1));
    return 1;
  }
  return 1;
}

// ---- Patterns ----

// The string library matches patterns by recursion, one C frame per pattern
// item, so a long enough pattern overflows the C stack and ends the
// process. Patterns are held to a length that keeps that recursion shallow.
constexpr size_t maxPatternLength = 4096;

int guardedMatch(lua_State* L) {
  size_t length = 0;
  bool plainFind = lua_toboolean(L, lua_upvalueindex(2)) && lua_toboolean(L, 4);
  if (lua_isstring(L, 2) && !plainFind && (lua_tolstring(L, 2, &length), length > maxPatternLength))
    return luaL_error(L, "pattern too long (more than %d characters)", int(maxPatternLength));
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
  return lua_gettop(L);
}

void guardPatterns(lua_State* L) {
  static const char* const matchers[] = {"find", "match", "gmatch", "gfind", "gsub"};
  lua_getfield(L, LUA_GLOBALSINDEX, LUA_STRLIBNAME);
  for (const char* name : matchers) {
    lua_getfield(L, -1, name);
    if (lua_isnil(L, -1)) {
      lua_pop(L, 1);
      continue;
    }
    lua_pushboolean(L, strcmp(name, "find") == 0);  // find has a plain mode
    lua_pushcclosure(L, guardedMatch, 2);
    lua_setfield(L, -2, name);
  }
  lua_pop(L, 1);
}

// ---- string.rep ----

// The library builds the result one copy at a time with no hook in between:
// an empty string repeated two billion times, or a result larger than the
// memory cap, would hold the engine for seconds before it fails.
int guardedRep(lua_State* L) {
  size_t length = 0;
  luaL_checklstring(L, 1, &length);
  int count = luaL_checkint(L, 2);
  if (count <= 0 || length == 0) {
    lua_pushliteral(L, "");
    return 1;
  }
  // Building the result takes up to twice its size.
  if (2.0 * double(length) * count > double(scriptMemoryLeft(L)))
    return luaL_error(L, "resulting string too large");
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_call(L, lua_gettop(L) - 1, 1);
  return 1;
}

void guardRep(lua_State* L) {
  lua_getfield(L, LUA_GLOBALSINDEX, LUA_STRLIBNAME);
  lua_getfield(L, -1, "rep");
  lua_pushcclosure(L, guardedRep, 1);
  lua_setfield(L, -2, "rep");
  lua_pop(L, 1);
}

// ---- Coroutines ----

enum { CoRunning, CoSuspended, CoNormal, CoDead };
const char* const coStateNames[] = {"running", "suspended", "normal", "dead"};

int coroutineState(lua_State* L, lua_State* co) {
  if (L == co) return CoRunning;
  switch (lua_status(co)) {
    case LUA_YIELD:
      return CoSuspended;
    case 0: {
      lua_Debug ar;
      if (lua_getstack(co, 0, &ar) > 0) return CoNormal;
      return lua_gettop(co) == 0 ? CoDead : CoSuspended;
    }
    default:
      return CoDead;
  }
}

// Returns the number of results moved onto L, or -1 with a message on L.
int resumeTracked(lua_State* L, lua_State* co, int argCount) {
  int state = coroutineState(L, co);
  if (!lua_checkstack(co, argCount)) luaL_error(L, "too many arguments to resume");
  if (state != CoSuspended) {
    lua_pushfstring(L, "cannot resume %s coroutine", coStateNames[state]);
    return -1;
  }
  lua_xmove(L, co, argCount);
  lua_setlevel(L, co);
  enterCoroutine(co);
  int status = lua_resume(co, argCount);
  leaveCoroutine();
  if (status == 0 || status == LUA_YIELD) {
    int results = lua_gettop(co);
    if (!lua_checkstack(L, results + 1)) luaL_error(L, "too many results to resume");
    lua_xmove(co, L, results);
    return results;
  }
  lua_xmove(co, L, 1);
  return -1;
}

int coResume(lua_State* L) {
  lua_State* co = lua_tothread(L, 1);
  luaL_argcheck(L, co, 1, "coroutine expected");
  int results = resumeTracked(L, co, lua_gettop(L) - 1);
  if (results < 0) {
    lua_pushboolean(L, 0);
    lua_insert(L, -2);
    return 2;
  }
  lua_pushboolean(L, 1);
  lua_insert(L, -(results + 1));
  return results + 1;
}

int coWrapped(lua_State* L) {
  lua_State* co = lua_tothread(L, lua_upvalueindex(1));
  if (!co) return luaL_error(L, "cannot resume a wrapped coroutine that is gone");
  int results = resumeTracked(L, co, lua_gettop(L));
  if (results < 0) {
    if (lua_isstring(L, -1)) {
      luaL_where(L, 1);
      lua_insert(L, -2);
      lua_concat(L, 2);
    }
    lua_error(L);
  }
  return results;
}

int coWrap(lua_State* L) {
  luaL_argcheck(L, lua_isfunction(L, 1) && !lua_iscfunction(L, 1), 1, "Lua function expected");
  lua_State* co = lua_newthread(L);
  lua_pushvalue(L, 1);
  lua_xmove(L, co, 1);
  lua_pushcclosure(L, coWrapped, 1);
  return 1;
}

void setField(lua_State* L, const char* table, const char* field, lua_CFunction f) {
  lua_getfield(L, LUA_GLOBALSINDEX, table);
  if (f)
    lua_pushcfunction(L, f);
  else
    lua_pushnil(L);
  lua_setfield(L, -2, field);
  lua_pop(L, 1);
}

}  // namespace

int loadTextChunk(lua_State* L, lua_Reader reader, void* data, const char* chunkName) {
  TextGuard guard{reader, data, true, false};
  int status = lua_load(L, guardedRead, &guard, chunkName);
  if (status == 0 && guard.binary) {
    lua_pop(L, 1);
    lua_pushliteral(L, "precompiled chunks are not accepted");
    return LUA_ERRSYNTAX;
  }
  return status;
}

int loadTextFile(lua_State* L, const char* path, const char* chunkName, bool* opened) {
  FILE* file = fopen(path, "rb");
  *opened = file != nullptr;
  if (!file) return LUA_ERRFILE;
  FileReader reader{file};
  int status = loadTextChunk(L, readFile, &reader, chunkName);
  fclose(file);
  return status;
}

void sandboxLibraries(lua_State* L) {
  static const char* const removed[] = {"dofile", "loadfile", "loadlib"};
  for (const char* name : removed) {
    lua_pushnil(L);
    lua_setfield(L, LUA_GLOBALSINDEX, name);
  }
  lua_pushcfunction(L, textLoad);
  lua_setfield(L, LUA_GLOBALSINDEX, "load");
  lua_pushcfunction(L, textLoadString);
  lua_setfield(L, LUA_GLOBALSINDEX, "loadstring");

  setField(L, LUA_LOADLIBNAME, "loadlib", nullptr);
  lua_getfield(L, LUA_GLOBALSINDEX, LUA_LOADLIBNAME);
  lua_pushliteral(L, "");
  lua_setfield(L, -2, "cpath");
  // Only the preload searcher stays, followed by the LUA_PATH searcher.
  lua_createtable(L, 2, 0);
  lua_getfield(L, -2, "loaders");
  lua_rawgeti(L, -1, 1);
  lua_rawseti(L, -3, 1);
  lua_pop(L, 1);
  lua_pushcfunction(L, searchLuaPath);
  lua_rawseti(L, -2, 2);
  lua_setfield(L, -2, "loaders");
  lua_pop(L, 1);
  // The metatable of library handles stays reachable through
  // debug.getregistry; its __gc, called on any other userdata, would unload
  // whatever pointer it finds there. No handle can exist without loadlib.
  lua_pushnil(L);
  lua_setfield(L, LUA_REGISTRYINDEX, "_LOADLIB");

  guardPatterns(L);
  guardRep(L);
  setField(L, LUA_COLIBNAME, "resume", coResume);
  setField(L, LUA_COLIBNAME, "wrap", coWrap);
}
