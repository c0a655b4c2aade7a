// The script host: the environment the game script sees, the globals keys
// and fps, the calls of the script's entry points and the error lines.
#include "script/script_host.h"

#include <cstdio>

#include "script/api_common.h"
#include "script/script_internal.h"

namespace {

// The API in the order in which it is registered.
const luaL_Reg* const apiTables[] = {vectorApi, propertyApi, windowApi, worldApi,
                                     sceneApi,  objectApi,   audioApi,  hudApi};

void registerTask(lua_State* L, void* data) {
  for (const luaL_Reg* table : apiTables)
    for (const luaL_Reg* entry = table; entry->name; ++entry) {
      lua_pushstring(L, entry->name);
      lua_pushcfunction(L, entry->func);
      lua_settable(L, LUA_GLOBALSINDEX);
    }
  const char* dir = static_cast<const char*>(data);
  if (dir)
    lua_pushfstring(L, "%s/?.lua;%s/?", dir, dir);
  else
    lua_pushliteral(L, "?.lua;?");
  lua_setfield(L, LUA_GLOBALSINDEX, "LUA_PATH");
}

void fpsTask(lua_State* L, void* data) {
  lua_pushnumber(L, *static_cast<float*>(data));
  lua_setfield(L, LUA_GLOBALSINDEX, "fps");
}

const char* const entryPoints[] = {"update",
                                   "trigger_object_enter",
                                   "trigger_object_exit",
                                   "trigger_scene_enter",
                                   "trigger_scene_exit",
                                   "object_rotated",
                                   "keys",
                                   "fps"};
char anchorKey;
constexpr int entryPointCount = sizeof entryPoints / sizeof entryPoints[0];

// The name of a key from the anchored names at stack index names: a table
// lookup rather than hashing the C string on every step. Where a script has
// put anything but a string (through the debug library), the C string.
void pushKeyName(lua_State* L, int names, int key) {
  if (lua_istable(L, names)) {
    lua_rawgeti(L, names, entryPointCount + 1 + key);
    if (lua_type(L, -1) == LUA_TSTRING) return;
    lua_pop(L, 1);
  }
  lua_pushstring(L, gameKeyNames[key]);
}

// Allocates nothing once keys holds a table with the twelve fields.
void keysTask(lua_State* L, void* data) {
  const KeyState& held = *static_cast<const KeyState*>(data);
  lua_pushlightuserdata(L, &anchorKey);
  lua_rawget(L, LUA_REGISTRYINDEX);
  int names = lua_gettop(L);
  lua_getfield(L, LUA_GLOBALSINDEX, "keys");
  if (!lua_istable(L, -1)) {
    lua_pop(L, 1);
    lua_createtable(L, 0, gameKeyCount);
    lua_pushvalue(L, -1);
    lua_setfield(L, LUA_GLOBALSINDEX, "keys");
  }
  for (int i = 0; i < gameKeyCount; ++i) {
    pushKeyName(L, names, i);
    lua_pushboolean(L, held[i]);
    lua_settable(L, -3);
  }
}

struct ScriptCall {
  const char* function;
  int argCount;
  lua_Number args[4];
};

void callTask(lua_State* L, void* data) {
  const ScriptCall* call = static_cast<const ScriptCall*>(data);
  lua_getfield(L, LUA_GLOBALSINDEX, call->function);
  if (lua_isnil(L, -1)) return;
  int handler = pushMessageHandler(L);
  if (handler) {
    lua_insert(L, -2);
    --handler;
  }
  for (int i = 0; i < call->argCount; ++i) lua_pushnumber(L, call->args[i]);
  // Only for errors of the entry point itself, not of the read of its name.
  const char* outer = scriptCallContext;
  scriptCallContext = call->function;
  int status = lua_pcall(L, call->argCount, 0, handler);
  scriptCallContext = outer;
  reportScriptError(L, status);
}

void callScript(lua_State* L, ScriptCall& call) {
  if (L && call.function) runHostTask(L, callTask, &call);
}

}  // namespace

void anchorHostNames(lua_State* L) {
  lua_pushlightuserdata(L, &anchorKey);
  lua_createtable(L, 0, 0);
  int n = 0;
  for (const char* name : entryPoints) {
    lua_pushstring(L, name);
    lua_rawseti(L, -2, ++n);
  }
  for (const char* name : gameKeyNames) {
    lua_pushstring(L, name);
    lua_rawseti(L, -2, ++n);
  }
  lua_rawset(L, LUA_REGISTRYINDEX);
}

void registerScriptApi(lua_State* L, const char* moduleDirectory) {
  if (!L) return;
  stateInfo(L).directory = moduleDirectory ? moduleDirectory : "";
  runHostTask(L, registerTask, const_cast<char*>(moduleDirectory));
}

void setScriptFps(lua_State* L, float fps) {
  if (L) runHostTask(L, fpsTask, &fps);
}

