// math.random: a generator of each state's own, a function of its seed only.
#include <cstdlib>

#include "script_fixture.h"

namespace {

const char* const draws =
    "function draws(n) local t = {} for i = 1, n do t[i] = string.format('%.17g', math.random()) "
    "end "
    "return table.concat(t, ' ') end\n";

TEST_F(ScriptTest, SameSeedSameDrawsWhateverElseUsesRand) {
  start(draws);
  seedScriptRandom(L, 42);
  std::string first = run("print(draws(20))");
  seedScriptRandom(L, 42);
  std::srand(7);  // other code drawing from or reseeding C's generator
  (void)std::rand();
  EXPECT_EQ(run("print(draws(20))"), first);
  seedScriptRandom(L, 43);
  EXPECT_NE(run("print(draws(20))"), first);

  // A second state seeded alike draws the same, and a fresh state starts
  // from seed 0.
  lua_State* other = createScriptState();
  seedScriptRandom(other, 42);
  luaL_dostring(other, (std::string(draws) + "result = draws(20)").c_str());
  lua_getglobal(other, "result");
  EXPECT_EQ(std::string(lua_tostring(other, -1)) + "\n", first);
  closeScriptState(other);
  lua_State* fresh = createScriptState();
  luaL_dostring(fresh, (std::string(draws) + "result = draws(5)").c_str());
  lua_getglobal(fresh, "result");
  std::string fromZero = lua_tostring(fresh, -1);
  closeScriptState(fresh);
  seedScriptRandom(L, 0);
  EXPECT_EQ(run("print(draws(5))"), fromZero + "\n");
}

TEST_F(ScriptTest, RandomseedFromTheScriptRepeatsTheSequence) {
  start(draws);
  EXPECT_EQ(run("math.randomseed(99) a = draws(10) math.randomseed(99) print(a == draws(10))"),
            "true\n");
  EXPECT_EQ(run("math.randomseed(99) a = draws(3) math.randomseed(99.5) print(a == draws(3))"),
            "false\n");
  EXPECT_EQ(run("math.randomseed(0/0) math.randomseed(1e300) math.randomseed(-2^70) print('ok')"),
            "ok\n");
}

TEST_F(ScriptTest, RandomKeepsLuasRangesAndMessages) {
  start("");
  // Every value of a small range comes up, and nothing outside it.
  EXPECT_EQ(run("local seen = {} for i = 1, 2000 do local v = math.random(3) seen[v] = true "
                "assert(v == 1 or v == 2 or v == 3) end print(seen[1], seen[2], seen[3])"),
            "true\ttrue\ttrue\n");
  EXPECT_EQ(run("for i = 1, 2000 do local v = math.random(-2, 2) "
                "assert(v >= -2 and v <= 2 and v == math.floor(v)) end "
                "for i = 1, 2000 do local r = math.random() assert(r >= 0 and r < 1) end "
                "print(math.random(5, 5))"),
            "5\n");
  // Bounds far apart cannot overflow.
  EXPECT_EQ(run("local v = math.random(-2^31 + 1, 2^31 - 1) print(v >= -2^31 and v < 2^31)"),
            "true\n");
  EXPECT_EQ(run("math.random(0)"),
            "Lua error: runtime error ([string \"test\"]:1: bad argument #1 to 'random' (interval "
            "is empty))\n");
  EXPECT_EQ(run("math.random(3, 2)"),
            "Lua error: runtime error ([string \"test\"]:1: bad argument #2 to 'random' (interval "
            "is empty))\n");
  EXPECT_EQ(run("math.random(1, 2, 3)"),
            "Lua error: runtime error ([string \"test\"]:1: wrong number of arguments)\n");
  EXPECT_EQ(run("math.random('x')"),
            "Lua error: runtime error ([string \"test\"]:1: bad argument #1 to 'random' (number "
            "expected, got "
            "string))\n");
}

}  // namespace
