// The island solver against ODE's exact step on the same contacts: random
// small islands of one to three bodies, contacts pressing, parting, closing
// a gap or pushing out, of masses far apart; the velocities must agree.
#include "world/island_solver.h"

#include <gtest/gtest.h>
#include <ode/ode.h>

#include <cmath>
#include <random>

namespace {

constexpr double h = 1.0 / 300;

struct OdeIsland {
  dWorldID world = dWorldCreate();
  dJointGroupID contacts = dJointGroupCreate(0);
  std::vector<dBodyID> bodies;
  ~OdeIsland() {
    dJointGroupDestroy(contacts);
    dWorldDestroy(world);
  }
};

TEST(IslandSolverTest, AgreesWithTheExactStepOnRandomIslands) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> unit(0, 1);
  auto between = [&](double lo, double hi) { return lo + (hi - lo) * unit(rng); };
  int solvedWithImpulse = 0;
  for (int trial = 0; trial < 300; ++trial) {
    OdeIsland ode;
    dWorldSetGravity(ode.world, 0, between(0, 1000), 0);
    dVector3 g;
    dWorldGetGravity(ode.world, g);
    std::vector<IslandBody> mine;
    const int bodies = 1 + trial % 3;
    for (int i = 0; i < bodies; ++i) {
      dBodyID b = dBodyCreate(ode.world);
      dMass m;
      const double mass = std::pow(10.0, between(-2, 2));
      dMassSetSphereTotal(&m, mass, between(5, 40));
      dBodySetMass(b, &m);
      const double x = between(-50, 50), y = between(-50, 50);
      const double vx = between(-3000, 3000), vy = between(-3000, 3000), spin = between(-50, 50);
      const double fx = between(-100, 100) * mass, fy = between(-100, 100) * mass;
      const double torque = between(-10, 10) * m.I[10];
      dBodySetPosition(b, x, y, 0);
      dBodySetLinearVel(b, vx, vy, 0);
      dBodySetAngularVel(b, 0, 0, spin);
      dBodyAddForce(b, fx, fy, 0);
      dBodyAddTorque(b, 0, 0, torque);
      ode.bodies.push_back(b);
      mine.push_back({x, y, vx + h * (fx / mass + g[0]), vy + h * (fy / mass + g[1]),
                      spin + h * torque / m.I[10], 1 / mass, 1 / m.I[10]});
    }
    std::vector<IslandRow> rows;
    const int count = 1 + int(unit(rng) * 8);
    for (int c = 0; c < count; ++c) {
      IslandRow r;
      r.body1 = int(unit(rng) * bodies);
      r.body2 = bodies > 1 && unit(rng) < 0.6 ? (r.body1 + 1) % bodies : -1;
      const double a = between(0, 2 * M_PI);
      r.nx = std::cos(a);
      r.ny = std::sin(a);
      r.px = mine[r.body1].x + between(-15, 15);
      r.py = mine[r.body1].y + between(-15, 15);
      r.target = between(-3000, 1000);
      const double cfm = between(1e-6, 1e-2) * h;
      r.softness = cfm / h;
      rows.push_back(r);

      dContact contact{};
      contact.surface.mode = dContactSoftERP | dContactSoftCFM | dContactMotionN;
      contact.surface.soft_cfm = cfm;
      contact.surface.motionN = r.target;
      contact.geom.pos[0] = r.px;
      contact.geom.pos[1] = r.py;
      contact.geom.normal[0] = r.nx;
      contact.geom.normal[1] = r.ny;
      dJointID j = dJointCreateContact(ode.world, ode.contacts, &contact);
      dJointAttach(j, ode.bodies[r.body1], r.body2 >= 0 ? ode.bodies[r.body2] : nullptr);
    }
    const std::vector<IslandBody> before = mine;
    IslandWork work;
    ASSERT_TRUE(solveIsland(mine, rows, work)) << "trial " << trial;
    dWorldStep(ode.world, h);
    for (int i = 0; i < bodies; ++i) {
      const dReal* v = dBodyGetLinearVel(ode.bodies[i]);
      const double spin = dBodyGetAngularVel(ode.bodies[i])[2];
      const double scale = 1e-6 * (1 + std::fabs(v[0]) + std::fabs(v[1]));
      EXPECT_NEAR(mine[i].vx, v[0], scale) << "trial " << trial << " body " << i;
      EXPECT_NEAR(mine[i].vy, v[1], scale) << "trial " << trial << " body " << i;
      EXPECT_NEAR(mine[i].spin, spin, 1e-6 * (1 + std::fabs(spin))) << "trial " << trial;
      if (std::fabs(mine[i].vx - before[i].vx) > 1) ++solvedWithImpulse;
    }
  }
  // Most islands have contacts that push; a solver doing nothing must fail.
  EXPECT_GT(solvedWithImpulse, 150);
}

// Two contacts on one line pressing one ball: the softness shares the load
// and the ball stops, whatever the order the contacts come in.
TEST(IslandSolverTest, RedundantContactsStopABall) {
  std::vector<IslandBody> ball{{0, 0, 0, 500, 0, 1, 1.0 / 57.6}};
  std::vector<IslandRow> rows;
  for (double x : {-4.0, 4.0, 0.0}) rows.push_back({0, -1, x, 12, 0, -1, 0, 1e-3});
  IslandWork work;
  ASSERT_TRUE(solveIsland(ball, rows, work));
  EXPECT_NEAR(ball[0].vy, 0, 0.5);
  EXPECT_NEAR(ball[0].spin, 0, 1e-6);
}

