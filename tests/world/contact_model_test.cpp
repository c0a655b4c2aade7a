// The contact model: which solver an island gets, how a pair's materials
// combine, and what a material does to a ball dropped or slid on a floor.
#include <algorithm>

#include "world/contact_material.h"
#include "world/islands.h"
#include "world_fixture.h"

namespace {

TEST(ContactModelTest, EachIslandGetsItsSolver) {
  struct Case {
    const char* what;
    IslandSummary island;
    IslandSolver solver;
  };
  // bodies, rows, in scale, plain, most and least giving (inverse masses),
  // bouncing off a material
  const Case cases[] = {
      {"a ball on the floor", {1, 2, true, true, 1, 1}, IslandSolver::Exact},
      {"a flipper and its ball", {2, 3, true, false, 1, 0.3}, IslandSolver::OdeExact},
      {"a pile of balls", {6, 30, true, true, 1, 1}, IslandSolver::Relaxed},
      {"a big pile", {30, 80, true, true, 1, 1}, IslandSolver::OdeIterative},
      {"one body with many contacts", {1, 30, true, true, 1, 1}, IslandSolver::OdeIterative},
      {"a fast ball bouncing off a rubber post",
       {1, 30, true, true, 1, 1, true},
       IslandSolver::Exact},
      {"a flipper bouncing a fast ball at many corners",
       {2, 30, true, false, 1, 0.3, true},
       IslandSolver::OdeExact},
      {"a linked machine with many contacts",
       {5, 30, true, false, 1, 1},
       IslandSolver::OdeIterative},
      {"a light ball struck by a heavy one", {2, 30, true, true, 100, 1}, IslandSolver::Exact},
      {"such an impact with more contacts", {2, 60, true, true, 100, 1}, IslandSolver::OdeExact},
      {"an impact out of scale", {2, 30, false, true, 100, 1}, IslandSolver::Relaxed},
  };
  for (const Case& c : cases)
    EXPECT_EQ(int(chooseSolver(c.island, contactTuning)), int(c.solver)) << c.what;
}

TEST(ContactModelTest, APairTakesTheLivelierBounceAndTheMeanFriction) {
  const Material post{0.9f, 0.1f, 0.3f}, rubber{0.88f, 0.15f, 0.9f}, dead{0, 0, 0.5f};
  struct Case {
    bool has1;
    Material m1;
    bool has2;
    Material m2;
    double speed, restitution, friction;
  };
  const Case cases[] = {
      {false, {}, false, {}, 1000, 0.2, 0},                 // the plain contact
      {true, post, false, {}, 0, 0.9, 0.3},                 // one side: its own
      {false, {}, true, post, 1000, 0.9 / 1.1, 0.3},        // falloff per 1000 px/s
      {true, post, true, rubber, 0, 0.9, std::sqrt(0.27)},  // the larger, the mean
      {true, post, true, rubber, 4000, 0.9 / 1.4, std::sqrt(0.27)},
      {true, dead, true, rubber, 0, 0.88, std::sqrt(0.45)},
  };
  for (const Case& c : cases) {
    const PairMaterial pair = pairMaterial(c.has1, c.m1, c.has2, c.m2);
    EXPECT_NEAR(pair.restitution(c.speed), c.restitution, 1e-6) << c.speed;
    EXPECT_NEAR(pair.friction(), c.friction, 1e-6) << c.speed;
  }
}

// A long flat floor at y = 400 and a ball over it.
struct Floor {
  TestCatalog cat;
  std::unique_ptr<World> world;
  WorldObject* ball = nullptr;
  Floor(const Material& floor, float gravity, Float2 at) {
    SceneDef& table = cat.addScene("floor");
    table.objects.push_back(
        objectDef("floor", KindStatic, {}, subdivide(rectOutline(-400, 400, 2000, 460), 20)));
    table.objects.back().hasMaterial = true;
    table.objects.back().material = floor;
    SceneDef& balls = cat.addScene("ball");
    balls.objects.push_back(objectDef("ball", KindDynamic, {}, ballOutline(12)));
    world.reset(new World(cat.data));
    world->setGravity(gravity);
    world->spawnScene(&table, 0, 0);
    world->spawnScene(&balls, at.x, at.y);
    ball = world->findObjectByName(2, "ball");
  }
  // The height of the first rebound over the height of the drop, both from
  // where the ball turned: a fast ball turns up to a step's travel short of
  // the face, where its contact says it would meet it within the step.
  float firstRebound() {
    const float start = ball->position.y;
    float lowest = start, top = 1e9f;
    bool bounced = false;
    for (int i = 0; i < 3000; ++i) {
      world->step(stepLength);
      if (ball->velocity.y < 0) bounced = true;
      if (bounced && ball->velocity.y > 0) break;
      if (bounced) top = std::min(top, ball->position.y);
      lowest = std::max(lowest, ball->position.y);
    }
    return (lowest - top) / (lowest - start);
  }
};

constexpr float ballInradius = 11.7694f;

TEST(ContactModelTest, ABallRisesToTheSquareOfTheElasticity) {
  // Dropped 200 px onto floors of growing elasticity, with no falloff.
  const float rest = 400 - ballInradius;
  for (float e : {0.2f, 0.5f, 0.8f, 1.0f}) {
    Floor f({e, 0, 0}, 2000, {0, rest - 200});
    EXPECT_NEAR(f.firstRebound(), e * e, 0.03 * e * e) << "elasticity " << e;
  }
  // With falloff, a harder drop rebounds relatively less.
  float share[2];
  for (int i = 0; i < 2; ++i) {
    const float drop = i == 0 ? 50 : 800;
    Floor f({0.9f, 0.5f, 0}, 2000, {0, rest - drop});
    share[i] = f.firstRebound();
  }
  EXPECT_GT(share[0], share[1] * 1.2f);
}

TEST(ContactModelTest, FrictionSetsASlidingBallRolling) {
  // Slid along the floor without spin: friction turns it until it rolls,
  // slower than it slid (a solid ball keeps 1 / (1 + 2/5) of its speed, a
  // many-sided one a little less). Without friction it slides on unturned.
  const float rest = 400 - ballInradius;
  for (float friction : {0.f, 0.5f}) {
    Floor f({0, 0, friction}, 2000, {0, rest});
    f.ball->setVelocity(600, 0);
    for (int i = 0; i < 150; ++i) f.world->step(stepLength);
    const float v = f.ball->velocity.x, rolled = f.ball->angularVelocity * 12;
    if (friction == 0) {
      EXPECT_NEAR(v, 600, 1);
      EXPECT_NEAR(rolled, 0, 0.01f);
    } else {
      EXPECT_NEAR(rolled, v, 0.05f * v);
      EXPECT_GT(v, 250);
      EXPECT_LT(v, 600 / 1.4f + 10);
    }
    EXPECT_NEAR(f.ball->position.y, rest, 2) << "friction " << friction;
  }
}

}  // namespace
