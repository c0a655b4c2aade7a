// Creating and closing the script state: the capped allocator, the panic
// line, the standard libraries, the protected host tasks and the message
// handler.
#include <cstdio>
#include <cstdlib>

#include "script/script_host.h"
#include "script/script_internal.h"
#include "script/vec2.h"

namespace {

int statesMade = 0;

void* cappedAlloc(void* ud, void* ptr, size_t oldSize, size_t newSize) {
  StateInfo* a = static_cast<StateInfo*>(ud);
  if (newSize == 0) {
    free(ptr);
    a->used -= oldSize;
    return nullptr;
  }
  // Lua passes the old size for blocks it owns; ptr == nullptr means new.
  size_t old = ptr ? oldSize : 0;
  if (newSize > old && (a->used >= a->limit || newSize - old > a->limit - a->used)) return nullptr;
  void* p = realloc(ptr, newSize);
  if (p) a->used = a->used - old + newSize;
  return p;
}

int panicLine(lua_State* L) {
  const char* msg = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : "";
  printf("Lua error: unprotected error, ending the engine (%s)\n", msg);
  fflush(stdout);
  return 0;  // Lua then ends the process
}

int openLibraries(lua_State* L) {
  static const luaL_Reg libs[] = {{"", luaopen_base},
                                  {LUA_STRLIBNAME, luaopen_string},
                                  {LUA_TABLIBNAME, luaopen_table},
                                  {LUA_MATHLIBNAME, luaopen_math},
                                  {LUA_DBLIBNAME, luaopen_debug},
                                  {LUA_LOADLIBNAME, luaopen_package},
                                  {nullptr, nullptr}};
  for (const luaL_Reg* lib = libs; lib->func; ++lib) {
    lua_pushcfunction(L, lib->func);
    lua_pushstring(L, lib->name);
    lua_call(L, 1, 0);
  }
  sandboxLibraries(L);
  installRandom(L);
  installHostTasks(L);
  installMessageHandler(L);
  installVec2(L);
  anchorHostNames(L);
  return 0;
}

// The task being run; the dispatcher runs only this one, once, so a script
// that gets hold of the dispatcher (through the debug library) cannot make
// it run a stale task.
struct PendingTask {
  HostTask task;
  void* data;
};
PendingTask* currentTask = nullptr;
char dispatcherKey;

int dispatchTask(lua_State* L) {
  PendingTask* t = static_cast<PendingTask*>(lua_touserdata(L, 1));
  if (!t || t != currentTask) return 0;
  currentTask = nullptr;
  lua_settop(L, 0);
  t->task(L, t->data);
  return 0;
}

}  // namespace

void installHostTasks(lua_State* L) {
  lua_pushlightuserdata(L, &dispatcherKey);
  lua_pushcfunction(L, dispatchTask);
  lua_rawset(L, LUA_REGISTRYINDEX);
}

int runHostTask(lua_State* L, HostTask task, void* data) {
  int top = lua_gettop(L);
  PendingTask pending{task, data};
  PendingTask* outer = currentTask;
  currentTask = &pending;
  beginScriptCall(L);
  // Nothing before the call may allocate: an allocation can fail or run a
  // finalizer, and here either would raise outside protection.
  int handler = pushMessageHandler(L);
  lua_pushlightuserdata(L, &dispatcherKey);
  lua_rawget(L, LUA_REGISTRYINDEX);
  int status;
  if (lua_tocfunction(L, -1) == dispatchTask) {
    lua_pushlightuserdata(L, &pending);
    status = lua_pcall(L, 1, 0, handler);
  } else {
    // A script replaced the stored dispatcher through the debug library.
    // lua_cpcall makes a new closure each time, but inside its protection.
    lua_pop(L, 1);
    status = lua_cpcall(L, dispatchTask, &pending);
  }
  endScriptCall(L);
  currentTask = outer;
  reportScriptError(L, status);
  lua_settop(L, top);
  return status;
}

StateInfo& stateInfo(lua_State* L) {
  void* ud = nullptr;
  lua_getallocf(L, &ud);
  return *static_cast<StateInfo*>(ud);
}

lua_State* createScriptState() {
  StateInfo* a = new StateInfo;
  a->limit = defaultScriptMemoryLimit;
  a->id = ++statesMade;
  lua_State* L = lua_newstate(cappedAlloc, a);
  if (!L) {
    delete a;
    return nullptr;
  }
  lua_atpanic(L, panicLine);
  if (lua_cpcall(L, openLibraries, nullptr) != 0) {
    closeScriptState(L);
    return nullptr;
  }
  return L;
}

void closeScriptState(lua_State* L) {
  if (!L) return;
  StateInfo* info = &stateInfo(L);
  forgetScriptErrors(L);
  beginScriptClose();
  lua_close(L);
  endScriptClose();
  delete info;
}

void setScriptMemoryLimit(lua_State* L, size_t bytes) {
  stateInfo(L).limit = bytes;
}

size_t scriptMemoryUsed(lua_State* L) {
  return stateInfo(L).used;
}

size_t scriptMemoryLeft(lua_State* L) {
  const StateInfo& a = stateInfo(L);
  return a.used < a.limit ? a.limit - a.used : 0;
}
