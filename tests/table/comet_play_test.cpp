// The packed Comet table played headless with its own game.lua, at full
// speed: a player launches every ball and flips, and balls must stay on the
// table, out of the walls and on their side of the flippers; whole games
// must be played (bumpers, slingshots and targets scored, balls drained,
// games over and the high score kept), and plunger shots that go round the
// arch must come back into play.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "../point_in_polygon.h"
#include "app/paths.h"
#include "app/table_run.h"
#include "props/property_store.h"
#include "table_env.h"
#include "world/step_length.h"
#include "world/world.h"

namespace {

struct P {
  float x, y;
};

// Inside the outer wall (x 40..760, and within 360 of (400, 400) above
// y 400) and above the drain floor at y 973, with slack for contacts.
bool onTable(P p, float slack) {
  if (p.x < 40 - slack || p.x > 760 + slack || p.y > 973 + slack) return false;
  float dx = p.x - 400, dy = p.y - 400;
  return p.y >= 400 || std::sqrt(dx * dx + dy * dy) <= 360 + slack;
}

// Proper crossing of segments ab and cd.
bool segmentsCross(P a, P b, P c, P d) {
  auto side = [](P o, P u, P v) { return (u.x - o.x) * (v.y - o.y) - (u.y - o.y) * (v.x - o.x); };
  float d1 = side(c, d, a), d2 = side(c, d, b), d3 = side(a, b, c), d4 = side(a, b, d);
  return ((d1 > 0) != (d2 > 0)) && ((d3 > 0) != (d4 > 0)) && d1 != 0 && d2 != 0;
}

size_t count(const std::string& text, const std::string& line) {
  size_t n = 0;
  for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
  return n;
}

// ORVANE_TABLE_LAUNCHES=n plays n launches instead, and ORVANE_TABLE_SEED=s
// other shots: for a longer hunt.
using table::envNumber;
using table::sanitized;

// Catalog, world and script, started the way the engine starts them.
struct Comet {
  NullContentBackend backend;
  KeyState keys;
  TableRun tableRun{{&backend, &keys, 300}};
  const WorldData& data = tableRun.catalog();

  World& world() const { return *tableRun.world(); }
  void step() { world().step(stepLength); }

  std::vector<WorldObject*> balls() const {
    std::vector<WorldObject*> list;
    world().forEachObject([&list](WorldObject& b) {
      if (b.def->name == "Ball") list.push_back(&b);
    });
    return list;
  }

  // F1 for ten steps, and time for the script to put a ball on the plunger.
  void startGame() {
    for (int i = 0; i < 60; ++i) {
      keys[KeyStart1] = i < 10;
      step();
    }
  }
};

class CometPlay : public ::testing::Test {
 protected:
  void SetUp() override {
    setDataDirectory(ORVANE_BINARY_DIR "/comet");
    saveFile = ::testing::TempDir() + "comet-save-" + std::to_string(getpid()) + ".dat";
    setPropertyFile(saveFile.c_str());
    ::testing::internal::CaptureStdout();
    comet = std::make_unique<Comet>();
    if (comet->data.loadFailed) return;
    comet->world().forEachObjectOf(tableScene, [this](WorldObject& o) {
      if (o.def->name == "LeftFlipper" || o.def->name == "RightFlipper") {
        // The tip's centre: the middle of the outline's points far from the pivot.
        P tip{0, 0};
        int n = 0;
        for (const Float2& q : o.def->outline)
          if (std::hypot(q.x, q.y) > 55) tip.x += q.x, tip.y += q.y, ++n;
        flippers.push_back({&o, {tip.x / n, tip.y / n}});
      }
      if (o.def->kind != KindStatic) return;
      std::vector<P> poly;
      for (const Float2& q : o.def->outline)
        poly.push_back({q.x + o.position.x, q.y + o.position.y});
      walls.push_back({o.def->name, poly});
    });
    if (!loaded()) printed();
  }
  void TearDown() override {
    comet.reset();
    printed();
    std::remove(saveFile.c_str());
  }
  // Ends the capture of what the script prints, which also holds Google
  // Test's own failure reports: call it before any assertion.
  const std::string& printed() {
    if (capturing) output = ::testing::internal::GetCapturedStdout();
    capturing = false;
    return output;
  }
  bool loaded() const { return !comet->data.loadFailed && flippers.size() == 2; }

