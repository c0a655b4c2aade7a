// The default table as the engine runs it, minus the window: the packed
// table, game.lua with the script API attached, and keys pressed the way a
// player would. Prints world steps per second (the game needs 300) for
// attract mode, one ball in play and three balls in play; each figure is the
// median of three runs. Then the speeds the plunger and a flipper give the
// ball. `bench_table attract|one|three` runs that case once and nothing
// else, for a profiler: its 6600 steps (600 to settle, 6000 timed) are all
// in Table::run.
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/input.h"
#include "app/loop_clock.h"
#include "app/paths.h"
#include "app/table_run.h"
#include "props/property_store.h"
#include "silence.h"
#include "world/physics.h"
#include "world/world.h"

namespace {

constexpr int timedSteps = 6000;  // twenty seconds of play

// The machine running this is often shared, so the steps are timed in the
// thread's own CPU time rather than wall time.
double now() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

bool copyFile(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary);
  if (!in || !out) return false;
  out << in.rdbuf();
  return bool(out);
}

// One engine: catalog, world and script, started the way the engine starts.
struct Table {
  NullContentBackend backend;
  KeyState keys;
  TableRun tableRun{{&backend, &keys, 300}};
  const WorldData& data = tableRun.catalog();
  std::vector<int> extraBalls;
  long step = 0;

  bool loaded() const { return tableRun.world(); }
  World& world() { return *tableRun.world(); }

  void run(int steps) {
    for (int i = 0; i < steps; ++i, ++step) {
      // A player: flippers in a steady rhythm, the plunger pulled for a
      // second and let go every four seconds (harmless with no ball there).
      keys[KeyLpad] = step % 170 < 25;
      keys[KeyRpad] = (step + 85) % 190 < 25;
      keys[KeyLaunch] = step % 1200 < 300;
      world().step(stepLength);
      if (step % 300 == 0) keepExtraBallsInPlay();
    }
  }

  void press(GameKey key) {
    keys[key] = true;
    world().step(stepLength);
    keys[key] = false;
    ++step;
  }

  // Balls beyond the script's own: dropped back in at the top when they
  // reach the drain, so that they stay in play.
  void addBall(float x, float y) {
    int scene = world().spawnScene(data.findScene("Ball"), x, y);
    if (WorldObject* b = world().findObjectByName(scene, "Ball")) extraBalls.push_back(b->number);
  }
  void keepExtraBallsInPlay() {
    for (int& n : extraBalls) {
      WorldObject* b = world().findObjectByNumber(n);
      if (b && b->position.y < 1300) continue;
      if (b) world().removeScene(b->sceneNumber);
      int scene = world().spawnScene(data.findScene("Ball"), 300 + float(n % 5) * 40, 300);
      WorldObject* fresh = world().findObjectByName(scene, "Ball");
      n = fresh ? fresh->number : 0;
    }
  }
};

using Setup = void (*)(Table&);

double measure(Setup setup, int runs = 3) {
  std::vector<double> rates;
  for (int run = 0; run < runs; ++run) {
    double rate = 0;
    {
      Silence quiet;
      Table table;
      if (!table.loaded()) return -1;
      setup(table);
      table.run(600);
      double start = now();
      table.run(timedSteps);
      rate = timedSteps / (now() - start);
    }
    rates.push_back(rate);
  }
  std::sort(rates.begin(), rates.end());
  return rates[rates.size() / 2];
}

// The fastest any ball moves over the next `steps` steps, keys as given.
float fastestBall(Table& t, int steps) {
  float fastest = 0;
  for (int i = 0; i < steps; ++i, ++t.step) {
    t.world().step(stepLength);
    t.world().forEachObject([&fastest](const WorldObject& o) {
      if (o.body && o.def->name == "Ball")
        fastest = std::max(fastest, std::hypot(o.velocity.x, o.velocity.y));
    });
  }
  return fastest;
}

