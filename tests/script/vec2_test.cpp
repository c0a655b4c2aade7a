// The Vec2 value: construction, members, Dot, Normalize, operators, errors.
#include "script_fixture.h"

namespace {

class Vec2Test : public ScriptTest {
 protected:
  // Runs a chunk and returns what it printed, or the error line.
  std::string eval(const std::string& code) { return run(code); }
  std::string error(const std::string& code) {
    std::string out = run(code);
    std::string prefix = "Lua error: runtime error (";
    EXPECT_EQ(out.rfind(prefix, 0), 0u) << out;
    return out.substr(prefix.size(), out.size() - prefix.size() - 2);
  }
};

TEST_F(Vec2Test, ConstructorForms) {
  EXPECT_EQ(eval("print(Vec2(), Vec2(2), Vec2('3', 4), Vec2('a'), Vec2(Vec2(1, 2), 5))"),
            "(0, 0)\t(2, 2)\t(3, 4)\t(0, 0)\t(0, 5)\n");
  EXPECT_EQ(error("Vec2(1, 2, 3)"), "Too many parameters for function 'Vec2'!");
  // A copy, not the same value; plain assignment shares.
  EXPECT_EQ(eval("local v = Vec2(1, 2) local c = Vec2(v) local s = v c.x = 9 s.y = 7\n"
                 "print(v, c, rawequal(v, c))"),
            "(1, 7)\t(9, 2)\tfalse\n");
}

TEST_F(Vec2Test, ComponentsAreSinglePrecision) {
  EXPECT_EQ(
      eval("local v = Vec2(0.1, 16777217) print(v.x == 0.1, v.y) v.x = 1/3 print(v.x == 1/3)"),
      "false\t16777216\nfalse\n");
}

TEST_F(Vec2Test, Members) {
  EXPECT_EQ(eval("local v = Vec2(3, 4.5) print(tostring(v), v.str, v.x, v.y)"),
            "(3, 4.5)\t(3, 4.5)\t3\t4.5\n");
  EXPECT_EQ(eval("print(Vec2(3, 4).length, Vec2(1, 0).normal, Vec2(2, 5).normal)"),
            "5\t(-0, 1)\t(-5, 2)\n");
  EXPECT_EQ(eval("local v = Vec2() v.x = 'abc' v.y = '2.5' print(v)"), "(0, 2.5)\n");
}

TEST_F(Vec2Test, MemberErrors) {
  EXPECT_EQ(error("return Vec2().z"), "Vec2 has only 'x', 'y', 'length' and 'normal' values!");
  EXPECT_EQ(error("return Vec2()[1]"), "Vec2 has only 'x', 'y', 'length' and 'normal' values!");
  EXPECT_EQ(error("return Vec2()[true]"), "Invalid Vec2 index!");
  EXPECT_EQ(error("return Vec2()['x\\0']"),
            "Vec2 has only 'x', 'y', 'length' and 'normal' values!");
  EXPECT_EQ(error("Vec2().z = 1"), "Vec2 can only set to 'x' and 'y' values!");
  EXPECT_EQ(error("Vec2().length = 1"), "Vec2 can only set to 'x' and 'y' values!");
  EXPECT_EQ(error("Vec2()[{}] = 1"), "Invalid Vec2 index!");
}

TEST_F(Vec2Test, DotAndNormalize) {
  EXPECT_EQ(eval("local a, b = Vec2(1, 2), Vec2(3, -4) print(a:Dot(b), a.Dot(a, 5))"), "-5\t0\n");
  EXPECT_EQ(eval("local v = Vec2(3, 4) local r = v:Normalize() print(r, v.x == 0.6 * 1, "
                 "math.abs(v.x - 0.6) < 1e-6, math.abs(v.y - 0.8) < 1e-6)"),
            "5\tfalse\ttrue\ttrue\n");
  EXPECT_EQ(eval("local v = Vec2(0.0003, 0.0004) print(v:Normalize(), v)"), "0\t(0, 0)\n");
  EXPECT_EQ(error("local v = Vec2() v.Dot(v)"), "Not enough parameters for function 'Dot'!");
  EXPECT_EQ(error("local v = Vec2() v.Dot(v, v, v)"), "Too many parameters for function 'Dot'!");
  EXPECT_EQ(error("Vec2().Normalize()"), "Not enough parameters for function 'Normalize'!");
  EXPECT_EQ(error("local v = Vec2() v:Normalize(1)"),
            "Too many parameters for function 'Normalize'!");
  EXPECT_EQ(error("Vec2().Normalize(3)"), "Normalize requires a Vec2 as a parameter!");
}

TEST_F(Vec2Test, Operators) {
  EXPECT_EQ(eval("local v = Vec2(1.5, -2) print(-v, v + Vec2(1, 1), v - Vec2(1, 1))"),
            "(-1.5, 2)\t(2.5, -1)\t(0.5, -3)\n");
  EXPECT_EQ(eval("local v = Vec2(1.5, -2) print(2 * v, v * 2, v * '2')"),
            "(3, -4)\t(3, -4)\t(3, -4)\n");
  EXPECT_EQ(eval("local v = Vec2(4, -2) local z = Vec2(1, 0) / 0\n"
                 "print(v / 2, 2 / v, z.x, z.y ~= z.y)"),
            "(2, -1)\t(0.5, -1)\tinf\ttrue\n");
  EXPECT_EQ(error("return Vec2() * Vec2()"),
            "Vec2 multiplication is only defined between a Vec2 and a number.");
  EXPECT_EQ(error("return Vec2() / {}"),
            "Vec2 division is only defined between a Vec2 and a number.");
  EXPECT_EQ(error("return Vec2() + 1"), "Vec2 addition is only defined between two vectors.");
  EXPECT_EQ(error("return 1 - Vec2()"), "Vec2 substraction is only defined between two vectors.");
}

TEST_F(Vec2Test, IdentityAndPrivateMetatables) {
  EXPECT_EQ(eval("local a, b = Vec2(1, 2), Vec2(1, 2) local ma, mb = getmetatable(a), "
                 "getmetatable(b)\nlocal n = 0 for k in pairs(ma) do n = n + 1 end\n"
                 "print(a == b, a == a, ma == mb, n, ma.__eq, ma.__gc)"),
            "false\ttrue\tfalse\t8\tnil\tnil\n");
}

TEST_F(Vec2Test, OtherUserdataAreNotVectors) {
  // newproxy makes userdata of size 0; reading or writing them as vectors
  // would go past their end.
  EXPECT_EQ(eval("local p = newproxy() local m = getmetatable(Vec2())\n"
                 "m.__newindex(p, 'x', 5) print(m.__index(p, 'x'), m.__tostring(p), "
                 "Vec2(p), Vec2():Dot(p))\n"
                 "print(pcall(m.__add, p, Vec2())) print(pcall(Vec2().Normalize, p))"),
            "0\t(0, 0)\t(0, 0)\t0\n"
            "false\tVec2 addition is only defined between two vectors.\n"
            "false\tNormalize requires a Vec2 as a parameter!\n");
}

TEST_F(Vec2Test, SurvivesATamperedRegistry) {
  EXPECT_EQ(eval("for k, v in pairs(debug.getregistry()) do if type(k) == 'userdata' then "
                 "debug.getregistry()[k] = 1 end end\nprint(Vec2(1, 2) + Vec2(3, 4))"),
            "(4, 6)\n");
  // The stored table itself rewritten: vectors lose the events, nothing raises.
  EXPECT_EQ(eval("for k, v in pairs(debug.getregistry()) do if type(k) == 'userdata' and "
                 "type(v) == 'table' then for i in pairs(v) do v[i] = 0/0 end end end\n"
                 "local ok, v = pcall(Vec2, 1, 2) print(ok, type(v), getmetatable(v).__add)"),
            "true\tuserdata\tnil\n");
}

}  // namespace