void refreshScriptKeys(lua_State* L, const KeyState& keys) {
  if (L) runHostTask(L, keysTask, const_cast<KeyState*>(&keys));
}

void reportScriptError(lua_State* L, int status) {
  switch (status) {
    case 0:
      return;
    case LUA_ERRRUN: {
      // Numbers are formatted here rather than by lua_tostring, which would
      // allocate, and this may run outside any protected call.
      char number[64];
      const char* text = "";
      int top = L ? lua_gettop(L) : 0;
      if (top > 0 && lua_type(L, -1) == LUA_TSTRING) {
        text = lua_tostring(L, -1);
      } else if (top > 0 && lua_type(L, -1) == LUA_TNUMBER) {
        snprintf(number, sizeof number, LUA_NUMBER_FMT, lua_tonumber(L, -1));
        text = number;
      }
      printf("Lua error: runtime error (%s)\n", text);
      noteScriptError(L, status, text, top > 0 ? lua_type(L, -1) : LUA_TNONE);
      if (top > 0) lua_pop(L, 1);
      return;
    }
    case LUA_ERRSYNTAX:
      // The parser's message went to standard error as the file was loaded.
      printf("Lua error: syntax error\n");
      return;
    case LUA_ERRMEM:
      printf("Lua error: out of memory\n");
      noteScriptError(L, status, "out of memory", LUA_TNONE);
      return;
    case LUA_ERRERR:
      printf("Lua error: error running the error function\n");
      noteScriptError(L, status, "error running the error function", LUA_TNONE);
      return;
    default:
      printf("Lua error: unknown error code #%d\n", status);
      noteScriptError(L, status, "unknown error code", LUA_TNONE);
      return;
  }
}

bool runScriptFile(lua_State* L, const char* path) {
  if (!L) return false;
  if (!path) path = "";
  printf("Loading '%s'..\n", path);
  int top = lua_gettop(L);
  bool opened = false;
  stateInfo(L).scriptPath = path;
  int status = loadTextFile(L, path, path, &opened);
  if (!opened) {
    printf("File '%s' not found!\n", path);
    lua_pushnil(L);  // the setup call then fails as a call of nil
    return false;
  }
  if (status != 0) {
    if (status == LUA_ERRSYNTAX) noteSyntaxError(L, path);
    reportScriptError(L, status);
    lua_settop(L, top);
    lua_pushnil(L);
  }
  return status == 0;
}

bool runScriptSetup(lua_State* L) {
  if (!L) return false;
  if (lua_gettop(L) == 0) lua_pushnil(L);
  int top = lua_gettop(L) - 1;
  int handler = pushMessageHandler(L);
  if (handler) {
    lua_insert(L, -2);
    handler = top + 1;
  }
  beginScriptCall(L);
  int status = lua_pcall(L, 0, 0, handler);
  endScriptCall(L);
  reportScriptError(L, status);
  lua_settop(L, top);
  return status == 0;
}

void callScriptUpdate(lua_State* L, float dt) {
  ScriptCall call{"update", 1, {dt}};
  callScript(L, call);
  if (L) noteScriptStep();
}

void callTriggerEvent(lua_State* L, const char* function, int triggerScene, int triggerObject,
                      int otherScene, int otherObject) {
  ScriptCall call{function,
                  otherObject != 0 ? 4 : 3,
                  {lua_Number(triggerScene), lua_Number(triggerObject), lua_Number(otherScene),
                   lua_Number(otherObject)}};
  callScript(L, call);
}

void callObjectRotated(lua_State* L, int scene, int object, float degrees) {
  ScriptCall call{"object_rotated", 3, {lua_Number(scene), lua_Number(object), degrees}};
  callScript(L, call);
}

void ScriptEvents::callObjectEnter(int triggerScene, int triggerObject, int otherScene,
                                   int otherObject) {
  callTriggerEvent(L_, "trigger_object_enter", triggerScene, triggerObject, otherScene,
                   otherObject);
}

void ScriptEvents::callObjectExit(int triggerScene, int triggerObject, int otherScene,
                                  int otherObject) {
  callTriggerEvent(L_, "trigger_object_exit", triggerScene, triggerObject, otherScene, otherObject);
}

void ScriptEvents::callSceneEnter(int triggerScene, int triggerObject, int otherScene) {
  callTriggerEvent(L_, "trigger_scene_enter", triggerScene, triggerObject, otherScene, 0);
}

void ScriptEvents::callSceneExit(int triggerScene, int triggerObject, int otherScene) {
  callTriggerEvent(L_, "trigger_scene_exit", triggerScene, triggerObject, otherScene, 0);
}

void ScriptEvents::callObjectRotated(int scene, int object, float degrees) {
  ::callObjectRotated(L_, scene, object, degrees);
}

void ScriptEvents::callScriptUpdate(float dt) {
  refreshScriptKeys(L_, *keys_);
  ::callScriptUpdate(L_, dt);
}
