// What the script host's own files share: protected host tasks, the
// watchdog that stops runaway scripts, and the sandboxed chunk loading.
#pragma once

#include <lua5.1/lua.hpp>
#include <string>

// What the host keeps beside each state: the account of its capped
// allocator, and what names its errors.
struct StateInfo {
  size_t used = 0;
  size_t limit = 0;
  int id = 0;              // tells this state's errors from those of others
  std::string directory;   // the data directory, left out of the script's file names
  std::string scriptPath;  // the chunk name of the game script, which has no '@'
};
StateInfo& stateInfo(lua_State* L);

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

// ---- Script errors for the author (standard error and the error panel) ----

// Stores the message handler in the registry of a new state.
void installMessageHandler(lua_State* L);
// Pushes the message handler for a protected call and returns its index;
// 0, with nothing pushed, when a script has replaced it (debug library).
// The handler notes where the error happened and returns it unchanged.
int pushMessageHandler(lua_State* L);
// The entry point that the engine is calling (for the traceback), or nullptr.
extern const char* scriptCallContext;
// A failure as reportScriptError prints it: text is what it printed, and
// valueType the Lua type of the error value (LUA_TNONE when none).
void noteScriptError(lua_State* L, int status, const char* text, int valueType);
// The parser's message on top of the stack, for a file loaded under chunkName.
void noteSyntaxError(lua_State* L, const char* chunkName);
// One world step, for the reports of repeats.
void noteScriptStep();
// The state is being closed.
void forgetScriptErrors(lua_State* L);

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
