// Trigger hysteresis and events, and event handlers that remove scenes or
// clear the world while the step is still walking its objects.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "world/physics.h"
#include "world/trigger_record.h"
#include "world_fixture.h"

namespace {

using ::testing::ElementsAre;
using E = RecordedEvent;

// A lane trigger (scene 1, object 1) and a scene of balls (scene 2, objects
// 2...). Before each step every ball is put either on the lane's edge or far
// away, so the test decides exactly which steps touch.
struct Lane {
  TestCatalog cat;
  RecordingEvents events;
  std::unique_ptr<World> world;
  std::vector<WorldObject*> balls;

  explicit Lane(int ballCount = 1) {
    SceneDef& table = cat.addScene("table");
    table.objects.push_back(objectDef("lane", KindTrigger, {}, rectOutline(100, 100, 200, 140)));
    SceneDef& ballScene = cat.addScene("balls");
    for (int i = 0; i < ballCount; ++i) {
      ballScene.objects.push_back(
          objectDef("ball" + std::to_string(i), KindDynamic, {float(40 * i), 0}, ballOutline(12)));
    }
    world.reset(new World(cat.data));
    world->setEvents(&events);
    world->spawnScene(&table, 0, 0);
    world->spawnScene(&ballScene, 500, 500);
    for (int i = 0; i < ballCount; ++i) {
      balls.push_back(world->findObjectByName(2, ("ball" + std::to_string(i)).c_str()));
    }
  }
  // pattern[i] is 't' when ball i touches the lane in this step.
  void step(const std::string& pattern) {
    for (size_t i = 0; i < balls.size(); ++i) {
      bool touch = i < pattern.size() && pattern[i] == 't';
      float x = touch ? 110 + 30 * i : 500 + 40 * i;
      dBodySetPosition(balls[i]->body, x, touch ? 100 : 500, 0);
      dBodySetLinearVel(balls[i]->body, 0, 0, 0);
    }
    world->step(stepLength);
  }
  void steps(const std::string& sequence) {
    for (char c : sequence) step(std::string(1, c));
  }
  TriggerRecord& record() { return *world->findObjectByNumber(1)->trigger; }
};

TEST(TriggerTest, FiveTouchingStepsEnterThenTheSceneEnters) {
  Lane lane;
  lane.steps("tttt");
  EXPECT_TRUE(lane.events.events.empty());
  lane.steps("t");
  EXPECT_THAT(lane.events.events,
              ElementsAre(E{5, "object enter 1 1 2 2"}, E{5, "scene enter 1 1 2"}));
}

TEST(TriggerTest, TriggersStillTouchAfterThePhysicsIsRestarted) {
  // Shutting the physics down drops the outline collider registered with
  // it; a process that starts it again must get the collider back.
  { Lane before; }
  closePhysics();
  initPhysics();
  Lane lane;
  lane.steps("ttttt");
  EXPECT_THAT(lane.events.events,
              ElementsAre(E{5, "object enter 1 1 2 2"}, E{5, "scene enter 1 1 2"}));
}

TEST(TriggerTest, AMissedStepCountsDownOnce) {
  Lane lane;
  lane.steps("ttt.tt");  // counter 1 2 3 2 3 4
  EXPECT_TRUE(lane.events.events.empty());
  lane.steps("t");
  EXPECT_THAT(lane.events.events,
              ElementsAre(E{7, "object enter 1 1 2 2"}, E{7, "scene enter 1 1 2"}));
}

TEST(TriggerTest, ASingleTouchRunsOutSilently) {
  Lane lane;
  lane.steps("t...");  // counter 1 0 -1 -2
  EXPECT_EQ(lane.record().count, 1);
  lane.steps(".");  // -3
  EXPECT_EQ(lane.record().count, 0);
  EXPECT_TRUE(lane.events.events.empty());
}

TEST(TriggerTest, LeavingTakesFiveStepsAndTheSceneExitsFirst) {
  Lane lane;
  lane.steps("ttttt");
  lane.events.events.clear();
  lane.steps(".t....");  // a touch resets the count
  EXPECT_TRUE(lane.events.events.empty());
  lane.steps(".");
  EXPECT_THAT(lane.events.events,
              ElementsAre(E{12, "scene exit 1 1 2"}, E{12, "object exit 1 1 2 2"}));
  EXPECT_EQ(lane.record().count, 0);
}

TEST(TriggerTest, SceneEventsComeWithTheFirstAndLastObjectOfTheScene) {
  Lane lane(2);
  lane.step("t.");
  for (int i = 0; i < 5; ++i) lane.step("tt");
  EXPECT_THAT(lane.events.events,
              ElementsAre(E{5, "object enter 1 1 2 2"}, E{5, "scene enter 1 1 2"},
                          E{6, "object enter 1 1 2 3"}));
  lane.events.events.clear();
  for (int i = 0; i < 5; ++i) lane.step(".t");
  EXPECT_THAT(lane.events.events, ElementsAre(E{11, "object exit 1 1 2 2"}));
  lane.events.events.clear();
  for (int i = 0; i < 5; ++i) lane.step("..");
  EXPECT_THAT(lane.events.events,
              ElementsAre(E{16, "scene exit 1 1 2"}, E{16, "object exit 1 1 2 3"}));
}

TEST(TriggerTest, AFullRecordIgnoresFurtherObjects) {
  WorldObject owner;
  owner.number = 7;
  TriggerRecord record(&owner);
  for (int i = 0; i < 40; ++i) record.touch(2, 100 + i);
  EXPECT_EQ(record.count, 32);
  EXPECT_EQ(record.entries[31].objectNumber, 131);
  record.touch(2, 100);  // known objects are still marked
  EXPECT_EQ(record.entries[0].touched, 1);
}

TEST(TriggerTest, RemovedObjectsRunOutAndStillExit) {
  Lane lane;
  lane.steps("ttttt");
  lane.world->removeScene(2);
  lane.events.events.clear();
  for (int i = 0; i < 5; ++i) lane.world->step(stepLength);
  EXPECT_THAT(lane.events.events,
              ElementsAre(E{10, "scene exit 1 1 2"}, E{10, "object exit 1 1 2 2"}));
}

// Handlers that tear the world down in the middle of the object pass. Run
// these under AddressSanitizer: any use of a destroyed object shows there.
TEST(HandlerSafetyTest, RemovingTheTriggersOwnSceneStopsItsEvents) {
  Lane lane(2);
  lane.events.onEvent = [&](const std::string& what) {
    if (what.rfind("object enter", 0) == 0) lane.world->removeScene(1);
  };
  // Both balls enter on step 5; the first one touched comes first.
  lane.step("t.");
  for (int i = 0; i < 4; ++i) lane.step("tt");
  // The second ball's enter and the scene enter never come.
  EXPECT_THAT(lane.events.events, ElementsAre(E{5, "object enter 1 1 2 2"}));
  EXPECT_EQ(lane.world->findObjectByNumber(1), nullptr);
  for (int i = 0; i < 10; ++i) lane.step("tt");
  EXPECT_EQ(lane.events.events.size(), 1u);
  EXPECT_EQ(lane.world->objectCount(), 2);
}

TEST(HandlerSafetyTest, ClearingAndRespawningDuringEvents) {
  Lane lane(3);
  int clears = 0;
  lane.events.onEvent = [&](const std::string& what) {
    if (what.rfind("scene enter", 0) == 0 && clears++ == 0) {
      lane.world->clear();
      lane.world->spawnScene(&lane.cat.data.scenes[0], 0, 0);
      lane.world->spawnScene(&lane.cat.data.scenes[1], 500, 500);
    }
  };
  lane.step("t..");
  for (int i = 0; i < 4; ++i) lane.step("ttt");
  EXPECT_THAT(lane.events.events,
              ElementsAre(E{5, "object enter 1 1 2 2"}, E{5, "scene enter 1 1 2"}));
  // The new scenes work normally.
  EXPECT_EQ(lane.world->objectCount(), 4);
  WorldObject* ball = lane.world->findObjectByName(4, "ball0");
  ASSERT_NE(ball, nullptr);
  lane.balls = {ball};
  lane.events.events.clear();
  lane.steps("ttttt");
  EXPECT_THAT(lane.events.events,
              ElementsAre(E{10, "object enter 3 5 4 6"}, E{10, "scene enter 3 5 4"}));
}

TEST(HandlerSafetyTest, RotationHandlerRemovingItsOwnScene) {
  TestCatalog cat;
  SceneDef& s = cat.addScene("rotors");
  for (int i = 0; i < 3; ++i) {
    s.objects.push_back(objectDef("rotor" + std::to_string(i), KindDynamic, {float(30 * i), 0},
                                  rectOutline(-10, -2, 10, 2)));
  }
  RecordingEvents events;
  World world(cat.data);
  world.setEvents(&events);
  world.spawnScene(&s, 0, 0);
  world.spawnScene(&s, 0, 300);
  events.onEvent = [&](const std::string& what) {
    if (what == "rotated 1 2 45") world.removeScene(1);
    if (what == "rotated 2 5 45") world.clear();
  };
  for (int n = 1; n <= 6; ++n) world.findObjectByNumber(n)->setTorque(300);
  for (int i = 0; i < 200; ++i) world.step(stepLength);
  // About 57 degrees a step: object 1 reports, object 2 removes its scene on
  // its first report, so 3 is skipped; 4 reports and 5 clears everything.
  EXPECT_THAT(events.events, ElementsAre(E{1, "rotated 1 1 45"}, E{1, "rotated 1 2 45"},
                                         E{1, "rotated 2 4 45"}, E{1, "rotated 2 5 45"}));
  EXPECT_EQ(world.objectCount(), 0);
}

TEST(HandlerSafetyTest, UpdateMayRemoveEverything) {
  Lane lane;
  struct Wiper : RecordingEvents {
    World* world = nullptr;
    void callScriptUpdate(float) override { world->clear(); }
  } wiper;
  wiper.world = lane.world.get();
  lane.world->setEvents(&wiper);
  lane.world->step(stepLength);
  lane.world->step(stepLength);
  EXPECT_EQ(lane.world->objectCount(), 0);
}

}  // namespace
