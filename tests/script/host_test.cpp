// The script host: environment, keys and fps, entry points, error lines.
#include <unistd.h>

#include "script_fixture.h"
#include "world/step_length.h"

namespace {

const char* const allKeys =
    "local names = {'left','right','up','down','lpad','rpad','push','launch',"
    "'start1','start2','start3','start4'}\n"
    "local function show() local t = {} for i, n in ipairs(names) do "
    "t[i] = tostring(keys[n]) end print(table.concat(t, ' ')) end\n";

TEST_F(ScriptTest, MainChunkSeesFpsZeroAndTwelveReleasedKeys) {
  std::string out = start(std::string(allKeys) + "print(fps, type(fps)) show()");
  EXPECT_EQ(out, "Loading '" + dir +
                     "/game.lua'..\n0\tnumber\n"
                     "false false false false false false false false false false false false\n");
}

TEST_F(ScriptTest, KeysFollowKeyStateInPlaceAndAreRebuiltWhenReplaced) {
  start(std::string(allKeys) +
        "local held = keys\nfunction update() show() end\n"
        "function check() print(held == keys, held.lpad) end");
  keys[KeyLpad] = true;
  keys[KeyStart4] = true;
  EXPECT_EQ(steps(1), "false false false false true false false false false false false true\n");
  EXPECT_EQ(run("check()"), "true\ttrue\n");
  keys[KeyLpad] = false;
  keys[KeyStart4] = false;

  // A non-table gets a fresh table; a table of the script's own is filled.
  run("keys = 7");
  EXPECT_EQ(steps(1), "false false false false false false false false false false false false\n");
  run("mine = {extra = 1}; keys = mine; function update() print(mine.up, mine.extra) end");
  EXPECT_EQ(steps(1), "false\t1\n");
}

TEST_F(ScriptTest, KeysWritesHonourMetamethodsAndTheirErrorsAreReported) {
  start(
      "proxy = {} keys = setmetatable({}, {__newindex = function(t, k, v) proxy[k] = v end})\n"
      "function update() print(proxy.launch, rawget(keys, 'launch')) end");
  keys[KeyLaunch] = true;
  EXPECT_EQ(steps(1), "true\tnil\n");
  keys[KeyLaunch] = false;
  run("keys = setmetatable({}, {__newindex = function() error('no keys', 0) end})");
  EXPECT_EQ(steps(1), "Lua error: runtime error (no keys)\ntrue\tnil\n");
}

TEST_F(ScriptTest, KeysAreRefreshedAfterTheRegistryIsRewritten) {
  start(std::string(allKeys) +
        "function update() show() end\n"
        "for k, v in pairs(debug.getregistry()) do if type(k) == 'userdata' then "
        "if type(v) == 'table' then for i in pairs(v) do v[i] = 0/0 end end end end");
  keys[KeyRpad] = true;
  EXPECT_EQ(steps(1), "false false false false false true false false false false false false\n");
  run("for k in pairs(debug.getregistry()) do if type(k) == 'userdata' then "
      "debug.getregistry()[k] = 1 end end");
  keys[KeyRpad] = false;
  keys[KeyLeft] = true;
  EXPECT_EQ(steps(1), "true false false false false false false false false false false false\n");
}

TEST_F(ScriptTest, KeyRefreshAndMissingEntryPointsAllocateNothing) {
  start("collectgarbage('stop')");
  refreshScriptKeys(L, keys);
  size_t used = scriptMemoryUsed(L);
  for (int i = 0; i < 1000; ++i) {
    keys[i % gameKeyCount] = !keys[i % gameKeyCount];
    refreshScriptKeys(L, keys);
    callScriptUpdate(L, stepLength);
  }
  EXPECT_EQ(scriptMemoryUsed(L), used);
}

TEST_F(ScriptTest, ScriptWithoutEntryPointsIsNeverCalled) {
  start("x = 1");
  EXPECT_EQ(steps(5), "");
  ScriptEvents events(L, keys);
  ::testing::internal::CaptureStdout();
  events.callObjectEnter(1, 2, 3, 4);
  events.callObjectExit(1, 2, 3, 4);
  events.callSceneEnter(1, 2, 3);
  events.callSceneExit(1, 2, 3);
  events.callObjectRotated(1, 2, 45);
  events.callScriptUpdate(stepLength);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST_F(ScriptTest, EventsReceiveTheirArgumentsAsNumbers) {
  start(
      "local function show(name) return function(...) "
      "print(name, select('#', ...), ...) end end\n"
      "trigger_object_enter = show('oe') trigger_object_exit = show('ox')\n"
      "trigger_scene_enter = show('se') trigger_scene_exit = show('sx')\n"
      "object_rotated = show('rot') update = show('up')");
  ScriptEvents events(L, keys);
  ::testing::internal::CaptureStdout();
  events.callObjectEnter(1, 2, 3, 4);
  events.callObjectExit(5, 6, 7, 8);
  events.callSceneEnter(1, 2, 3);
  events.callSceneExit(4, 5, 6);
  events.callObjectRotated(7, 8, -45);
  events.callScriptUpdate(0.25f);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "oe\t4\t1\t2\t3\t4\nox\t4\t5\t6\t7\t8\nse\t3\t1\t2\t3\nsx\t3\t4\t5\t6\n"
            "rot\t3\t7\t8\t-45\nup\t1\t0.25\n");
}

TEST_F(ScriptTest, FailingUpdateIsReportedEveryStepAndTheGameGoesOn) {
  start("update = 5");
  std::string out = steps(3);
  std::string line = "Lua error: runtime error (attempt to call a number value)\n";
  EXPECT_EQ(out, line + line + line);

  run("function update() error({}) end");
  EXPECT_EQ(steps(1), "Lua error: runtime error ()\n");
  run("function update() error(12.5, 0) end");
  EXPECT_EQ(steps(1), "Lua error: runtime error (12.5)\n");
}

TEST_F(ScriptTest, ErrorsCiteTheScriptByItsPath) {
  std::string out = start("\nlocal x = nil + 1");
  EXPECT_NE(out.find("Lua error: runtime error ([string \"" + dir + "/game.lua\"]:2: "),
            std::string::npos)
      << out;
}

TEST_F(ScriptTest, SyntaxErrorPrintsOnlyTheFixedLine) {
  std::string out = start("function (");
  EXPECT_EQ(out, "Loading '" + dir +
                     "/game.lua'..\nLua error: syntax error\n"
                     "Lua error: runtime error (attempt to call a nil value)\n");
}

TEST_F(ScriptTest, MissingScriptIsReportedAndSetupFailsAsACallOfNil) {
  std::string out = startWithoutWriting();
  std::string path = dir + "/game.lua";
  EXPECT_EQ(out, "Loading '" + path + "'..\nFile '" + path +
                     "' not found!\nLua error: runtime error (attempt to call a nil value)\n");
  EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptTest, StatusCodesMapToTheirLines) {
  start("");
  ::testing::internal::CaptureStdout();
  reportScriptError(L, 0);
  reportScriptError(L, LUA_ERRSYNTAX);
  reportScriptError(L, LUA_ERRMEM);
  reportScriptError(L, LUA_ERRERR);
  reportScriptError(L, LUA_ERRFILE);
  reportScriptError(L, LUA_ERRRUN);  // empty stack: empty text, nothing popped
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Lua error: syntax error\nLua error: out of memory\n"
            "Lua error: error running the error function\n"
            "Lua error: unknown error code #" +
                std::to_string(LUA_ERRFILE) + "\nLua error: runtime error ()\n");
  EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptTest, StackStaysFlatOverManyFailingSteps) {
  start(
      "local n = 0\nfunction update() n = n + 1 keys = nil\n"
      "if n % 2 == 0 then error('even') else error({}) end end");
  int top = lua_gettop(L);
  ::testing::internal::CaptureStdout();
  for (int i = 0; i < 10000; ++i) {
    refreshScriptKeys(L, keys);
    callScriptUpdate(L, stepLength);
    setScriptFps(L, 300);
  }
  std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(lua_gettop(L), top);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 10000);
}

