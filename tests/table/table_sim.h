// The packed default table run headless: the World on its own, with the
// few rules that move the ball (flipper drive, bumper and sling kicks,
// plunger) done here the way game.lua does them, so that the stress test
// sees the physics alone.
#pragma once

#include <cmath>
#include <cstdio>
#include <fstream>
#include <lua5.1/lua.hpp>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "../world/flipper_drive.h"
#include "content/world_data.h"
#include "world/step_length.h"
#include "world/world.h"
#include "world/world_events.h"

namespace table {

inline std::string packedTablePath() {
  return std::string(ORVANE_BINARY_DIR) + "/default/data.dat";
}

inline std::string tableSource(const char* file) {
  return std::string(ORVANE_SOURCE_DIR) + "/games/default/" + file;
}

inline std::string fileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The upper-case constants at the top of a table script ("local GRAVITY =
// 1000", "local STEP_FORCE = 300 * BALL_MASS"), each line run as a global
// assignment in a bare Lua state so that the values are the ones Lua
// computes. Lines that need the engine (include, Vec2) fail and are skipped.
class ScriptConstants {
 public:
  explicit ScriptConstants(const std::string& path) : L(luaL_newstate()) {
    static const std::regex constant(R"(local\s+([A-Z][A-Z0-9_]*(\s*,\s*[A-Z][A-Z0-9_]*)*\s*=.*))");
    std::istringstream text(fileText(path));
    std::smatch m;
    for (std::string line; std::getline(text, line);) {
      if (!std::regex_match(line, m, constant)) continue;
      std::string chunk = m[1];
      if (luaL_loadbuffer(L, chunk.data(), chunk.size(), path.c_str()) == 0) lua_pcall(L, 0, 0, 0);
      lua_settop(L, 0);
    }
  }
  ~ScriptConstants() { lua_close(L); }
  ScriptConstants(const ScriptConstants&) = delete;
  ScriptConstants& operator=(const ScriptConstants&) = delete;

  // Stores the constant in *out; a name the script does not set to a number
  // joins `missing`.
  void read(const char* name, float* out, std::string* missing) {
    lua_getglobal(L, name);
    if (lua_type(L, -1) == LUA_TNUMBER) {
      *out = float(lua_tonumber(L, -1));
    } else {
      *missing += std::string(missing->empty() ? "" : ", ") + name;
    }
    lua_pop(L, 1);
  }

 private:
  lua_State* L;
};

// The numbers of the default table's rules, read from its sources so that
// a retune there is what the stress test plays.
struct TableRules {
  float gravity = 0, flipUp = 0, flipSpeedUp = 0, flipSpeedDown = 0;  // px/s², degrees, rad/s
  float flipBuild = 0;                  // s for the rising spin's cap to build to full
  float launchMin = 0, launchMax = 0;   // plunger speeds, px/s
  float stepForce = 0;                  // changes a ball's speed by 1 px/s in one step
  float bumperKick = 0, slingKick = 0;  // px/s
  float spinnerDrag = 0;                // the spinner's torque is scaled by this every step
  float slingDx = 0, slingDy = 0;       // the left slingshot's face, top to bottom
  float flipperLength = 0;              // pivot to tip centre
  std::string missing;                  // what the sources no longer say, empty when all is read
};

// One number that game.lua writes inside its code rather than as a
// constant, found by the text around it.
inline void readInline(const std::string& text, const char* pattern, const char* what,
                       std::vector<float*> out, std::string* missing) {
  std::smatch m;
  if (std::regex_search(text, m, std::regex(pattern)) && m.size() == out.size() + 1) {
    for (size_t i = 0; i < out.size(); ++i) *out[i] = std::stof(m[i + 1]);
  } else {
    *missing += std::string(missing->empty() ? "" : ", ") + what;
  }
}

inline TableRules readTableRules() {
  TableRules r;
  ScriptConstants game(tableSource("game.lua"));
  game.read("GRAVITY", &r.gravity, &r.missing);
  game.read("FLIP_UP", &r.flipUp, &r.missing);
  game.read("FLIP_SPEED_UP", &r.flipSpeedUp, &r.missing);
  game.read("FLIP_SPEED_DOWN", &r.flipSpeedDown, &r.missing);
  game.read("FLIP_BUILD", &r.flipBuild, &r.missing);
  game.read("LAUNCH_MIN", &r.launchMin, &r.missing);
  game.read("LAUNCH_MAX", &r.launchMax, &r.missing);
  game.read("STEP_FORCE", &r.stepForce, &r.missing);
  game.read("BUMPER_KICK", &r.bumperKick, &r.missing);
  game.read("SLING_KICK", &r.slingKick, &r.missing);
  ScriptConstants scene(tableSource("scenes/table.lua"));
  scene.read("FLIPPER_LENGTH", &r.flipperLength, &r.missing);
  const std::string text = fileText(tableSource("game.lua"));
  readInline(text, R"(ObjectSetTorque\(spinner,\s*spin\s*\*\s*([0-9.]+)\))", "the spinner's drag",
             {&r.spinnerDrag}, &r.missing);
  readInline(text, R"(local dx, dy = ([0-9.]+), ([0-9.]+))", "the slingshots' face",
             {&r.slingDx, &r.slingDy}, &r.missing);
  return r;
}

class TableSim : public WorldEvents {
 public:
  explicit TableSim(const std::string& dataPath)
      : rules(readTableRules()), data(dataPath.c_str(), backend), world(data) {
    if (data.loadFailed) return;
    world.setEvents(this);
    world.setGravity(rules.gravity);
    const SceneDef* table = data.findScene("Table");
    const ObjectDef* start = table ? table->findObjectById("BallStart") : nullptr;
    if (!start) return;
    ballStart = start->position;
    tableScene = world.spawnScene(table, 0, 0);
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
    float dx = rules.slingDx, dy = rules.slingDy, len = std::sqrt(dx * dx + dy * dy);
    slingDir[number("SlingLeftKick")] = {dy / len, -dx / len};
    slingDir[number("SlingRightKick")] = {-dy / len, -dx / len};
  }
  ~TableSim() override { world.setEvents(nullptr); }

  bool ready() const { return !data.loadFailed && tableScene > 0 && leftFlipper && rightFlipper; }

  int number(const std::string& name) const {
    WorldObject* o = world.findObjectByName(tableScene, name.c_str());
    return o ? o->number : 0;
  }
  WorldObject* object(int n) const { return world.findObjectByNumber(n); }

  // Spawns a ball with its centre on (x, y), by default where game.lua puts
  // new balls; returns its object number.
  int spawnBall() { return spawnBall(ballStart.x, ballStart.y); }
  int spawnBall(float x, float y) {
    int scene = world.spawnScene(data.findScene("Ball"), x, y);
    WorldObject* b = world.findObjectByName(scene, "Ball");
    return b ? b->number : 0;
  }
  void removeBall(int ball) {
    if (WorldObject* b = object(ball)) world.removeScene(b->sceneNumber);
  }

  // The flipper drive of game.lua, called every step.
  void driveFlippers(bool left, bool right) {
    drive(leftFlipper, left, -1, leftHeld_);
    drive(rightFlipper, right, 1, rightHeld_);
  }

  void step() { world.step(stepLength); }

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
        ball->addImpulse(dx / len * rules.bumperKick * rules.stepForce,
                         dy / len * rules.bumperKick * rules.stepForce);
      ++bumperHits;
      return;
    }
    auto sling = slingDir.find(triggerObject);
    if (sling != slingDir.end()) {
      ball->addImpulse(sling->second.x * rules.slingKick * rules.stepForce,
                       sling->second.y * rules.slingKick * rules.stepForce);
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
    if (WorldObject* s = object(spinner)) s->setTorque(s->angularVelocity * rules.spinnerDrag);
  }

  TableRules rules;
  NullContentBackend backend;
  WorldData data;
  World world;
  int tableScene = 0, leftFlipper = 0, rightFlipper = 0, spinner = 0, drain = 0;
  std::map<int, Float2> bumperCentre;
  std::map<int, Float2> slingDir;
  Float2 ballStart{0, 0};  // the table's BallStart marker
  std::vector<int> drained;
  std::map<int, long> triggerHits;  // the other triggers, by object number
  long bumperHits = 0, slingHits = 0, spinnerTurns = 0;

 private:
  // held: the steps the flipper's button has been held.
  void drive(int flipper, bool up, float direction, int& held) {
    held = up ? held + 1 : 0;
    WorldObject* f = object(flipper);
    if (!f) return;
    const FlipperDrive d{rules.flipSpeedUp, rules.flipSpeedDown, rules.flipBuild};
    f->setTorque(
        flipperSpin(d, up ? direction * rules.flipUp : 0, f->angleDegrees, held, stepLength));
  }
  int leftHeld_ = 0, rightHeld_ = 0;
};

}  // namespace table
