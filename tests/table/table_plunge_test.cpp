// Full plunger shots on the default table: however hard a full pull shoots
// (give or take the spread a real plunger has), the ball goes round the arch
// into play and never comes back down the shooter lane.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>

#include "table_env.h"
#include "table_sim.h"

namespace {

// A full pull shoots at the table's top launch speed, give or take this.
const float kFullPullSpread = 200;  // px/s
// Three seconds: a ball goes round the arch in well under one.
const int kPlungeSteps = 900;

// The shooter lane is the strip right of the shooter wall, below the wall's
// top. A shot has left it once the ball's centre is above that top; it
// fell back if the centre is later in the strip again, and it is in play
// once the centre is below that top anywhere left of the wall.
struct ShooterLane {
  float wallLeft = 1e9f, wallRight = -1e9f, wallTop = 1e9f;

  explicit ShooterLane(const WorldObject& wall) {
    for (const Float2& q : wall.def->outline) {
      wallLeft = std::min(wallLeft, q.x + wall.position.x);
      wallRight = std::max(wallRight, q.x + wall.position.x);
      wallTop = std::min(wallTop, q.y + wall.position.y);
    }
  }
  bool in(Float2 p) const { return p.x > wallRight && p.y > wallTop; }
  bool inPlay(Float2 p) const { return p.x < wallLeft && p.y > wallTop; }
};

// Undecided: neither back in the lane nor in play when the time is up.
enum class Plunge { InPlay, FellBack, Undecided };

struct PlungeOutcome {
  Plunge result = Plunge::Undecided;
  int steps = 0;
  float slowest = 1e9f;  // the ball's lowest speed above the lane, px/s
  Float2 slowestAt{0, 0};
};

// Puts a ball on the plunger, lets it settle and shoots it at `speed`.
PlungeOutcome plunge(table::TableSim& sim, const ShooterLane& lane, float speed) {
  PlungeOutcome out;
  int ball = sim.spawnBall();
  for (int i = 0; i < 30; ++i) sim.step();
  sim.object(ball)->setVelocity(0, -speed);
  bool left = false;
  for (int i = 0; i < kPlungeSteps && out.result == Plunge::Undecided; ++i) {
    sim.step();
    const WorldObject* b = sim.object(ball);
    out.steps = i + 1;
    if (b->position.y < lane.wallTop) {
      left = true;
      float v = std::hypot(b->velocity.x, b->velocity.y);
      if (v < out.slowest) out.slowest = v, out.slowestAt = b->position;
    }
    if (left && lane.in(b->position)) out.result = Plunge::FellBack;
    if (left && lane.inPlay(b->position)) out.result = Plunge::InPlay;
  }
  sim.removeBall(ball);
  for (int i = 0; i < 30; ++i) sim.step();
  return out;
}

// ORVANE_PLUNGES=n shoots n balls and ORVANE_PLUNGE_SEED=s other speeds;
// the count of those that fell back is printed either way.
TEST(TablePlunge, FullPullsNeverFallBackDownTheShooterLane) {
  table::TableSim sim(table::packedTablePath());
  ASSERT_EQ(sim.rules.missing, "") << "the table's sources no longer say these numbers";
  ASSERT_TRUE(sim.ready()) << "the packed table is missing or damaged: "
                           << table::packedTablePath();
  const WorldObject* wall = sim.object(sim.number("ShooterWall"));
  ASSERT_NE(wall, nullptr);
  const ShooterLane lane(*wall);
  const int plunges = table::envNumber("ORVANE_PLUNGES", table::sanitized() ? 250 : 1000);
  const int seed = table::envNumber("ORVANE_PLUNGE_SEED", 20261209);
  const float low = sim.rules.launchMax - kFullPullSpread,
              high = sim.rules.launchMax + kFullPullSpread;
  std::mt19937 rng{unsigned(seed)};
  std::uniform_real_distribution<float> speeds(low, high);
  int fellBack = 0, undecided = 0;
  std::ostringstream cases;
  for (int i = 0; i < plunges; ++i) {
    float speed = speeds(rng);
    PlungeOutcome o = plunge(sim, lane, speed);
    if (o.result == Plunge::InPlay) continue;
    (o.result == Plunge::FellBack ? fellBack : undecided)++;
    if (fellBack + undecided <= 10)
      cases << "  plunge " << i << " at " << speed << " px/s "
            << (o.result == Plunge::FellBack ? "fell back" : "was still undecided") << " after "
            << o.steps << " steps; slowest " << o.slowest << " px/s at (" << o.slowestAt.x << ", "
            << o.slowestAt.y << ")\n";
  }
  std::printf("[ plunge ] %d plunges at %.0f-%.0f px/s (seed %d): %d fell back, %d undecided\n",
              plunges, low, high, seed, fellBack, undecided);
  EXPECT_EQ(fellBack, 0) << cases.str();
  EXPECT_EQ(undecided, 0) << (fellBack ? "" : cases.str());
}

}  // namespace
