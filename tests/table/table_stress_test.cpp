// The packed default table under punishment at full speed: a thousand
// launches with random plunger strength and random flipper play. No ball may
// leave the playfield, sink into a wall, or pass through a flipper.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <sstream>

#include "../point_in_polygon.h"
#include "table_env.h"
#include "table_sim.h"

namespace {

struct P {
  float x, y;
};

// Proper crossing of segments ab and cd.
bool segmentsCross(P a, P b, P c, P d) {
  auto side = [](P o, P u, P v) { return (u.x - o.x) * (v.y - o.y) - (u.y - o.y) * (v.x - o.x); };
  float d1 = side(c, d, a), d2 = side(c, d, b), d3 = side(a, b, c), d4 = side(a, b, d);
  return ((d1 > 0) != (d2 > 0)) && ((d3 > 0) != (d4 > 0)) && d1 != 0 && d2 != 0;
}

// The playfield's interior: inside the outer wall (x 40..760 below the
// arch, within the arch's inner radius of 360 around (400, 420)) and above
// the drain floor at y 1370. `slack` allows for soft contacts.
bool onTable(P p, float slack) {
  if (p.x < 40 - slack || p.x > 760 + slack || p.y > 1370 + slack) return false;
  if (p.y < 420) {
    float dx = p.x - 400, dy = p.y - 420;
    if (std::sqrt(dx * dx + dy * dy) > 360 + slack) return false;
  }
  return true;
}

// A thousand launches take about a minute in an optimised build and
// several times that under AddressSanitizer, which runs a quarter of them.
// ORVANE_TABLE_LAUNCHES=n runs n launches instead, and ORVANE_TABLE_SEED=s
// plays other shots: for a longer hunt.
int launchCount() {
  return table::envNumber("ORVANE_TABLE_LAUNCHES", table::sanitized() ? 250 : 1000);
}

class TableStress : public ::testing::Test {
 protected:
  void SetUp() override {
    sim = std::make_unique<table::TableSim>(table::packedTablePath());
    ASSERT_EQ(sim->rules.missing, "") << "the table's sources no longer say these numbers";
    ASSERT_TRUE(sim->ready()) << "the packed table is missing or damaged: "
                              << table::packedTablePath();
    sim->world.forEachObjectOf(sim->tableScene, [this](const WorldObject& o) {
      if (o.def->kind != KindStatic) return;
      std::vector<P> poly;
      for (const Float2& q : o.def->outline)
        poly.push_back({q.x + o.position.x, q.y + o.position.y});
      walls.push_back({o.def->name, poly});
    });
    ASSERT_GT(walls.size(), 10u);
  }

  // The flipper's centre line in the world: pivot to tip centre.
  void flipperLine(int flipper, P& pivot, P& tip) {
    WorldObject* f = sim->object(flipper);
    float restAngle = f->number == sim->leftFlipper ? 30.f : 150.f;
    float a = (restAngle + f->angleDegrees) * float(M_PI) / 180;
    pivot = {f->position.x, f->position.y};
    tip = {pivot.x + sim->rules.flipperLength * std::cos(a),
           pivot.y + sim->rules.flipperLength * std::sin(a)};
  }

