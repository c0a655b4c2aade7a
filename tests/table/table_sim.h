// The packed default table run headless: the World on its own, with the
// few rules that move the ball (flipper drive, bumper and sling kicks,
// plunger) done here the way game.lua does them, so that the stress test
// sees the physics alone.
#pragma once

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "content/world_data.h"
#include "world/world.h"
#include "world/world_events.h"

namespace table {

// Numbers shared with game.lua.
constexpr float kGravity = 1000;
constexpr float kFlipUp = 50;       // degrees
constexpr float kFlipSpeedUp = 50;  // rad/s
constexpr float kFlipSpeedDown = 15;
constexpr float kLaunchMin = 1000, kLaunchMax = 4500;
constexpr float kBallMass = 1;
constexpr float kStepForce = 300 * kBallMass;  // changes a ball's speed by 1 px/s in one step
constexpr float kBumperKick = 2000, kSlingKick = 1800;
constexpr float kStep = 0.0033333334f;
constexpr float kFlipperLength = 74;  // pivot to tip centre, as in scenes/table.lua
constexpr float kBallStartX = 738, kBallStartY = 1317;

inline std::string packedTablePath() {
  return std::string(ORVANE_BINARY_DIR) + "/default/data.dat";
}

class TableSim : public WorldEvents {
 public:
  explicit TableSim(const std::string& dataPath) : data(dataPath.c_str(), backend), world(data) {
    if (data.loadFailed) return;
    world.setEvents(this);
    world.setGravity(kGravity);
    tableScene = world.spawnScene(data.findScene("Table"), 0, 0);
    leftFlipper = number("LeftFlipper");
    rightFlipper = number("RightFlipper");
    spinner = number("Spinner");
    drain = number("Drain");
    for (int i = 1; i <= 3; ++i) {
      std::string core = "Bumper" + std::to_string(i);
      if (WorldObject* c = world.findObjectByName(tableScene, core.c_str()))
        bumperCentre[number(core + "Ring")] = c->position;
    }
    // Outward normals of the slingshot faces, as in game.lua.
    float len = std::sqrt(133.f * 133 + 172.f * 172);
    slingDir[number("SlingLeftKick")] = {172 / len, -133 / len};
    slingDir[number("SlingRightKick")] = {-172 / len, -133 / len};
  }
  ~TableSim() override { world.setEvents(nullptr); }

  bool ready() const { return !data.loadFailed && tableScene > 0 && leftFlipper && rightFlipper; }

  int number(const std::string& name) const {
    WorldObject* o = world.findObjectByName(tableScene, name.c_str());
    return o ? o->number : 0;
  }
  WorldObject* object(int n) const { return world.findObjectByNumber(n); }

  // Spawns a ball with its centre on (x, y); returns its object number.
  int spawnBall(float x = kBallStartX, float y = kBallStartY) {
    int scene = world.spawnScene(data.findScene("Ball"), x, y);
    WorldObject* b = world.findObjectByName(scene, "Ball");
    return b ? b->number : 0;
  }
  void removeBall(int ball) {
    if (WorldObject* b = object(ball)) world.removeScene(b->sceneNumber);
  }

  // The flipper drive of game.lua: spin towards the target angle, clamped.
  void driveFlippers(bool left, bool right) {
    drive(leftFlipper, left, -1);
    drive(rightFlipper, right, 1);
  }

  void step() { world.step(kStep); }

  // Events: what game.lua does that moves the ball.
  void callObjectEnter(int triggerScene, int triggerObject, int otherScene,
                       int otherObject) override {
    WorldObject* ball = object(otherObject);
    if (!ball || triggerScene != tableScene) return;
    auto bumper = bumperCentre.find(triggerObject);
    if (bumper != bumperCentre.end()) {
      float dx = ball->position.x - bumper->second.x, dy = ball->position.y - bumper->second.y;
      float len = std::sqrt(dx * dx + dy * dy);
      if (len > 0.001f)
        ball->addImpulse(dx / len * kBumperKick * kStepForce, dy / len * kBumperKick * kStepForce);
      ++bumperHits;
      return;
    }
    auto sling = slingDir.find(triggerObject);
    if (sling != slingDir.end()) {
      ball->addImpulse(sling->second.x * kSlingKick * kStepForce,
                       sling->second.y * kSlingKick * kStepForce);
      ++slingHits;
      return;
    }
    if (triggerObject == drain) drained.push_back(otherObject);
    ++triggerHits[triggerObject];
  }
  void callObjectExit(int, int, int, int) override {}
  void callSceneEnter(int, int, int) override {}
  void callSceneExit(int, int, int) override {}
  void callObjectRotated(int, int object, float) override {
    if (object == spinner) ++spinnerTurns;
  }
  void callScriptUpdate(float) override {
    // The spinner's friction lives in the script.
    if (WorldObject* s = object(spinner)) s->setTorque(s->angularVelocity * 0.996f);
  }

  NullContentBackend backend;
  WorldData data;
  World world;
  int tableScene = 0, leftFlipper = 0, rightFlipper = 0, spinner = 0, drain = 0;
  std::map<int, Float2> bumperCentre;
  std::map<int, Float2> slingDir;
  std::vector<int> drained;
  std::map<int, long> triggerHits;  // the other triggers, by object number
  long bumperHits = 0, slingHits = 0, spinnerTurns = 0;

 private:
  void drive(int flipper, bool up, float direction) {
    WorldObject* f = object(flipper);
    if (!f) return;
    float target = up ? direction * kFlipUp : 0;
    float limit = up ? kFlipSpeedUp : kFlipSpeedDown;
    float spin = std::fmax(-limit, std::fmin(limit, (target - f->angleDegrees) * 3));
    f->setTorque(spin);
  }
};

}  // namespace table
