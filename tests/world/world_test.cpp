// Spawning, removing and clearing scenes; numbering, lookups, links and the
// warnings about broken links.
#include "world/world.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "world_fixture.h"

namespace {

using ::testing::HasSubstr;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

std::string capture(const std::function<void()>& f) {
  CaptureStdout();
  f();
  return GetCapturedStdout();
}

TEST(SlotListTest, GrowsBySixteenAndRefillsTheFirstHole) {
  SlotList<int> list;
  EXPECT_EQ(list.capacity(), 16);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(list.insert(std::unique_ptr<int>(new int(i))), i);
  EXPECT_EQ(list.capacity(), 16);
  EXPECT_EQ(list.insert(std::unique_ptr<int>(new int(16))), 16);
  EXPECT_EQ(list.capacity(), 32);
  list.remove(9);
  list.remove(3);
  EXPECT_EQ(list.liveCount(), 15);
  EXPECT_EQ(list.at(3), nullptr);
  EXPECT_EQ(*list.at(10), 10);  // the others stay where they were
  EXPECT_EQ(list.insert(std::unique_ptr<int>(new int(99))), 3);
  EXPECT_EQ(list.insert(std::unique_ptr<int>(new int(98))), 9);
  EXPECT_EQ(list.insert(std::unique_ptr<int>(new int(97))), 17);
  EXPECT_EQ(list.capacity(), 32);
  EXPECT_EQ(list.at(32), nullptr);
  EXPECT_EQ(list.at(-1), nullptr);
}

TEST(SpawnTest, SpawnPointMarkerLandsOnTheRequestedPosition) {
  TestCatalog cat;
  SceneDef& table = cat.addScene("table");
  ObjectDef marker = objectDef("start", KindMarker, {30, 40});
  marker.id = "SpawnPoint";
  table.objects.push_back(marker);
  table.objects.push_back(objectDef("wall", KindStatic, {100, 100}, rectOutline(0, 0, 5, 5)));
  table.objects.push_back(objectDef("ball", KindDynamic, {30, 40}, ballOutline(12)));
  World world(cat.data);

  std::string out = capture([&] { EXPECT_EQ(world.spawnScene(&table, 500, 300), 1); });
  EXPECT_EQ(out, "[WORLD] Spawning scene 'table' at (500.00, 300.00)\n");
  // The marker itself gets no object; the others keep their offsets to it.
  EXPECT_EQ(world.findObjectByName(1, "start"), nullptr);
  EXPECT_EQ(world.objectCount(), 2);
  WorldObject* wall = world.findObjectByName(1, "wall");
  ASSERT_NE(wall, nullptr);
  EXPECT_FLOAT_EQ(wall->position.x, 570);
  EXPECT_FLOAT_EQ(wall->position.y, 360);
  WorldObject* ball = world.findObjectByName(1, "ball");
  ASSERT_NE(ball, nullptr);
  const dReal* p = dBodyGetPosition(ball->body);
  EXPECT_DOUBLE_EQ(p[0], 500);
  EXPECT_DOUBLE_EQ(p[1], 300);
  EXPECT_EQ(world.spawnScene(nullptr, 0, 0), -1);
}

TEST(SpawnTest, KindsGetTheirGeomsBodiesAndTriggerRecords) {
  TestCatalog cat;
  SceneDef& s = cat.addScene("kinds");
  for (int kind = 0; kind <= 5; ++kind) {
    s.objects.push_back(objectDef("k" + std::to_string(kind), kind, {}, rectOutline(0, 0, 1, 1)));
  }
  World world(cat.data);
  world.spawnScene(&s, 0, 0);
  EXPECT_EQ(world.objectCount(), 5);  // the marker is not instantiated
  struct Expect {
    const char* name;
    bool geom, body, trigger;
  };
  for (Expect e : {Expect{"k0", true, false, false}, Expect{"k1", true, true, false},
                   Expect{"k2", true, false, true}, Expect{"k4", false, false, false},
                   Expect{"k5", false, false, false}}) {
    WorldObject* o = world.findObjectByName(1, e.name);
    ASSERT_NE(o, nullptr) << e.name;
    EXPECT_EQ(o->geom != nullptr, e.geom) << e.name;
    EXPECT_EQ(o->body != nullptr, e.body) << e.name;
    EXPECT_EQ(o->trigger != nullptr, e.trigger) << e.name;
  }
}

TEST(SpawnTest, SpawnsAreIndependentAndNumbersAreNeverReused) {
  TestCatalog cat;
  SceneDef& s = cat.addScene("pair");
  s.objects.push_back(objectDef("a", KindDynamic, {0, 0}, ballOutline(5)));
  s.objects.push_back(objectDef("b", KindStatic, {50, 0}, rectOutline(0, 0, 5, 5)));
  World world(cat.data);
  CaptureStdout();
  int first = world.spawnScene(&s, 0, 0);
  int second = world.spawnScene(&s, 0, 200);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 2);
  WorldObject* a1 = world.findObjectByName(first, "a");
  WorldObject* a2 = world.findObjectByName(second, "a");
  ASSERT_TRUE(a1 && a2);
  EXPECT_NE(a1, a2);
  EXPECT_EQ(a1->number, 1);
  EXPECT_EQ(a2->number, 3);
  EXPECT_FLOAT_EQ(a2->position.y, 200);
  a2->setVelocity(10, 0);
  world.step(stepLength);
  EXPECT_FLOAT_EQ(a1->position.x, 0);
  EXPECT_GT(a2->position.x, 0);
  EXPECT_EQ(world.findSceneByNumber(2)->def, &s);

