// Physics step benchmark: the shared box and pins scenes with 1 to 200
// balls, then a table-like scene with working flippers against the step
// budget. Prints one line per case; each figure is the median of three runs.
#include <ode/ode.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/loop_clock.h"
#include "content/world_data.h"
#include "silence.h"
#include "world/physics.h"
#include "world/world.h"

namespace {

constexpr int warmupSteps = 300;
constexpr int timedSteps = 3000;

// The machine running this is often shared, so the step is timed in the
// thread's own CPU time rather than wall time.
double cpuMicroseconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

// The corner lists are written clockwise on screen; the collider wants the
// opposite winding, so they are reversed.
std::vector<Float2> wound(std::vector<Float2> corners) {
  std::reverse(corners.begin(), corners.end());
  return corners;
}

// Outward edge normals mean a negative shoelace sum on the y-down screen.
bool woundForCollider(const std::vector<Float2>& outline) {
  double sum = 0;
  for (size_t i = 0; i < outline.size(); ++i) {
    Float2 a = outline[i], b = outline[(i + 1) % outline.size()];
    sum += double(a.x) * b.y - double(b.x) * a.y;
  }
  return sum < 0;
}

void checkWinding(const SceneDef& scene) {
  for (const ObjectDef& o : scene.objects) {
    if (!woundForCollider(o.outline))
      std::printf("WARNING: outline of '%s' is wound the wrong way\n", o.name.c_str());
  }
}

ObjectDef staticShape(const std::string& name, std::vector<Float2> outline) {
  ObjectDef d;
  d.name = name;
  d.kind = KindStatic;
  d.outline = std::move(outline);
  return d;
}

ObjectDef ball(const std::string& name, float x, float y) {
  ObjectDef d;
  d.name = name;
  d.kind = KindDynamic;
  d.mass = 1;
  d.inertiaRadius = 240;
  d.position = {x, y};
  std::vector<Float2> corners;
  for (int i = 0; i < 16; ++i) {
    double a = (i + 0.5) * 22.5 * M_PI / 180;
    corners.push_back({float(12 * std::cos(a)), float(12 * std::sin(a))});
  }
  d.outline = wound(corners);
  return d;
}

void addWalls(SceneDef& s) {
  s.objects.push_back(staticShape("top", wound({{0, 0}, {800, 0}, {800, 20}, {0, 20}})));
  s.objects.push_back(staticShape("bottom", wound({{0, 580}, {800, 580}, {800, 600}, {0, 600}})));
  s.objects.push_back(staticShape("left", wound({{0, 20}, {20, 20}, {20, 580}, {0, 580}})));
  s.objects.push_back(staticShape("right", wound({{780, 20}, {800, 20}, {800, 580}, {780, 580}})));
}

void addPins(SceneDef& s) {
  const float centres[10][2] = {{140, 400}, {270, 400}, {400, 400}, {530, 400}, {660, 400},
                                {205, 490}, {335, 490}, {465, 490}, {595, 490}, {725, 490}};
  for (int i = 0; i < 10; ++i) {
    float cx = centres[i][0], cy = centres[i][1];
    // Right, left, right... straight through both rows, so the second row
    // (after five) starts with left.
    bool right = i % 2 == 0;
    std::vector<Float2> corners =
        right ? std::vector<Float2>{{cx - 30, cy - 16},
                                    {cx + 30, cy + 8},
                                    {cx + 30, cy + 16},
                                    {cx - 30, cy - 8}}
              : std::vector<Float2>{
                    {cx - 30, cy + 8}, {cx + 30, cy - 16}, {cx + 30, cy - 8}, {cx - 30, cy + 16}};
    s.objects.push_back(staticShape("pin" + std::to_string(i), wound(corners)));
  }
}

void addBalls(SceneDef& s, int n) {
  for (int k = 0; k < n; ++k) {
    int r = k / 20, c = k % 20;
    s.objects.push_back(ball("ball" + std::to_string(k), 115 + 30 * c + 15 * (r % 2), 50 + 30 * r));
  }
}

// A closed outline through the given corners with extra points so that no
// edge is longer than step.
std::vector<Float2> subdivided(const std::vector<Float2>& corners, float step) {
  std::vector<Float2> out;
  for (size_t i = 0; i < corners.size(); ++i) {
    Float2 a = corners[i], b = corners[(i + 1) % corners.size()];
    int parts = std::max(1, int(std::ceil(std::hypot(b.x - a.x, b.y - a.y) / step)));
    for (int k = 0; k < parts; ++k) {
      out.push_back({a.x + (b.x - a.x) * k / parts, a.y + (b.y - a.y) * k / parts});
    }
  }
  return out;
}

std::vector<Float2> octagon(float cx, float cy, float radius) {
  std::vector<Float2> points;
  for (int i = 7; i >= 0; --i) {
    double a = (i + 0.5) * M_PI / 4;
    points.push_back({float(cx + radius * std::cos(a)), float(cy + radius * std::sin(a))});
  }
  return points;
}

// Thick walls, pins, slingshots and two flippers on ball joints: about two
// hundred outline edges, in the spirit of a real table.
int buildTable(SceneDef& table, SceneDef& balls) {
  // Inner faces get a point every 40 px so their normals stay straight.
  table.objects.push_back(
      staticShape("top", subdivided({{0, 0}, {0, 40}, {800, 40}, {800, 0}}, 60)));
  table.objects.push_back(
      staticShape("left", subdivided({{0, 40}, {0, 600}, {40, 600}, {40, 40}}, 60)));
  table.objects.push_back(
      staticShape("right", subdivided({{760, 40}, {760, 600}, {800, 600}, {800, 40}}, 60)));
  table.objects.push_back(
      staticShape("apron", subdivided({{0, 580}, {0, 620}, {800, 620}, {800, 580}}, 60)));
  table.objects.push_back(
      staticShape("inlaneL", subdivided({{40, 440}, {40, 480}, {300, 545}, {300, 530}}, 60)));
  table.objects.push_back(
      staticShape("inlaneR", subdivided({{500, 530}, {500, 545}, {760, 480}, {760, 440}}, 60)));
  for (int i = 0; i < 12; ++i) {
    float x = 140 + 105 * (i % 6) + (i / 6) * 50, y = 150 + 110 * (i / 6);
    table.objects.push_back(staticShape("post" + std::to_string(i), octagon(x, y, 14)));
  }
  table.objects.push_back(staticShape("slingL", {{120, 330}, {120, 400}, {170, 420}}));
  table.objects.push_back(staticShape("slingR", {{630, 420}, {680, 400}, {680, 330}}));
  for (int side = 0; side < 2; ++side) {
    ObjectDef f;
    f.name = side == 0 ? "flipperL" : "flipperR";
    f.kind = KindDynamic;
    f.mass = 2;
    f.inertiaRadius = 600;
    float dir = side == 0 ? 1 : -1;
    f.position = {side == 0 ? 300.0f : 500.0f, 538};
    // Pivot at the body origin; the blade reaches 80 px towards the middle.
    std::vector<Float2> blade = {{0, -9},       {dir * 40, -7}, {dir * 80, -3}, {dir * 82, 0},
                                 {dir * 80, 3}, {dir * 40, 5},  {0, 9},         {dir * -9, 0}};
    if (dir > 0) std::reverse(blade.begin(), blade.end());
    f.outline = blade;
    table.objects.push_back(f);
    table.links.push_back({f.name + "Pivot", f.name, "", f.position});
  }
  balls.objects.push_back(ball("ball", 400, 100));
  // Lighter than the shared scenes' ball: flipper shots reach 1600 px/s,
  // where a unit mass sinks through the soft contacts.
  balls.objects.back().mass = 0.5f;
  int edges = 0;
  for (const ObjectDef& o : table.objects) edges += o.outlineCount();
  return edges;
}

struct Result {
  double usPerStep = 0;
  bool escaped = false;
  // The first ball seen outside, and where and when.
  std::string firstOut;
};

// The space inside the walls; a ball outside it went through one.
struct Interior {
  float minX, minY, maxX, maxY;
};

// One run: fresh world, warm-up, then the timed steps. drive is called
// before every step (the table uses it to work the flippers).
Result runOnce(WorldData& data, SceneDef* table, SceneDef* balls, Interior in,
               const std::function<void(World&, int)>& drive) {
  Result r;
  World* world;
  {
    Silence quiet;
    world = new World(data);
    world->setGravity(400);
    world->spawnScene(table, 0, 0);
    world->spawnScene(balls, 0, 0);
  }
  std::vector<const WorldObject*> ballObjects;
  world->forEachObjectOf(2, [&](const WorldObject& o) { ballObjects.push_back(&o); });
  int stepsDone = 0;
  auto check = [&] {
    ++stepsDone;
    for (const WorldObject* o : ballObjects) {
      if (o->position.x > in.minX && o->position.x < in.maxX && o->position.y > in.minY &&
          o->position.y < in.maxY)
        continue;
      if (!r.escaped) {
        char text[120];
        std::snprintf(text, sizeof text, "%s at (%.1f, %.1f) after step %d", o->def->name.c_str(),
                      o->position.x, o->position.y, stepsDone);
        r.firstOut = text;
      }
      r.escaped = true;
    }
  };
  for (int i = 0; i < warmupSteps; ++i) {
    if (drive) drive(*world, i);
    world->step(stepLength);
    check();
  }
  double start = cpuMicroseconds();
  for (int i = 0; i < timedSteps; ++i) {
    if (drive) drive(*world, warmupSteps + i);
    world->step(stepLength);
    check();
  }
  r.usPerStep = (cpuMicroseconds() - start) / timedSteps;
  // The poses to the last bit, so that two builds can be compared.
  if (getenv("BENCH_TRACE")) {
    world->forEachObject([](const WorldObject& o) {
      if (!o.body) return;
      std::printf("  %s at (%.1f, %.1f) angle %.1f  exactly (%a, %a) %a\n", o.def->name.c_str(),
                  o.position.x, o.position.y, o.angleDegrees, o.position.x, o.position.y,
                  o.angleDegrees);
      // The body itself: what the next step starts from.
      const dReal *p = dBodyGetPosition(o.body), *q = dBodyGetQuaternion(o.body),
                  *v = dBodyGetLinearVel(o.body), *w = dBodyGetAngularVel(o.body);
      std::printf("    body p (%a, %a, %a) q (%a, %a, %a, %a) v (%a, %a, %a) w (%a, %a, %a)\n",
                  p[0], p[1], p[2], q[0], q[1], q[2], q[3], v[0], v[1], v[2], w[0], w[1], w[2]);
    });
  }
  {
    Silence quiet;
    delete world;
  }
  return r;
}

Result median(WorldData& data, SceneDef* table, SceneDef* balls, Interior in,
              const std::function<void(World&, int)>& drive = nullptr) {
  std::vector<Result> runs;
  for (int i = 0; i < 3; ++i) runs.push_back(runOnce(data, table, balls, in, drive));
  std::sort(runs.begin(), runs.end(),
            [](const Result& a, const Result& b) { return a.usPerStep < b.usPerStep; });
  Result m = runs[1];
  for (const Result& r : runs) {
    if (r.escaped && !m.escaped) m.firstOut = r.firstOut;
    m.escaped = m.escaped || r.escaped;
  }
  return m;
}

void print(const char* scene, int n, const Result& r) {
  std::printf("scene=%s N=%d us_per_step=%.2f steps_per_s=%.0f\n", scene, n, r.usPerStep,
              1e6 / r.usPerStep);
  if (r.escaped) {
    std::printf("scene=%s N=%d WARNING: a ball left the interior: %s\n", scene, n,
                r.firstOut.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  // "table" runs only the table-like scene; "box" or "pins", with a ball
  // count or not, runs only those rows.
  const std::string only = argc > 1 ? argv[1] : "";
  const int onlyCount = argc > 2 ? std::atoi(argv[2]) : 0;
  const bool onlyTable = only == "table";
  initPhysics();
  NullContentBackend backend;
  WorldData* data = new WorldData(backend);
  for (uint32_t& mask : data->collisionMasks) mask = 0xFFFFFFFFu;
  data->scenes.reserve(16);

  for (const char* name : {"box", "pins"}) {
    if (onlyTable) break;
    if (!only.empty() && only != name) continue;
    for (int n : {1, 10, 50, 200}) {
      if (onlyCount && n != onlyCount) continue;
      data->scenes.clear();
      data->scenes.emplace_back();
      data->scenes.emplace_back();
      SceneDef& table = data->scenes[0];
      SceneDef& balls = data->scenes[1];
      table.name = name;
      balls.name = "balls";
      addWalls(table);
      if (std::string(name) == "pins") addPins(table);
      addBalls(balls, n);
      checkWinding(table);
      checkWinding(balls);
      Result r = median(*data, &table, &balls, {20, 20, 780, 580});
      print(name, n, r);
    }
  }

  if (!only.empty() && !onlyTable) {
    {
      Silence quiet;
      delete data;
    }
    closePhysics();
    return 0;
  }
  data->scenes.clear();
  data->scenes.emplace_back();
  data->scenes.emplace_back();
  SceneDef& table = data->scenes[0];
  SceneDef& balls = data->scenes[1];
  table.name = "table";
  balls.name = "ball";
  int edges = buildTable(table, balls);
  checkWinding(table);
  checkWinding(balls);
  // Work the flippers the way a script does, by setting their spin towards
  // a raised or resting angle; relaunch the ball when it lies on the apron.
  auto play = [](World& world, int step) {
    bool up = step % 150 < 30;
    for (const char* name : {"flipperL", "flipperR"}) {
      WorldObject* f = world.findObjectByName(1, name);
      if (!f) continue;
      float sign = name[7] == 'L' ? 1 : -1;
      float diff = sign * (up ? -25 : 20) - f->angleDegrees;
      f->setTorque(std::max(-20.0f, std::min(20.0f, diff)));
    }
    WorldObject* ball = world.findObjectByName(2, "ball");
    if (ball && step % 600 == 599 && ball->position.y > 500) {
      dBodySetPosition(ball->body, 700, 300, 0);
      ball->setVelocity(-300, -800);
    }
  };
  Result t = median(*data, &table, &balls, {40, 40, 760, 580}, play);
  std::printf("scene=table edges=%d N=1 us_per_step=%.2f steps_per_s=%.0f (target <= 50 us)\n",
              edges, t.usPerStep, 1e6 / t.usPerStep);
  if (t.escaped)
    std::printf("scene=table WARNING: the ball left the table: %s\n", t.firstOut.c_str());

  {
    Silence quiet;
    delete data;
  }
  closePhysics();
  return 0;
}