// Relaxation converges on the exact answer: a pile of balls on a floor, each
// pressed down by gravity, solved both ways.
TEST(IslandSolverTest, RelaxationConvergesOnTheExactAnswer) {
  std::vector<IslandBody> pile;
  std::vector<IslandRow> rows;
  for (int i = 0; i < 6; ++i) {
    // A row of four on the floor, two resting in the hollows above.
    const bool low = i < 4;
    const double x = low ? 24.0 * i : 12 + 24.0 * (i - 4), y = low ? 0 : -20.8;
    pile.push_back({x, y, 0, 400 * h + (i % 3) * 5.0, 0, 1, 1.0 / 57.6});
    if (low) rows.push_back({i, -1, x, 12, 0, -1, 0, 1e-3});
    if (low && i > 0) rows.push_back({i, i - 1, x - 12, 0, 1, 0, -0.5, 1e-3});
  }
  for (int top = 4; top < 6; ++top)
    for (int below : {top - 4, top - 3}) {
      const double dx = pile[top].x - pile[below].x, dy = pile[top].y - pile[below].y;
      const double d = std::hypot(dx, dy);
      rows.push_back(
          {top, below, pile[below].x + dx / 2, pile[below].y + dy / 2, dx / d, dy / d, 0, 1e-3});
    }
  std::vector<IslandBody> exact = pile, relaxed = pile;
  IslandWork work;
  ASSERT_TRUE(solveIsland(exact, rows, work));
  relaxIsland(relaxed, rows, 3000, work);
  for (size_t i = 0; i < pile.size(); ++i) {
    EXPECT_NEAR(relaxed[i].vx, exact[i].vx, 1e-3) << "ball " << i;
    EXPECT_NEAR(relaxed[i].vy, exact[i].vy, 1e-3) << "ball " << i;
    EXPECT_NEAR(relaxed[i].spin, exact[i].spin, 1e-4) << "ball " << i;
  }
  // A few sweeps already stop the pile sinking into the floor.
  relaxed = pile;
  relaxIsland(relaxed, rows, 6, work);
  for (int i = 0; i < 4; ++i) EXPECT_LT(relaxed[i].vy, 0.5) << "ball " << i;
}

// Contacts that share no body answer to nothing but their own bodies: two
// islands solved in one call, their rows interleaved, come out to the bit as
// each solved alone. Holds for either solver, and for scratch space that
// served bigger and smaller islands before.
TEST(IslandSolverTest, IslandsSolvedTogetherComeOutAsSolvedApart) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> unit(0, 1);
  auto between = [&](double lo, double hi) { return lo + (hi - lo) * unit(rng); };
  IslandWork shared;
  for (bool exact : {true, false}) {
    for (int trial = 0; trial < 200; ++trial) {
      std::vector<IslandBody> group[2], together;
      std::vector<IslandRow> rows[2], mixed;
      for (int g = 0; g < 2; ++g) {
        const int bodies = 1 + int(unit(rng) * 3);
        for (int i = 0; i < bodies; ++i)
          group[g].push_back({between(-50, 50), between(-50, 50), between(-500, 500),
                              between(-500, 500), between(-5, 5), 1 / between(0.5, 2),
                              1 / between(50, 500)});
        for (int c = int(2 + unit(rng) * 6); c > 0; --c) {
          const int b1 = int(unit(rng) * bodies);
          const int b2 = bodies > 1 && unit(rng) < 0.5 ? (b1 + 1) % bodies : -1;
          const double a = between(0, 2 * M_PI);
          rows[g].push_back({b1, b2, group[g][b1].x + between(-12, 12),
                             group[g][b1].y + between(-12, 12), std::cos(a), std::sin(a),
                             between(-300, 100), between(1e-4, 1e-2)});
        }
      }
      together = group[0];
      together.insert(together.end(), group[1].begin(), group[1].end());
      const int offset = int(group[0].size());
      const size_t count = together.size();
      for (size_t next[2] = {0, 0}; next[0] + next[1] < rows[0].size() + rows[1].size();) {
        const int g =
            next[1] == rows[1].size() || (next[0] < rows[0].size() && unit(rng) < 0.5) ? 0 : 1;
        IslandRow r = rows[g][next[g]++];
        if (g == 1) r.body1 += offset, r.body2 = r.body2 < 0 ? -1 : r.body2 + offset;
        mixed.push_back(r);
      }
      bool apart = true;
      for (int g = 0; g < 2; ++g) {
        IslandWork own;
        if (!exact) relaxIsland(group[g], rows[g], 6, own);
        if (exact) apart = solveIsland(group[g], rows[g], own) && apart;
      }
      if (!exact) relaxIsland(together, mixed, 6, shared);
      if (exact && !solveIsland(together, mixed, shared)) continue;
      ASSERT_TRUE(apart) << "trial " << trial;
      ASSERT_EQ(together.size(), count);
      ASSERT_EQ(group[0].size() + group[1].size(), count);
      for (size_t i = 0; i < together.size(); ++i) {
        const IslandBody& alone = i < size_t(offset) ? group[0][i] : group[1][i - offset];
        EXPECT_EQ(together[i].vx, alone.vx) << "exact " << exact << " trial " << trial;
        EXPECT_EQ(together[i].vy, alone.vy) << "exact " << exact << " trial " << trial;
        EXPECT_EQ(together[i].spin, alone.spin) << "exact " << exact << " trial " << trial;
      }
    }
  }
}

}  // namespace
