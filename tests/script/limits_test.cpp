// Runaway scripts: the time limit of one call and the memory cap.
#include "script_fixture.h"

namespace {

class LimitTest : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    setScriptTimeLimit(200, 3000);
  }
};

const char* const stopped = "Lua error: runtime error (";

TEST_F(LimitTest, EndlessUpdateIsStoppedAndCalledAgainNextStep) {
  start(
      "calls = 0\nfunction update() calls = calls + 1 if calls <= 2 then while true do end end "
      "print('step', calls) end");
  std::string out = steps(3);
  std::string line = "script stopped: it ran longer than 200 ms)\n";
  EXPECT_EQ(out.find(stopped), 0u) << out;
  size_t first = out.find(line);
  ASSERT_NE(first, std::string::npos) << out;
  EXPECT_NE(out.find(line, first + 1), std::string::npos) << out;
  EXPECT_NE(out.find("step\t3\n"), std::string::npos) << out;
  EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(LimitTest, StopHoldsAgainstHookRemovalPcallAndCoroutines) {
  std::string out = start(
      "local function spin() while true do debug.sethook() end end\n"
      "while true do pcall(spin) pcall(coroutine.wrap(spin)) end");
  EXPECT_NE(out.find("script stopped: it ran longer than 200 ms"), std::string::npos) << out;
  // Coroutines made while the stop was under way run freely later.
  run("while true do co = coroutine.create(function() return 'fine' end) end");
  EXPECT_EQ(run("print(coroutine.resume(co))"), "true\tfine\n");
  EXPECT_EQ(run("co2 = coroutine.wrap(function() coroutine.yield(1) return 2 end) print(co2())"),
            "1\n");
  EXPECT_EQ(run("print(co2())"), "2\n");
}

// Each of these would crash the engine, hold it in C past the time limit, or
// build a string past the memory cap; each must fail at once instead.
TEST_F(LimitTest, HostileRecursionAndLibraryCallsFailQuickly) {
  std::string out = start(
      "local function deep() return 1 + deep() end print(pcall(deep))\n"
      "local t = setmetatable({}, {__index = function(s, k) return s[k] end})\n"
      "print(pcall(function() return t.x end))\n"
      "print(xpcall(function() error('a') end, function(e) error(e) end))\n"
      "local function nest(n) if n == 0 then return 'bottom' end\n"
      "  return select(2, coroutine.resume(coroutine.create(nest), n - 1)) end\n"
      "print(nest(1000))\n"
      "local function wrapped(n) if n == 0 then return 'bottom' end\n"
      "  return coroutine.wrap(wrapped)(n - 1) end\n"
      "print(select(2, pcall(wrapped, 1000)):match('C stack overflow$'))\n"
      "print(#string.rep('', 2^31 - 1), #string.rep('ab', 0), string.rep('ab', 3))\n"
      "print(pcall(string.rep, 'x', 2^31 - 1))\n"
      "print(pcall(('y').rep, ('y'):rep(1000), 2^30))\n"
      "print(loadstring('return ' .. string.rep('(', 100000)))\n"
      "print(pcall(unpack, {}, 1, 1e8))");
  std::string expect =
      "Loading '" + dir +
      "/game.lua'..\n"
      "false\t[string \"" +
      dir +
      "/game.lua\"]:1: stack overflow\n"
      "false\t[string \"" +
      dir +
      "/game.lua\"]:2: C stack overflow\n"
      "false\terror in error handling\n"
      "C stack overflow\n"
      "C stack overflow\n"
      "0\t0\tababab\n"
      "false\tresulting string too large\n"
      "false\tresulting string too large\n"
      "nil\t[string \"return ((((((((((((((((((((((((((((((((((((((((((((((((((((((((...\"]:1: "
      "chunk has too many syntax levels\n"
      "false\ttoo many results to unpack\n";
  EXPECT_EQ(out, expect);
  EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(LimitTest, FastCallsAreNeverStopped) {
  start("function update() local s = 0 for i = 1, 1000 do s = s + i end end");
  EXPECT_EQ(steps(300), "");
}

TEST_F(LimitTest, ScriptThatCannotBeStoppedEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setScriptTimeLimit(100, 300);
        start("xpcall(function() while true do end end, function() while true do end end)");
      },
      ::testing::ExitedWithCode(1), "");
}

TEST_F(LimitTest, FinalizerThatNeverReturnsAtShutdownEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setScriptTimeLimit(100, 200);
        start("p = newproxy(true) getmetatable(p).__gc = function() while true do end end");
        closeScriptState(L);
      },
      ::testing::ExitedWithCode(1), "");
}

TEST_F(LimitTest, EndlessAllocationRunsOutOfMemoryAndTheEngineGoesOn) {
  setScriptTimeLimit(defaultScriptTimeLimitMs, defaultScriptGraceMs);
  start(
      "grown = 0\nfunction update() if grown == 0 then grown = 1 local t = {} local i = 0\n"
      "while true do i = i + 1 t[i] = i end end print('alive') end");
  setScriptMemoryLimit(L, 64 << 20);
  EXPECT_EQ(steps(1), "Lua error: out of memory\n");
  EXPECT_LE(scriptMemoryUsed(L), size_t(64) << 20);
  EXPECT_EQ(steps(2), "alive\nalive\n");
  EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(LimitTest, HostWritesOutOfMemoryAreReportedNotFatal) {
  start("keys = nil");
  setScriptMemoryLimit(L, scriptMemoryUsed(L));
  ::testing::internal::CaptureStdout();
  refreshScriptKeys(L, keys);
  std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "Lua error: out of memory\n");
  setScriptMemoryLimit(L, defaultScriptMemoryLimit);
  EXPECT_EQ(run("print(type(keys))"), "nil\n");
  refreshScriptKeys(L, keys);
  EXPECT_EQ(run("print(keys.left)"), "false\n");
}

}  // namespace