  world.clear();
  EXPECT_EQ(world.objectCount(), 0);
  EXPECT_EQ(world.sceneCount(), 0);
  EXPECT_EQ(world.findObjectByNumber(1), nullptr);
  EXPECT_EQ(world.spawnScene(&s, 0, 0), 3);
  EXPECT_NE(world.findObjectByNumber(5), nullptr);
  EXPECT_EQ(world.findObjectByNumber(5)->sceneNumber, 3);
  std::string out = GetCapturedStdout();
  EXPECT_THAT(out, HasSubstr("[WORLD] Clearing world\n"));
}

TEST(SpawnTest, RemoveSceneLeavesHolesThatLaterSpawnsFill) {
  TestCatalog cat;
  SceneDef& s = cat.addScene("one");
  s.objects.push_back(objectDef("a", KindStatic, {}, rectOutline(0, 0, 5, 5)));
  World world(cat.data);
  CaptureStdout();
  world.spawnScene(&s, 0, 0);
  world.spawnScene(&s, 0, 0);
  world.spawnScene(&s, 0, 0);
  GetCapturedStdout();

  std::string out = capture([&] { world.removeScene(2); });
  EXPECT_EQ(out, "[WORLD] Removing scene #2\n");
  EXPECT_EQ(WorldSolver::objectSlots(world).at(1), nullptr);
  EXPECT_EQ(world.findSceneByNumber(2), nullptr);
  out = capture([&] { world.removeScene(2); });
  EXPECT_EQ(out, "[WORLD] Removing scene #2\n[WORLD]   (not found; cannot remove)\n");
  out = capture([&] { world.removeScene(99); });
  EXPECT_EQ(out, "[WORLD] Removing scene #99\n[WORLD]   (not found; cannot remove)\n");

  capture([&] { world.spawnScene(&s, 0, 0); });
  ASSERT_NE(WorldSolver::objectSlots(world).at(1), nullptr);
  EXPECT_EQ(WorldSolver::objectSlots(world).at(1)->number, 4);
  EXPECT_EQ(WorldSolver::objectSlots(world).at(1)->sceneNumber, 4);
}

TEST(LinkTest, BrokenLinksAreReportedAndSkipped) {
  TestCatalog cat;
  SceneDef& s = cat.addScene("links");
  s.objects.push_back(objectDef("flipper", KindDynamic, {0, 0}, rectOutline(0, 0, 40, 8)));
  s.objects.push_back(objectDef("post", KindStatic, {0, 0}, rectOutline(-2, -2, 2, 2)));
  s.links.push_back({"twice", "flipper", "flipper", {0, 0}});
  s.links.push_back({"nowhere", "ghost", "phantom", {0, 0}});
  s.links.push_back({"half", "ghost", "flipper", {4, 4}});
  s.links.push_back({"pin", "flipper", "post", {4, 4}});
  World world(cat.data);
  std::string out = capture([&] { world.spawnScene(&s, 100, 100); });
  EXPECT_THAT(out, HasSubstr("[WORLD] WARNING! Link 'twice' connects twice to the same object!\n"));
  EXPECT_THAT(
      out,
      HasSubstr("[WORLD] WARNING! Link 'nowhere' does not connect to any existing objects!\n"));
  EXPECT_EQ(world.linkCount(), 2);

  // Both remaining joints hold the flipper to the fixed world.
  dBodyID flipper = world.findObjectByName(1, "flipper")->body;
  for (int slot = 0; slot < 2; ++slot) {
    dJointID joint = WorldSolver::linkSlots(world).at(slot)->joint;
    EXPECT_EQ(dJointGetBody(joint, 0), flipper);
    EXPECT_EQ(dJointGetBody(joint, 1), nullptr);
    dVector3 anchor;
    dJointGetBallAnchor(joint, anchor);
    EXPECT_DOUBLE_EQ(anchor[0], 104);
    EXPECT_DOUBLE_EQ(anchor[1], 104);
  }
  EXPECT_EQ(WorldSolver::linkSlots(world).at(0)->def->name, "half");
}