  std::unique_ptr<table::TableSim> sim;
  std::vector<std::pair<std::string, std::vector<P>>> walls;
};

TEST_F(TableStress, ThousandLaunchesStayOnTheTableAndNeverCrossAFlipper) {
  std::mt19937 rng(unsigned(table::envNumber("ORVANE_TABLE_SEED", 20261208)));
  std::uniform_real_distribution<float> unit(0, 1);
  // Ten seconds of play per launch: time enough for most balls to come down
  // to the drain past the flippers.
  const int launches = launchCount(), maxSteps = 3000;
  float fastest = 0;
  long steps = 0, drains = 0;
  for (int trial = 0; trial < launches; ++trial) {
    int ball = sim->spawnBall();
    ASSERT_NE(ball, 0);
    // Settle on the plunger with the flippers at rest, then shoot.
    for (int i = 0; i < 30; ++i) {
      sim->driveFlippers(false, false);
      sim->step();
    }
    float strength =
        sim->rules.launchMin + (sim->rules.launchMax - sim->rules.launchMin) * unit(rng);
    sim->object(ball)->setVelocity(0, -strength);
    // Each flipper alternates between random holds and random pauses.
    int leftTimer = int(unit(rng) * 200), rightTimer = int(unit(rng) * 200);
    bool left = false, right = false;
    P last{sim->ballStart.x, sim->ballStart.y};
    sim->drained.clear();
    int resting = 0;
    for (int i = 0; i < maxSteps && sim->drained.empty(); ++i, ++steps) {
      // A weak shot falls back onto the plunger: shoot again, as a player would.
      WorldObject* shot = sim->object(ball);
      bool onPlunger = shot->position.x > 712 && shot->position.y > 1300 &&
                       std::hypot(shot->velocity.x, shot->velocity.y) < 30;
      if (onPlunger && ++resting > 30) {
        resting = 0;
        strength = sim->rules.launchMin + (sim->rules.launchMax - sim->rules.launchMin) * unit(rng);
        shot->setVelocity(0, -strength);
      }
      if (--leftTimer <= 0) left = !left, leftTimer = int(15 + unit(rng) * (left ? 90 : 240));
      if (--rightTimer <= 0) right = !right, rightTimer = int(15 + unit(rng) * (right ? 90 : 240));
      sim->driveFlippers(left, right);
      sim->step();
      WorldObject* b = sim->object(ball);
      ASSERT_NE(b, nullptr);
      P p{b->position.x, b->position.y};
      std::ostringstream where;
      where << "launch " << trial << " (strength " << strength << ") step " << i << ": ball at ("
            << p.x << ", " << p.y << ") moving (" << b->velocity.x << ", " << b->velocity.y << ")";
      ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y)) << where.str();
      ASSERT_TRUE(onTable(p, 4)) << "left the table: " << where.str();
      for (const auto& w : walls)
        ASSERT_FALSE(insidePolygon(w.second, p)) << "inside " << w.first << ": " << where.str();
      for (int f : {sim->leftFlipper, sim->rightFlipper}) {
        P pivot, tip;
        flipperLine(f, pivot, tip);
        ASSERT_FALSE(segmentsCross(last, p, pivot, tip))
            << "crossed a flipper turned " << sim->object(f)->angleDegrees << " degrees: from ("
            << last.x << ", " << last.y << "), " << where.str();
      }
      fastest = std::fmax(fastest, std::hypot(b->velocity.x, b->velocity.y));
      last = p;
    }
    drains += !sim->drained.empty();
    sim->removeBall(ball);
    for (int i = 0; i < 40; ++i) {
      sim->driveFlippers(false, false);
      sim->step();
    }
  }
  std::printf(
      "[ table ] %d launches, %ld steps, %ld drained, fastest ball %.0f px/s, %ld bumper, %ld "
      "sling, "
      "%ld spinner events\n",
      launches, steps, drains, fastest, sim->bumperHits, sim->slingHits, sim->spinnerTurns);
  // The table must actually be played, at a real machine's speed: balls
  // reach the bumpers and slings, flipper and plunger shots are fast, and
  // balls drain.
  EXPECT_GT(fastest, 3500);
  EXPECT_GT(sim->bumperHits, 0);
  EXPECT_GT(sim->slingHits, 0);
  EXPECT_GT(drains, launches / 10);
}

// A strong plunger shot goes round the arch and down the left orbit; the
// deflector at the orbit's foot must turn it back into play rather than let
// it run on down the left outlane.
TEST_F(TableStress, OrbitShotsComeBackIntoPlay) {
  const int outlane = sim->number("OutlaneLeft");
  ASSERT_NE(outlane, 0);
  for (float strength = 2500; strength <= 4000; strength += 250) {
    int ball = sim->spawnBall();
    for (int i = 0; i < 30; ++i) sim->step();
    sim->object(ball)->setVelocity(0, -strength);
    const long lost = sim->triggerHits[outlane];
    bool inOrbit = false, back = false;
    // Two seconds: round the arch, down the orbit and out across the table.
    for (int i = 0; i < 600 && !back; ++i) {
      sim->step();
      const WorldObject* b = sim->object(ball);
      inOrbit = inOrbit || (b->position.x < 110 && b->position.y > 620);
      back = inOrbit && b->position.x > 180;
    }
    EXPECT_TRUE(inOrbit) << "a shot at " << strength << " px/s missed the orbit";
    EXPECT_TRUE(back) << "a shot at " << strength << " px/s did not come back from the orbit";
    EXPECT_EQ(sim->triggerHits[outlane], lost)
        << "a shot at " << strength << " px/s went down the outlane";
    sim->removeBall(ball);
  }
}

// A ball dropped onto the left flipper and flipped at the right moment must
// be able to reach the top lanes, the highest targets on the table.
TEST_F(TableStress, AFlipperShotReachesTheTopLanes) {
  // The lane rollovers' lower end: a ball above it has crossed them.
  const WorldObject* lane = sim->object(sim->number("TopLane1"));
  ASSERT_NE(lane, nullptr);
  float laneEnd = -1e9f;
  for (const Float2& q : lane->def->outline) laneEnd = std::fmax(laneEnd, lane->position.y + q.y);
  float highest = 2000;
  for (float x = 280; x <= 340; x += 10) {
    for (int delay = 0; delay <= 60; delay += 15) {
      int ball = sim->spawnBall(x, 1150);
      int flipAt = -1;
      sim->drained.clear();
      for (int i = 0; i < 1500 && sim->drained.empty(); ++i) {
        WorldObject* b = sim->object(ball);
        if (flipAt < 0 && b->position.y > 1190) flipAt = i + delay;
        sim->driveFlippers(flipAt >= 0 && i >= flipAt && i < flipAt + 60, false);
        sim->step();
        if (flipAt >= 0 && i > flipAt) highest = std::fmin(highest, sim->object(ball)->position.y);
      }
      sim->removeBall(ball);
      for (int i = 0; i < 100; ++i) {
        sim->driveFlippers(false, false);
        sim->step();
      }
    }
  }
  EXPECT_LT(highest, laneEnd) << "the best flipper shot only reached y " << highest
                              << ", the top lanes end at y " << laneEnd;
}

}  // namespace
