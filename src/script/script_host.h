// The Lua side of the engine: the script environment, the globals keys and
// fps, the entry points and the reporting of script errors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "script/game_keys.h"
#include "world/world_events.h"

struct lua_State;
class World;

// A new state with base (and coroutines), string, table, math and debug;
// nullptr when out of memory.
lua_State* createScriptState();
void closeScriptState(lua_State* L);
// Restarts math.random of the state from value. A new state starts from 0, so
// a run is a function of its seed; math.randomseed reseeds from the script.
void seedScriptRandom(lua_State* L, uint64_t value);
// The one world the bindings act on, its catalog with it; nullptr until the
// shell attaches one.
void attachScriptWorld(World* world);
World* scriptWorld();

// Registers the API and points the global LUA_PATH at moduleDirectory, where
// `require` finds the table's modules (nullptr: the working directory).
void registerScriptApi(lua_State* L, const char* moduleDirectory);
void setScriptFps(lua_State* L, float fps);
void refreshScriptKeys(lua_State* L, const KeyState& keys);
void reportScriptError(lua_State* L, int status);
// Beside each console line of reportScriptError, standard error gets what
// the author needs: the parser's message of a syntax error (also in a
// required module), and the place and traceback of a runtime error the
// first time it happens, then its count about once a second.
// The text of the on-screen error panel for the errors of L's table; empty
// while it has none.
std::string scriptErrorPanelText(lua_State* L);
// At shutdown: the number of script errors of the run and the first, on
// standard error; nothing when there were none.
void reportScriptErrorTotal();
// Loads path as a chunk and leaves it on the stack (nil when it failed).
// false when the file is missing or does not compile.
bool runScriptFile(lua_State* L, const char* path);
// Calls the chunk left by runScriptFile and reports its status; false when
// it raised an error (a nil chunk raises one).
bool runScriptSetup(lua_State* L);
void callScriptUpdate(lua_State* L, float dt);
void callTriggerEvent(lua_State* L, const char* function, int triggerScene, int triggerObject,
                      int otherScene, int otherObject);
void callObjectRotated(lua_State* L, int scene, int object, float degrees);

// Runaway scripts. One call into the script (setup, update, an event) that
// runs longer than the time limit is stopped with a runtime error; one that
// still runs graceMs after that ends the process with exit code 1.
constexpr int defaultScriptTimeLimitMs = 10000;
constexpr int defaultScriptGraceMs = 5000;
void setScriptTimeLimit(int limitMs, int graceMs);
// Caps the memory of the state; past it allocations fail as "out of memory".
constexpr size_t defaultScriptMemoryLimit = size_t(1) << 30;
void setScriptMemoryLimit(lua_State* L, size_t bytes);
size_t scriptMemoryUsed(lua_State* L);

// The world's events delivered to the script of one state. Each step's
// update first copies keys, which the caller owns and changes between steps.
class ScriptEvents : public WorldEvents {
 public:
  ScriptEvents(lua_State* L, const KeyState& keys) : L_(L), keys_(&keys) {}
  void callObjectEnter(int triggerScene, int triggerObject, int otherScene,
                       int otherObject) override;
  void callObjectExit(int triggerScene, int triggerObject, int otherScene,
                      int otherObject) override;
  void callSceneEnter(int triggerScene, int triggerObject, int otherScene) override;
  void callSceneExit(int triggerScene, int triggerObject, int otherScene) override;
  void callObjectRotated(int scene, int object, float degrees) override;
  void callScriptUpdate(float dt) override;

 private:
  lua_State* L_;
  const KeyState* keys_;
};