TEST(LinkTest, BallJointHoldsABodyUnderGravity) {
  TestCatalog cat;
  SceneDef& s = cat.addScene("pendulum");
  s.objects.push_back(objectDef("bob", KindDynamic, {0, 0}, ballOutline(5)));
  s.links.push_back({"pivot", "bob", "", {0, 0}});
  World world(cat.data);
  CaptureStdout();
  world.setGravity(400);
  world.spawnScene(&s, 200, 200);
  for (int i = 0; i < 300; ++i) world.step(stepLength);
  GetCapturedStdout();
  WorldObject* bob = world.findObjectByName(1, "bob");
  EXPECT_NEAR(bob->position.x, 200, 0.5);
  EXPECT_NEAR(bob->position.y, 200, 0.5);
}

TEST(LinkTest, LinkedObjectWarnings) {
  TestCatalog cat;
  SceneDef& s = cat.addScene("followers");
  s.objects.push_back(objectDef("ball", KindDynamic, {0, 0}, ballOutline(5)));
  ObjectDef ballFollower = objectDef("rider", KindDynamic, {20, 0}, ballOutline(5));
  ballFollower.linkedTo = "ball";
  ObjectDef lost = objectDef("lamp", KindProp, {0, 0});
  lost.linkedTo = "nothing";
  s.objects.push_back(ballFollower);
  s.objects.push_back(lost);
  World world(cat.data);
  std::string out = capture([&] { world.spawnScene(&s, 0, 0); });
  EXPECT_THAT(out, HasSubstr("[WORLD] WARNING! Object 'rider' is not a prop or a triggers and is "
                             "linked to another object!\n"));
  EXPECT_THAT(
      out,
      HasSubstr("[WORLD] WARNING! Object 'lamp' is linked to nonexisting object 'nothing'!\n"));
  EXPECT_EQ(world.findObjectByName(1, "rider")->linkTarget, nullptr);
  EXPECT_EQ(world.findObjectByName(1, "lamp")->linkTarget, nullptr);
}

TEST(LookupTest, NamesMatchExactlyWithinTheScene) {
  TestCatalog cat;
  SceneDef& s = cat.addScene("names");
  s.objects.push_back(objectDef("Flipper", KindStatic, {}, rectOutline(0, 0, 1, 1)));
  s.objects.push_back(
      objectDef(std::string("lane\0x", 6), KindStatic, {}, rectOutline(0, 0, 1, 1)));
  World world(cat.data);
  capture([&] { world.spawnScene(&s, 0, 0); });
  EXPECT_NE(world.findObjectByName(1, "Flipper"), nullptr);
  EXPECT_EQ(world.findObjectByName(1, "flipper"), nullptr);
  EXPECT_EQ(world.findObjectByName(2, "Flipper"), nullptr);
  EXPECT_EQ(world.findObjectByName(1, "lane"), nullptr);
  EXPECT_EQ(world.findObjectByName(1, nullptr), nullptr);
}

TEST(WorldLifeTest, GravityIsLoggedAndDestructionClears) {
  TestCatalog cat;
  SceneDef& s = cat.addScene("x");
  s.objects.push_back(objectDef("ball", KindDynamic, {}, ballOutline(5)));
  std::string out = capture([&] {
    World world(cat.data);
    world.setGravity(400);
    world.spawnScene(&s, 0, 0);
  });
  EXPECT_THAT(out, HasSubstr("[WORLD] Gravity set to 400.000000\n"));
  EXPECT_THAT(out, HasSubstr("[WORLD] Clearing world\n"));
}

}  // namespace
