// The packed Comet table played headless with its own game.lua: a simple
// player launches every ball and flips when a ball comes down to the
// flippers. Balls must stay on the table and out of the walls, and whole
// games must be played: bumpers, slingshots and targets scored, balls
// drained, games over and the high score kept.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>

#include "../point_in_polygon.h"
#include "app/paths.h"
#include "content/world_data.h"
#include "props/property_store.h"
#include "script/script_host.h"
#include "world/world.h"

namespace {

constexpr float kStep = 0.0033333334f;

struct P {
  float x, y;
};

// Inside the outer wall (x 40..760, and within 360 of (400, 400) above
// y 400) and above the drain floor at y 973, with slack for soft contacts.
bool onTable(P p, float slack) {
  if (p.x < 40 - slack || p.x > 760 + slack || p.y > 973 + slack) return false;
  float dx = p.x - 400, dy = p.y - 400;
  return p.y >= 400 || std::sqrt(dx * dx + dy * dy) <= 360 + slack;
}

size_t count(const std::string& text, const std::string& line) {
  size_t n = 0;
  for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
  return n;
}

// Catalog, world and script, started the way the engine starts them.
struct Comet {
  NullContentBackend backend;
  WorldData data;
  World world;
  KeyState keys;
  lua_State* L = nullptr;
  ScriptEvents* events = nullptr;

  Comet() : data(dataPath("data.dat"), backend), world(data) {
    if (data.loadFailed) return;
    L = createScriptState();
    registerScriptApi(L, dataDirectory());
    attachScriptWorld(&world, &data);
    events = new ScriptEvents(L, keys);
    world.setEvents(events);
    setScriptFps(L, 300);
    refreshScriptKeys(L, keys);
    runScriptFile(L, dataPath("game.lua"));
    runScriptSetup(L);
  }
  ~Comet() {
    world.setEvents(nullptr);
    attachScriptWorld(nullptr, nullptr);
    delete events;
    if (L) closeScriptState(L);
  }
};

class CometPlay : public ::testing::Test {
 protected:
  void SetUp() override {
    setDataDirectory(ORVANE_BINARY_DIR "/comet");
    saveFile = ::testing::TempDir() + "comet-save-" + std::to_string(getpid()) + ".dat";
    setPropertyFile(saveFile.c_str());
  }
  void TearDown() override { std::remove(saveFile.c_str()); }
  std::string saveFile;
};

TEST_F(CometPlay, GamesArePlayedToTheEndAndNoBallLeavesTheTable) {
  const int games = 4;  // a few seconds each, under AddressSanitizer too
  std::mt19937 rng(20261209);
  std::uniform_real_distribution<float> unit(0, 1);
  ::testing::internal::CaptureStdout();
  std::string failure;
  long step = 0;
  {
    Comet comet;
    ASSERT_FALSE(comet.data.loadFailed) << "the packed table is missing: " << dataPath("data.dat");
    std::vector<std::pair<std::string, std::vector<P>>> walls;
    int tableScene = 1;
    for (int slot = 0; slot < comet.world.objects.capacity(); ++slot) {
      WorldObject* o = comet.world.objects.at(slot);
      if (!o || o->sceneNumber != tableScene || o->def->kind != KindStatic) continue;
      std::vector<P> poly;
      for (const Float2& q : o->def->outline)
        poly.push_back({q.x + o->position.x, q.y + o->position.y});
      walls.push_back({o->def->name, poly});
    }

    // Each game: F1, then launches of random strength and flips when a ball
    // nears a flipper; at most ten minutes of play.
    int pull = 0, hold[2] = {0, 0}, idle = 0;
    for (int game = 0; game < games && failure.empty(); ++game) {
      idle = 0;
      for (int i = 0; i < 30; ++i, ++step) {
        comet.keys[KeyStart1] = i < 10;
        comet.world.step(kStep);
      }
      for (int i = 0; i < 180000 && failure.empty(); ++i, ++step) {
        bool ballsInPlay = false, onPlunger = false;
        for (int slot = 0; slot < comet.world.objects.capacity(); ++slot) {
          WorldObject* b = comet.world.objects.at(slot);
          if (!b || b->def->name != "Ball") continue;
          ballsInPlay = true;
          P p{b->position.x, b->position.y};
          float speed = std::hypot(b->velocity.x, b->velocity.y);
          std::ostringstream where;
          where << "game " << game << " step " << i << ": ball at (" << p.x << ", " << p.y << ")";
          if (!onTable(p, 4)) failure = "left the table: " + where.str();
          for (const auto& w : walls)
            if (insidePolygon(w.second, p)) failure = "inside " + w.first + ": " + where.str();
          onPlunger = onPlunger || (p.x < 90 && p.y > 930 && speed < 20);
          // Comes down towards a flipper: flip on that side for a moment.
          if (p.y > 840 && p.y < 900 && b->velocity.y > 0 && hold[p.x > 436] == 0 &&
              unit(rng) < 0.05f)
            hold[p.x > 436] = 40;
        }
        if (onPlunger && pull == 0) pull = int(120 + unit(rng) * 180);
        comet.keys[KeyLaunch] = pull > 1;
        if (pull > 0) --pull;
        comet.keys[KeyLpad] = hold[0] > 0;
        comet.keys[KeyRpad] = hold[1] > 0;
        for (int& h : hold) h -= h > 0;
        comet.world.step(kStep);
        // Between balls the bonus is counted; twelve seconds without a
        // ball is the end of the game.
        idle = ballsInPlay ? 0 : idle + 1;
        if (idle > 3600) break;
      }
    }
  }
  std::string out = ::testing::internal::GetCapturedStdout();
  ASSERT_TRUE(failure.empty()) << failure;
  std::printf(
      "[ comet ] %d games in %ld s of play: %zu launches, %zu bumper, %zu sling, %zu target hits, "
      "%zu drained, "
      "%zu saved\n",
      games, step / 300, count(out, "[COMET] ball launched"), count(out, "[COMET] bumper hit"),
      count(out, "[COMET] sling hit"), count(out, "[COMET] target "),
      count(out, "[COMET] ball drained"), count(out, "[COMET] ball saved"));
  EXPECT_EQ(0u, count(out, "[COMET] ball lost off the table"));
  EXPECT_EQ(0u, count(out, "Lua error"));
  EXPECT_EQ(size_t(games), count(out, "[COMET] game over"));
  EXPECT_GT(count(out, "[COMET] bumper hit"), 0u);
  EXPECT_GT(count(out, "[COMET] sling hit"), 0u);
  EXPECT_GT(count(out, "[COMET] target "), 0u);
  EXPECT_NE(std::string::npos, out.find("[COMET] high score saved"));
}

}  // namespace
