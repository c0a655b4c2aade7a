// What the script host's own files share: protected host tasks, the
// watchdog that stops runaway scripts, and the sandboxed chunk loading.
#pragma once

#include <lua5.1/lua.hpp>

// Runs task(L, data) inside a protected call with the watchdog armed, so that
// metamethods, running out of memory and runaway scripts are reported as
// script errors instead of ending the process. Leaves the stack as found and
// returns the Lua status (already reported).
typedef void (*HostTask)(lua_State* L, void* data);
int runHostTask(lua_State* L, HostTask task, void* data);
// Stores the task dispatcher in the registry of a new state.
void installHostTasks(lua_State* L);

// Keeps the global names the host reads and writes every step interned for
// the life of the state, so that those reads and writes allocate nothing.
void anchorHostNames(lua_State* L);

// Brackets one call from the engine into the script of L; calls may nest.
void beginScriptCall(lua_State* L);
void endScriptCall(lua_State* L);
// Brackets lua_close, which runs the script's finalizers one last time; the
// state itself is never touched.
void beginScriptClose();
void endScriptClose();
// Brackets the run of a coroutine inside a script call, so that a stop
// reaches the thread that is actually running.
void enterCoroutine(lua_State* co);
void leaveCoroutine();

// What the state may still allocate before it runs out of memory.
size_t scriptMemoryLeft(lua_State* L);

// Replaces math.random and math.randomseed with a generator of the state's
// own, seeded with 0.
void installRandom(lua_State* L);

// Removes every way of loading native code or opening files, and installs
// require's searcher over LUA_PATH and the text-only load functions.
void sandboxLibraries(lua_State* L);
// Loads a chunk of source text; precompiled chunks are refused (they can
// break the interpreter) as a syntax error with a message on the stack.
int loadTextChunk(lua_State* L, lua_Reader reader, void* data, const char* chunkName);
// Loads the file at path through a 4096-byte buffer; *opened is false (and
// nothing is pushed) when the file cannot be opened, else the load status.
int loadTextFile(lua_State* L, const char* path, const char* chunkName, bool* opened);