TEST_F(ScriptTest, MetamethodsOnTheGlobalsCannotEndTheEngine) {
  start(
      "keys = nil fps = nil\n"
      "setmetatable(_G, {__index = function(t, k) error('read ' .. k, 0) end,"
      " __newindex = function(t, k) error('write ' .. k, 0) end})");
  EXPECT_EQ(steps(1),
            "Lua error: runtime error (read keys)\n"
            "Lua error: runtime error (read update)\n");
  ::testing::internal::CaptureStdout();
  setScriptFps(L, 333);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Lua error: runtime error (write fps)\n");
}

TEST_F(ScriptTest, ErrorOutsideAnyProtectedCallEndsTheProcessWithALine) {
  start("");
  EXPECT_EXIT(
      {
        dup2(2, 1);  // the line goes to the console, which the death test cannot read
        lua_pushstring(L, "boom");
        lua_error(L);
      },
      ::testing::ExitedWithCode(1), "Lua error: unprotected error, ending the engine \\(boom\\)");
}

TEST_F(ScriptTest, TamperedDispatcherStillRunsHostWritesProtected) {
  start("keys = nil");
  run("local r = debug.getregistry()\n"
      "for k, v in pairs(r) do if type(v) == 'function' then r[k] = nil end end");
  // Without the stored dispatcher the host allocates to make the call; at
  // the memory cap that fails as a report, not as an unprotected error.
  setScriptMemoryLimit(L, scriptMemoryUsed(L));
  ::testing::internal::CaptureStdout();
  refreshScriptKeys(L, keys);
  setScriptFps(L, 1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Lua error: out of memory\nLua error: out of memory\n");
  setScriptMemoryLimit(L, defaultScriptMemoryLimit);
  EXPECT_EQ(steps(1), "");
  EXPECT_EQ(run("print(keys.left, fps)"), "false\t0\n");
}

TEST_F(ScriptTest, LibraryLeftoversInTheRegistryAreGone) {
  // The handle finalizer of the package library, called on a userdata of
  // the script's making, would unload a pointer read past its end.
  std::string out = start(
      "local m = debug.getregistry()._LOADLIB print(m)\n"
      "local p = newproxy() if m then debug.setmetatable(p, m) pcall(m.__gc, p) end");
  EXPECT_EQ(out, "Loading '" + dir + "/game.lua'..\nnil\n");
}

TEST_F(ScriptTest, ScriptLongerThanOneReadIsLoadedWhole) {
  // Tokens cross the 4096-byte reads of the loader.
  std::string script = "local s = '" + std::string(5000, 'a') + "'\nlocal n = 0\n";
  for (int i = 0; i < 2000; ++i) script += "n = n + 1\n";
  script += "print(#s, n)";
  EXPECT_EQ(start(script), "Loading '" + dir + "/game.lua'..\n5000\t2000\n");
}

TEST_F(ScriptTest, EnvironmentHasTheApiAndNoFileLoaders) {
  std::string out = start(
      "local n = 0 for k, v in pairs(_G) do if type(v) == 'function' and k:match('^%u') "
      "then n = n + 1 end end\n"
      "print(n, type(Vec2), type(HudScrollText), LUA_PATH)\n"
      "print(dofile, loadfile, loadlib, io, os, package.loadlib, package.cpath, "
      "#package.loaders)\n"
      "print(type(coroutine.wrap), type(string.format), type(table.concat), "
      "type(math.sin), type(debug.traceback), type(require), type(loadstring))");
  EXPECT_EQ(out, "Loading '" + dir + "/game.lua'..\n40\tfunction\tfunction\t" + dir + "/?.lua;" +
                     dir +
                     "/?\n"
                     "nil\tnil\tnil\tnil\tnil\tnil\t\t2\n"
                     "function\tfunction\tfunction\tfunction\tfunction\tfunction\tfunction\n");
}

TEST_F(ScriptTest, DofileFailsAsACallOfNil) {
  std::string out = start("dofile('x.lua')");
  EXPECT_NE(out.find("attempt to call global 'dofile' (a nil value))\n"), std::string::npos) << out;
}

TEST_F(ScriptTest, RequireLoadsModulesFromTheDataDirectoryThroughLuaPath) {
  writeFile("scoring.lua", "return {bonus = 500}");
  writeFile("plain", "plain_loaded = true return 'plain'");
  std::filesystem::create_directory(dir + "/rules");
  writeFile("rules/tilt.lua", "return 'tilt'");
  std::string out = start(
      "local s = require 'scoring' print(s.bonus, require('scoring') == s)\n"
      "print(require 'plain', plain_loaded, require 'rules.tilt')\n"
      "print(pcall(require, 'absent'))");
  EXPECT_NE(out.find("500\ttrue\nplain\ttrue\ttilt\nfalse\tmodule 'absent' not found:"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("no file '" + dir + "/absent.lua'"), std::string::npos) << out;

  // LUA_PATH is read at every require.
  std::filesystem::create_directory(dir + "/lib");
  writeFile("lib/extra.lua", "return 'extra'");
  EXPECT_EQ(run("LUA_PATH = '" + dir + "/lib/?.lua' print(require 'extra')"), "extra\n");
}

TEST_F(ScriptTest, ScriptCannotLoadNativeCodeOrOpenFiles) {
  // A real shared library where require looks for a module.
  std::filesystem::copy_file("/proc/self/exe", dir + "/native");
  writeFile("secret.txt", "return 'secret'");
  std::string out = start(
      "print(pcall(require, 'native'))\n"
      "print(io, os, loadfile, package.loadlib)\n"
      "print(pcall(function() return package.loaders[3] end))\n"
      "local f = string.dump(function() return 1 end)\n"
      "print(loadstring(f))\n"
      "local sent = false\n"
      "print(load(function() if sent then return nil end sent = true return f end))\n"
      "print(loadstring('return 1 + 1')())\n");
  EXPECT_NE(out.find("false\terror loading module 'native' from file '" + dir + "/native'"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("nil\tnil\tnil\tnil\n"
                     "true\tnil\n"
                     "nil\tprecompiled chunks are not accepted\n"
                     "nil\tprecompiled chunks are not accepted\n"
                     "2\n"),
            std::string::npos)
      << out;
}

TEST_F(ScriptTest, PatternsTooLongForTheMatcherAreRefused) {
  // Matching recurses once per pattern item: this one would overflow the C
  // stack.
  std::string out = start(
      "local s, p = string.rep('a', 200000), string.rep('a?', 100000)\n"
      "print(pcall(string.find, s, p)) print(pcall(s.gsub, s, p, ''))\n"
      "print(s:find(p, 1, true), s:find('a?a?', 5), ('key=val'):match('(%w+)=(%w+)'))\n"
      "for w in ('a b'):gmatch('%a') do io = w end print(io)");
  EXPECT_EQ(out, "Loading '" + dir +
                     "/game.lua'..\n"
                     "false\tpattern too long (more than 4096 characters)\n"
                     "false\tpattern too long (more than 4096 characters)\n"
                     "nil\t5\tkey\tval\nb\n");
}

TEST_F(ScriptTest, PrecompiledGameScriptIsRefused) {
  start("");
  run("bytes = string.dump(function() print('ran') end)");
  lua_getglobal(L, "bytes");
  size_t length = 0;
  const char* bytes = lua_tolstring(L, -1, &length);
  writeFile("game.lua", std::string(bytes, length));
  lua_pop(L, 1);
  closeScriptState(L);
  std::string out = startWithoutWriting();
  EXPECT_EQ(out.find("ran"), std::string::npos);
  EXPECT_NE(out.find("Lua error: syntax error\n"), std::string::npos);
}

TEST_F(ScriptTest, CoroutinesWorkThroughTheTrackedResume) {
  std::string out = start(
      "local co = coroutine.create(function(a) local b = coroutine.yield(a + 1) return b * 2 end)\n"
      "print(coroutine.resume(co, 1)) print(coroutine.resume(co, 5))\n"
      "print(coroutine.resume(co)) print(coroutine.status(co))\n"
      "local gen = coroutine.wrap(function() for i = 1, 2 do coroutine.yield(i) end end)\n"
      "print(gen(), gen())\n"
      "local bad = coroutine.wrap(function() error('inner', 0) end)\n"
      "print(pcall(bad))");
  EXPECT_EQ(out, "Loading '" + dir +
                     "/game.lua'..\ntrue\t2\ntrue\t10\n"
                     "false\tcannot resume dead coroutine\ndead\n1\t2\nfalse\tinner\n");
}

}  // namespace
