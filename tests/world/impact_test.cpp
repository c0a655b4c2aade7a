// Balls shot at every kind of obstacle at the top of the speed range, 10,000
// to 12,000 px/s (up to 40 px per step, more than a ball's width), with
// masses from 0.01 to 100: none may get through, and none may sink into the
// obstacle more than a twelfth of its width. Fixed seeds: the same shots
// every run.
#include <gtest/gtest.h>

#include <sstream>

#include "impact_range.h"

namespace {

constexpr range::Band topSpeed{10000, 12000};

std::string describe(const range::Shot& s) {
  std::ostringstream out;
  out << "speed " << s.speed << " px/s, mass " << s.mass << ", deepest " << s.deepest << " px";
  if (s.spin != 0)
    out << ", flipper at " << s.spin << " rad/s meeting it " << s.radius << " px out";
  return out.str();
}

class ImpactTest : public ::testing::TestWithParam<range::Target> {};

TEST_P(ImpactTest, NothingGetsThroughAtTopSpeed) {
  // The plain contact, and the liveliest material there is: a bounce that
  // gives everything back, and friction that turns the ball.
  for (bool lively : {false, true}) {
    range::Range shootingRange;
    if (lively) shootingRange.setObstacleMaterial({1, 0, 1});
    std::mt19937 rng(1207 + int(GetParam()));
    int shots = 0, hits = 0;
    for (int round = 0; round < 5; ++round) {
      testing::internal::CaptureStdout();
      range::Round r = shootingRange.fire(GetParam(), topSpeed, rng);
      testing::internal::GetCapturedStdout();
      for (const range::Shot& s : r.shots) {
        ++shots;
        hits += s.hit;
        EXPECT_FALSE(s.through) << describe(s) << (lively ? ", lively" : "");
        EXPECT_LE(s.deepest, 2) << describe(s) << (lively ? ", lively" : "");
      }
    }
    EXPECT_EQ(shots, 210);
    // Every shot was aimed at the obstacle; a swinging flipper may stop short
    // of a ball or pass a slow one, but most met it.
    EXPECT_GT(hits, shots * 3 / 4);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryObstacle, ImpactTest, ::testing::ValuesIn(range::kAllTargets),
                         [](const ::testing::TestParamInfo<range::Target>& target) {
                           std::string name = range::targetName(target.param);
                           std::string out;
                           for (char c : name)
                             if (std::isalnum(static_cast<unsigned char>(c))) out += c;
                           return out;
                         });

TEST(ImpactBounceTest, AFastBallLeavesAPerfectlyElasticObstacleNoFasterThanItCame) {
  // Elasticity 1 and no friction: every shot should leave at the speed it
  // came. A ball this fast sees an obstacle's corners along normals some
  // degrees apart; each asking for the whole bounce along its own gave it
  // back 4 % more on average, and some shots 15 %.
  for (range::Target target : {range::Target::Posts, range::Target::Spikes}) {
    SCOPED_TRACE(range::targetName(target));
    range::Range shootingRange;
    shootingRange.setObstacleMaterial({1, 0, 0});
    std::mt19937 rng(45);
    double sum = 0;
    int hits = 0, faster = 0;
    for (int round = 0; round < 3; ++round) {
      testing::internal::CaptureStdout();
      range::Round r = shootingRange.fire(target, topSpeed, rng, 42, 1);
      testing::internal::GetCapturedStdout();
      for (const range::Shot& s : r.shots) {
        if (!s.hit) continue;
        ++hits;
        sum += s.speedOut / s.speed;
        faster += s.speedOut > 1.03f * s.speed;
      }
    }
    ASSERT_GT(hits, 100);
    EXPECT_LT(sum / hits, 1.01);
    EXPECT_LT(faster, hits / 10);
  }
}

TEST(ImpactSqueezeTest, AFlipperStruckIntoAnotherBallDoesNotSinkIntoIt) {
  // The heavy ball kicks the light blade round faster than any swing; the
  // light ball under it must be pushed ahead of it, not overrun.
  struct Case {
    float heavy, light, speed, at;
  };
  const Case cases[] = {{72, 2.5f, 7000, 60}, {16, 1.7f, 4500, 50}, {38, 0.03f, 5000, 30}};
  range::Range shootingRange;
  shootingRange.setObstacleMaterial({1, 0, 1});
  for (const Case& c : cases) {
    const range::Shot s = shootingRange.squeeze(c.heavy, c.light, c.speed, c.at);
    SCOPED_TRACE(testing::Message() << "masses " << c.heavy << " and " << c.light << ", " << c.speed
                                    << " px/s, " << c.at << " px out");
    EXPECT_FALSE(s.through);
    EXPECT_LE(s.deepest, 2);
  }
}

TEST(LaneTriggerTest, FastBallsCrossingAThinLaneAreSeen) {
  // 3,000 to 4,500 px/s is 10 to 15 px per step: a ball's outline still
  // crosses a 4 px strip on at least one step.
  range::Range shootingRange;
  std::mt19937 rng(31);
  testing::internal::CaptureStdout();
  std::vector<range::LaneShot> shots = shootingRange.fireThroughLanes({3000, 4500}, rng);
  testing::internal::GetCapturedStdout();
  for (const range::LaneShot& s : shots) EXPECT_TRUE(s.seen) << s.speed << " px/s";
}

}  // namespace
