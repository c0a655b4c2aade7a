// Placeholder script host.
#include "script/script_host.h"
lua_State* createScriptState() { return nullptr; }
void closeScriptState(lua_State*) {}
void attachScriptWorld(World*, const WorldData*) {}
void registerScriptApi(lua_State*) {}
void setScriptFps(lua_State*, float) {}
void refreshScriptKeys(lua_State*) {}
void reportScriptError(lua_State*, int) {}
void runScriptFile(lua_State*, const char*) {}
void runScriptSetup(lua_State*) {}
void callScriptUpdate(lua_State*, float) {}
void callTriggerEvent(lua_State*, const char*, int, int, int, int) {}
void ScriptEvents::callObjectEnter(int, int, int, int) {}
void ScriptEvents::callObjectExit(int, int, int, int) {}
void ScriptEvents::callSceneEnter(int, int, int) {}
void ScriptEvents::callSceneExit(int, int, int) {}
void ScriptEvents::callObjectRotated(int, int, float) {}
void ScriptEvents::callScriptUpdate(float) {}