  // Why the ball that moved from `last` to where it is now is out of place,
  // or empty.
  std::string misplaced(const WorldObject* b, P last) const {
    P p{b->position.x, b->position.y};
    std::ostringstream where;
    where << "ball at (" << p.x << ", " << p.y << ") moving (" << b->velocity.x << ", "
          << b->velocity.y << ")";
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !onTable(p, 4))
      return "left the table: " + where.str();
    for (const auto& w : walls)
      if (insidePolygon(w.second, p)) return "inside " + w.first + ": " + where.str();
    for (const auto& f : flippers) {
      float c = std::cos(f.first->angle), s = std::sin(f.first->angle);
      P pivot{f.first->position.x, f.first->position.y};
      P tip{pivot.x + f.second.x * c - f.second.y * s, pivot.y + f.second.x * s + f.second.y * c};
      if (segmentsCross(last, p, pivot, tip)) {
        std::ostringstream crossed;
        crossed << "crossed " << f.first->def->name << " turned " << f.first->angleDegrees
                << " degrees from (" << last.x << ", " << last.y << "): " << where.str();
        return crossed.str();
      }
    }
    return "";
  }

  std::string saveFile, output;
  bool capturing = true;
  std::unique_ptr<Comet> comet;
  const int tableScene = 1;
  std::vector<std::pair<std::string, std::vector<P>>> walls;
  std::vector<std::pair<WorldObject*, P>> flippers;  // and the tip's centre on each
};

