// Damaged archives and careless scripts hand the world numbers that ODE
// would abort on; the world refuses or repairs them and keeps running.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <ode/ode.h>

#include <ctime>
#include <limits>

#include "world/physics.h"
#include "world_fixture.h"

namespace {

using ::testing::HasSubstr;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();

int countLines(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The second that ODE's message throttle sees.
std::time_t fakeSecond = 0;
std::time_t fakeClock() {
  return fakeSecond;
}

TEST(OdeMessageTest, RepeatsAreCountedInsteadOfPrinted) {
  // ODE warns from inside the solver, possibly every step.
  setPhysicsMessageClock(&fakeClock);
  fakeSecond = 1;  // a second no earlier line was printed in
  CaptureStdout();
  for (int i = 0; i < 500; ++i) dMessage(3, "LCP internal error, s <= 0 (s=%.4e)", -1e-9);
  fakeSecond = 2;
  dMessage(3, "LCP internal error, s <= 0 (s=%.4e)", -1e-9);
  std::string out = GetCapturedStdout();
  setPhysicsMessageClock(nullptr);
  // One line per second at most: the flood shows as one line, then the
  // first one of the next second carries the count.
  int lines = countLines(out, "[WORLD] ODE message 3: LCP internal error, s <= 0 (s=-1.0000e-09)");
  EXPECT_EQ(lines, 2) << out;
  EXPECT_THAT(out, ::testing::EndsWith("(499 more not shown)\n"));
}

TEST(BadNumbersTest, UnusableMassesAndPositionsFromTheArchive) {
  TestCatalog cat;
  SceneDef& s = cat.addScene("damaged");
  ObjectDef weightless = objectDef("weightless", KindDynamic, {100, 100}, ballOutline(12));
  weightless.mass = 0;
  weightless.inertiaRadius = -5;
  ObjectDef cursed = objectDef("cursed", KindDynamic, {nan, 200}, ballOutline(12));
  cursed.mass = nan;
  cursed.inertiaRadius = inf;
  ObjectDef wall = objectDef("wall", KindStatic, {0, 300}, rectOutline(0, 0, 800, 40));
  wall.outline[1].x = nan;
  s.objects.push_back(weightless);
  s.objects.push_back(cursed);
  s.objects.push_back(wall);
  s.links.push_back({"pin", "cursed", "", {inf, nan}});
  CaptureStdout();
  World world(cat.data);
  world.setGravity(400);
  world.spawnScene(&s, 0, 0);
  for (int i = 0; i < 300; ++i) world.step(stepLength);
  std::string out = GetCapturedStdout();
  EXPECT_THAT(out, HasSubstr("[WORLD] WARNING! Object 'weightless' has an unusable mass"));
  EXPECT_THAT(out, HasSubstr("[WORLD] WARNING! Object 'cursed' has a non-finite position"));
  world.forEachObject([](const WorldObject& o) {
    EXPECT_TRUE(std::isfinite(o.position.x) && std::isfinite(o.position.y)) << o.def->name;
  });
}

TEST(BadNumbersTest, NonFiniteScriptValuesAreIgnoredWithoutAFlood) {
  TestCatalog cat;
  SceneDef& s = cat.addScene("ball");
  s.objects.push_back(objectDef("ball", KindDynamic, {}, ballOutline(12)));
  CaptureStdout();
  World world(cat.data);
  world.setGravity(400);
  world.setGravity(nan);
  world.spawnScene(&s, 100, 100);
  WorldObject* ball = world.findObjectByName(1, "ball");
  for (int i = 0; i < 500; ++i) {
    ball->setVelocity(nan, 0);
    ball->setTorque(inf);
    ball->addImpulse(0, -inf);
    ball->addTorque(nan);
    world.step(stepLength);
  }
  std::string out = GetCapturedStdout();
  EXPECT_EQ(countLines(out, "[WORLD] Ignoring a non-finite gravity"), 1);
  EXPECT_EQ(countLines(out, "[WORLD] Ignoring a non-finite velocity"), 3);  // 1st, 10th, 100th
  EXPECT_EQ(countLines(out, "[WORLD] Gravity set to"), 1);
  EXPECT_TRUE(std::isfinite(ball->position.y));
  EXPECT_GT(ball->position.y, 100);  // gravity 400 still applies
}

TEST(BadNumbersTest, RunawayBodiesAreReset) {
  TestCatalog cat;
  SceneDef& s = cat.addScene("ball");
  s.objects.push_back(objectDef("ball", KindDynamic, {}, ballOutline(12)));
  s.objects.push_back(objectDef("wall", KindStatic, {0, 200}, rectOutline(0, 0, 800, 40)));
  CaptureStdout();
  World world(cat.data);
  world.spawnScene(&s, 100, 100);
  WorldObject* ball = world.findObjectByName(1, "ball");
  for (int i = 0; i < 50; ++i) {
    ball->addImpulse(3e38f, 3e38f);
    ball->addTorque(3e38f);
    world.step(stepLength);
  }
  std::string out = GetCapturedStdout();
  EXPECT_THAT(out, HasSubstr("[WORLD] Resetting object #1: its motion ran away (1 so far)\n"));
  EXPECT_LE(countLines(out, "Resetting object"), 2);
  EXPECT_TRUE(std::isfinite(ball->position.x));
  EXPECT_TRUE(std::isfinite(ball->angle));
}

TEST(BadNumbersTest, DegenerateOutlinesSpawnAndStep) {
  TestCatalog cat;
  SceneDef& s = cat.addScene("odd");
  s.objects.push_back(objectDef("empty", KindDynamic, {100, 100}, {}));
  s.objects.push_back(objectDef("dot", KindDynamic, {100, 100}, {{0, 0}}));
  s.objects.push_back(objectDef("stick", KindDynamic, {100, 100}, {{-10, 0}, {10, 0}}));
  s.objects.push_back(objectDef("same", KindStatic, {100, 100}, {{1, 1}, {1, 1}, {1, 1}}));
  s.objects.push_back(objectDef("floor", KindStatic, {0, 130}, rectOutline(0, 0, 800, 40)));
  s.objects.push_back(objectDef("hole", KindTrigger, {100, 100}, {}));
  CaptureStdout();
  World world(cat.data);
  world.setGravity(400);
  world.spawnScene(&s, 0, 0);
  for (int i = 0; i < 300; ++i) world.step(stepLength);
  GetCapturedStdout();
  // With nothing to collide with, outlines under three points just fall.
  EXPECT_GT(world.findObjectByName(1, "stick")->position.y, 150);
}

}  // namespace