// A game's first ball shot with the plunger pulled for `pullSteps`.
float plungerShot(int pullSteps) {
  Silence quiet;
  Table t;
  if (!t.loaded()) return -1;
  t.press(KeyStart1);
  fastestBall(t, 300);
  t.keys[KeyLaunch] = true;
  fastestBall(t, pullSteps);
  t.keys[KeyLaunch] = false;
  return fastestBall(t, 150);
}

// Balls dropped onto the resting left flipper from points along it, flipped
// as they come down to it a little later each time: the fastest shot, and
// the median of all.
void flipperShots(float& best, float& median) {
  std::vector<float> speeds;
  for (float x = 250; x <= 320; x += 10) {
    for (int delay = 0; delay <= 40; delay += 8) {
      Silence quiet;
      Table t;
      if (!t.loaded()) return;
      fastestBall(t, 100);
      int scene = t.world().spawnScene(t.data.findScene("Ball"), x, 1120);
      const WorldObject* ball = t.world().findObjectByName(scene, "Ball");
      if (!ball) return;
      for (int i = 0; i < 600 && ball->position.y < 1185; ++i) fastestBall(t, 1);
      fastestBall(t, delay);
      t.keys[KeyLpad] = true;
      speeds.push_back(fastestBall(t, 60));
    }
  }
  std::sort(speeds.begin(), speeds.end());
  best = speeds.back();
  median = speeds[speeds.size() / 2];
}

void report(const char* name, double rate) {
  if (rate < 0) {
    std::printf("%-32s the packed table did not load\n", name);
    return;
  }
  std::printf("%-32s %7.1f us/step %9.0f steps/s  %6.1f x real time\n", name, 1e6 / rate, rate,
              rate / 300);
}

void setupAttract(Table&) {}
void setupOneBall(Table& t) {
  t.press(KeyStart1);
}
void setupThreeBalls(Table& t) {
  t.press(KeyStart1);
  for (int i = 0; i < 2; ++i) t.addBall(250 + 120.f * float(i), 300);
}

struct Case {
  const char* arg;
  const char* name;
  Setup setup;
};
const Case cases[] = {{"attract", "attract mode", setupAttract},
                      {"one", "one ball in play", setupOneBall},
                      {"three", "three balls in play", setupThreeBalls}};

}  // namespace

int main(int argc, char** argv) {
  std::string built = std::string(ORVANE_BINARY_DIR) + "/default/";
  // A scratch data directory: the script may write save.dat.
  char scratch[] = "/tmp/orvane-bench-table-XXXXXX";
  if (!mkdtemp(scratch)) {
    std::perror("mkdtemp");
    return 1;
  }
  std::string dir = scratch;
  if (!copyFile(built + "data.dat", dir + "/data.dat") ||
      !copyFile(built + "game.lua", dir + "/game.lua")) {
    std::printf("build the default_table target first (%sdata.dat)\n", built.c_str());
    return 1;
  }
  setDataDirectory(dir.c_str());
  setPropertyFile(dataPath("save.dat"));
  initPhysics();

  std::printf("Default table with game.lua, %d steps of %.4f s per run\n", timedSteps, stepLength);
  const char* only = argc > 1 ? argv[1] : nullptr;
  bool known = !only;
  for (const Case& c : cases) {
    if (only && std::string(only) != c.arg) continue;
    known = true;
    report(c.name, measure(c.setup, only ? 1 : 3));
  }
  if (!known) std::printf("unknown case '%s': attract, one or three\n", only);
  if (!only) {
    std::printf("Ball speeds, px/s: plunger pulled halfway %.0f, all the way %.0f\n",
                plungerShot(150), plungerShot(300));
    float best = 0, median = 0;
    flipperShots(best, median);
    std::printf("Ball speeds, px/s: left flipper shots best %.0f, median %.0f\n", best, median);
  }

  closePhysics();
  for (const char* f : {"/data.dat", "/game.lua", "/save.dat", "/save.dat.tmp"})
    unlink((dir + f).c_str());
  rmdir(dir.c_str());
  return 0;
}