TEST_F(CometPlay, GamesArePlayedToTheEndAndNoBallLeavesTheTable) {
  ASSERT_TRUE(loaded()) << "the packed table is missing: " << dataPath("data.dat");
  const int games = 4;  // a few seconds each, under AddressSanitizer too
  std::mt19937 rng(20261209);
  std::uniform_real_distribution<float> unit(0, 1);
  std::string failure;
  long step = 0;
  // Each game: F1, then launches of random strength and flips when a ball
  // nears a flipper; at most ten minutes of play.
  int pull = 0, hold[2] = {0, 0}, idle = 0;
  std::map<int, P> last;
  for (int game = 0; game < games && failure.empty(); ++game) {
    idle = 0;
    comet->startGame();
    step += 60;
    for (int i = 0; i < 180000 && failure.empty(); ++i, ++step) {
      bool onPlunger = false;
      std::vector<WorldObject*> inPlay = comet->balls();
      for (WorldObject* b : inPlay) {
        P p{b->position.x, b->position.y};
        auto seen = last.find(b->number);
        std::string wrong = misplaced(b, seen == last.end() ? p : seen->second);
        if (!wrong.empty())
          failure = "game " + std::to_string(game) + " step " + std::to_string(i) + ": " + wrong;
        last[b->number] = p;
        onPlunger =
            onPlunger || (p.x < 90 && p.y > 930 && std::hypot(b->velocity.x, b->velocity.y) < 20);
        // Comes down towards a flipper: flip on that side for a moment.
        if (p.y > 840 && p.y < 900 && b->velocity.y > 0 && hold[p.x > 436] == 0 &&
            unit(rng) < 0.05f)
          hold[p.x > 436] = 40;
      }
      if (onPlunger && pull == 0) pull = int(120 + unit(rng) * 180);
      comet->keys[KeyLaunch] = pull > 1;
      if (pull > 0) --pull;
      comet->keys[KeyLpad] = hold[0] > 0;
      comet->keys[KeyRpad] = hold[1] > 0;
      for (int& h : hold) h -= h > 0;
      comet->step();
      // Between balls the bonus is counted; twelve seconds without a
      // ball is the end of the game.
      idle = inPlay.empty() ? idle + 1 : 0;
      if (idle > 3600) break;
    }
  }
  const std::string& out = printed();
  ASSERT_TRUE(failure.empty()) << failure;
  std::printf(
      "[ comet ] %d games in %ld s of play: %zu launches, %zu bumper, %zu sling, %zu target hits, "
      "%zu drained, %zu saved\n",
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

// Launches of every strength the plunger has, and flippers worked at random
// (each alternates between random holds and pauses), game after game: no
// ball may leave the table, sink into a wall, pass through a flipper, or
// come to rest anywhere but on the plunger or the flippers.
TEST_F(CometPlay, FourHundredLaunchesAtFullSpeedStayOnTheTable) {
  ASSERT_TRUE(loaded()) << "the packed table is missing: " << dataPath("data.dat");
  const int launches = envNumber("ORVANE_TABLE_LAUNCHES", sanitized() ? 100 : 400);
  std::mt19937 rng(unsigned(envNumber("ORVANE_TABLE_SEED", 20261209)));
  std::uniform_real_distribution<float> unit(0, 1);
  float fastest = 0;
  long steps = 0;
  int launched = 0, pull = 0, settled = 0, rest = 0, idle = 0;
  int timer[2] = {0, 0};
  bool flip[2] = {false, false};
  std::map<int, P> last;
  std::string failure;
  while (launched < launches && failure.empty()) {
    if (steps > long(launches) * 6000) failure = "balls stay in play for ever";
    comet->startGame();
    for (idle = 0; idle < 3600 && launched < launches && failure.empty(); ++steps) {
      bool onPlunger = false, resting = false;
      std::vector<WorldObject*> inPlay = comet->balls();
      for (WorldObject* b : inPlay) {
        P p{b->position.x, b->position.y};
        auto seen = last.find(b->number);
        std::string wrong = misplaced(b, seen == last.end() ? p : seen->second);
        if (!wrong.empty()) failure = "launch " + std::to_string(launched) + ": " + wrong;
        last[b->number] = p;
        float speed = std::hypot(b->velocity.x, b->velocity.y);
        fastest = std::fmax(fastest, speed);
        bool shooterLane = p.x < 90 && p.y > 900;
        onPlunger = onPlunger || (shooterLane && speed < 20);
        // At rest above the flippers' reach, out of the shooter lane.
        resting = resting || (!shooterLane && p.y < 830 && speed < 10);
      }
      rest = resting ? rest + 1 : 0;
      if (rest > 900)
        failure = "launch " + std::to_string(launched) + ": a ball came to rest for three seconds";
      // Once the ball has settled on the plunger, hold it from a moment to a
      // full second, then let go.
      settled = onPlunger && pull == 0 ? settled + 1 : 0;
      if (settled > 30 && pull == 0) pull = 2 + int(unit(rng) * 300), settled = 0, ++launched;
      comet->keys[KeyLaunch] = pull > 1;
      if (pull > 0) --pull;
      for (int side = 0; side < 2; ++side) {
        if (--timer[side] <= 0)
          flip[side] = !flip[side], timer[side] = int(15 + unit(rng) * (flip[side] ? 90 : 240));
      }
      comet->keys[KeyLpad] = flip[0];
      comet->keys[KeyRpad] = flip[1];
      comet->step();
      idle = inPlay.empty() ? idle + 1 : 0;
    }
    // Let the game end: twelve seconds without a ball.
    comet->keys[KeyLpad] = comet->keys[KeyRpad] = false;
    for (int i = 0; i < 3600 && !comet->balls().empty(); ++i) comet->step();
  }
  const std::string& out = printed();
  ASSERT_TRUE(failure.empty()) << failure;
  std::printf(
      "[ comet ] %d launches, %ld steps, fastest ball %.0f px/s, %zu bumper, %zu sling, %zu "
      "target hits, %zu outlanes, %zu drained, %zu saved\n",
      launched, steps, fastest, count(out, "[COMET] bumper hit"), count(out, "[COMET] sling hit"),
      count(out, "[COMET] target "), count(out, "[COMET] outlane"),
      count(out, "[COMET] ball drained"), count(out, "[COMET] ball saved"));
  EXPECT_EQ(0u, count(out, "[COMET] ball lost off the table"));
  EXPECT_EQ(0u, count(out, "Lua error"));
  // Played at a real machine's speed: flippers and plunger send the ball
  // faster than 3500 px/s, and it reaches bumpers, slings and targets.
  EXPECT_GT(fastest, 3500);
  EXPECT_GT(count(out, "[COMET] bumper hit"), 0u);
  EXPECT_GT(count(out, "[COMET] sling hit"), 0u);
  EXPECT_GT(count(out, "[COMET] target "), 0u);
}

// A plunger shot strong enough to clear the shooter lane goes over the arch
// and must not drain at once; one strong enough to go all the way round must
// be turned back into play by the deflector at the top of the right wall, not
// run down the wall into the right outlane.
TEST_F(CometPlay, PlungerShotsRoundTheArchComeBackIntoPlay) {
  ASSERT_TRUE(loaded()) << "the packed table is missing: " << dataPath("data.dat");
  std::string failure;
  for (int hold = 30; hold <= 300 && failure.empty(); hold += 15) {
    Comet shot;
    shot.startGame();
    std::vector<WorldObject*> ball = shot.balls();
    if (ball.size() != 1) {
      failure = "no ball on the plunger";
      break;
    }
    const int number = ball[0]->number;
    for (int i = 0; i <= hold; ++i) {
      shot.keys[KeyLaunch] = i < hold;
      shot.step();
    }
    bool round = false, back = false;
    float top = 1000;
    std::ostringstream shotName;
    shotName << "a shot pulled for " << hold << " steps";
    // Two seconds: up the lane, round the arch, off the deflector.
    for (int i = 0; i < 600 && !back && failure.empty(); ++i) {
      shot.step();
      const WorldObject* b = shot.world().findObjectByNumber(number);
      if (!b)
        failure = shotName.str() + " drained";
      else if (b->position.x > 722 && b->position.y > 620)
        failure = shotName.str() + " went down the right outlane";
      if (!b) break;
      top = std::fmin(top, b->position.y);
      round = round || (b->position.x > 700 && b->position.y < 420);
      back = round && b->position.x < 640 && b->position.y < 640;
    }
    // Pulled a third of the way or more, the shot goes all the way round.
    if (failure.empty() && hold >= 90 && !back)
      failure = shotName.str() + (round ? " did not come back into play"
                                        : " reached only y " + std::to_string(int(top)));
  }
  printed();
  EXPECT_TRUE(failure.empty()) << failure;
}

}  // namespace
