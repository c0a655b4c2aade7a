// Closest-feature contacts between solid outlines, against gaps, overlaps
// and normals worked out by hand.
#include "world/solid_contacts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "world/polygon_geom.h"
#include "world_fixture.h"

namespace {

class SolidContactsTest : public GeomTest {
 protected:
  int collide(dGeomID a, dGeomID b, float reach, bool smooth = false, int max = 32) {
    return collideSolids(a, b, reach, smooth, contacts, max);
  }
  // The contacts that are not guards, in order.
  std::vector<SolidContact> plain(int n) const {
    std::vector<SolidContact> out;
    for (int i = 0; i < n; ++i)
      if (!contacts[i].guard) out.push_back(contacts[i]);
    return out;
  }
  SolidContact contacts[32];
};

// A 10x10 box held 3 px over a wide floor whose top face is y = 0.
struct BoxOverFloor {
  ObjectDef box = objectDef("box", KindDynamic, {}, rectOutline(-5, -5, 5, 5));
  ObjectDef floor = objectDef("floor", KindDynamic, {}, rectOutline(-100, 0, 100, 20));
};

TEST_F(SolidContactsTest, AGapWithinReachGivesContactsThatCarryIt) {
  BoxOverFloor s;
  dGeomID box = make(s.box, 0, -8), floor = make(s.floor);
  // The box's two bottom corners face the floor 3 px away; the normal points
  // from the floor (second) to the box (first), halfway between them.
  ASSERT_EQ(collide(box, floor, 4), 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_NEAR(contacts[i].depth, -3, 1e-4);
    EXPECT_NEAR(contacts[i].normal.x, 0, 1e-6);
    EXPECT_NEAR(contacts[i].normal.y, -1, 1e-6);
    EXPECT_NEAR(contacts[i].position.y, -1.5, 1e-4);
    EXPECT_EQ(contacts[i].edgeOwner, 2);
  }
  EXPECT_NEAR(std::fabs(contacts[0].position.x - contacts[1].position.x), 10, 1e-4);
  // Farther than the reach: nothing.
  EXPECT_EQ(collide(box, floor, 2.9f), 0);
  // In the other order the normal turns round and the edge is the first's.
  ASSERT_EQ(collide(floor, box, 4), 2);
  EXPECT_NEAR(contacts[0].normal.y, 1, 1e-6);
  EXPECT_EQ(contacts[0].edgeOwner, 1);
}

TEST_F(SolidContactsTest, OverlapIsMeasuredFromTheFaceThePointCameThrough) {
  // A box sunk 1.5 px into a wall 4 px thick, with points along its top:
  // its corners are pushed back up, not on through the far face 2.5 px
  // away. The wall's point (0, 0), inside the box, lies on a straight
  // stretch of the wall and makes no contact of its own.
  ObjectDef box = objectDef("box", KindDynamic, {}, rectOutline(-5, -5, 5, 5));
  ObjectDef wall = objectDef("wall", KindStatic, {}, rectOutline(-100, 0, 100, 4));
  wall.outline.insert(wall.outline.end(), {{10, 0}, {0, 0}, {-10, 0}});
  int n = collide(make(box, 0, -3.5f), make(wall), 1, true);
  ASSERT_EQ(n, 2);
  for (int i = 0; i < n; ++i) {
    EXPECT_FALSE(contacts[i].guard);
    EXPECT_NEAR(contacts[i].depth, 1.5, 1e-4);
    EXPECT_NEAR(contacts[i].normal.x, 0, 1e-6);
    EXPECT_NEAR(contacts[i].normal.y, -1, 1e-6);
  }
}

TEST_F(SolidContactsTest, CornerMeetsCornerAlongTheLineBetweenThem) {
  // Two squares corner to corner on the diagonal, 3*sqrt(2) apart: neither
  // corner faces an edge, so the contact runs from corner to corner.
  ObjectDef a = objectDef("a", KindDynamic, {}, rectOutline(-5, -5, 5, 5));
  ObjectDef b = objectDef("b", KindDynamic, {}, rectOutline(-5, -5, 5, 5));
  ASSERT_EQ(collide(make(a), make(b, 13, 13), 5), 1);
  EXPECT_NEAR(contacts[0].depth, -3 * std::sqrt(2.f), 1e-4);
  EXPECT_NEAR(contacts[0].normal.x, -std::sqrt(0.5f), 1e-5);
  EXPECT_NEAR(contacts[0].normal.y, -std::sqrt(0.5f), 1e-5);
  EXPECT_NEAR(contacts[0].position.x, 6.5, 1e-4);
  EXPECT_EQ(contacts[0].edgeOwner, 0);
}

TEST_F(SolidContactsTest, ASpikeTipIsMetByTheFaceItPointsAt) {
  // A static spike pointing up at a box's flat bottom, 2 px below it.
  ObjectDef box = objectDef("box", KindDynamic, {}, rectOutline(-5, -5, 5, 5));
  ObjectDef spike = objectDef("spike", KindStatic, {}, {{-6, 12}, {6, 12}, {0, 0}});
  int n = collide(make(box, 1, -7), make(spike), 3, true);
  std::vector<SolidContact> c = plain(n);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_NEAR(c[0].depth, -2, 1e-4);
  EXPECT_NEAR(c[0].position.x, 0, 1e-4);
  EXPECT_NEAR(c[0].position.y, -1, 1e-4);
  EXPECT_EQ(c[0].edgeOwner, 1);  // the box's face
}

TEST_F(SolidContactsTest, BlendedNormalsOfStaticEdgesComeWithAGuard) {
  // A floor with no points along its top: the corner normals (-r2,-r2) and
  // (r2,-r2) blend along it, so over x = -50 the normal leans some 26
  // degrees; a guard along the edge's own normal keeps the point from
  // sliding down the lean into the floor.
  // (Reach 4: a moving pair. One that barely moves keeps a single guard.)
  ObjectDef box = objectDef("box", KindDynamic, {}, rectOutline(-1, -5, 1, 1));
  ObjectDef floor = objectDef("floor", KindStatic, {}, rectOutline(-100, 0, 100, 20));
  int n = collide(make(box, -50, -2), make(floor), 4, true);
  int guards = 0;
  for (int i = 0; i < n; ++i) {
    EXPECT_NEAR(contacts[i].depth, -1, 1e-4);
    if (contacts[i].guard) {
      ++guards;
      EXPECT_NEAR(contacts[i].normal.y, -1, 1e-6);
    } else {
      // The top edge runs from (100,0) to (-100,0); the corners at x = -51
      // and -49 are at t = 0.755 and 0.745, around t = 0.75 where the normal
      // is normalise((r2,-r2) + 0.75*((-r2,-r2) - (r2,-r2))) = (-0.447, -0.894).
      EXPECT_NEAR(contacts[i].normal.x, -0.447, 0.01);
      EXPECT_NEAR(contacts[i].normal.y, -0.894, 0.01);
    }
  }
  EXPECT_EQ(guards, 2);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(collide(geoms[0], geoms[1], settledReach, true), 3);
  // Points along the edge straighten the normal: no lean, no guard.
  ObjectDef flat = objectDef("flat", KindStatic, {}, rectOutline(-100, 0, 100, 20));
  flat.outline = {{-100, 0}, {-100, 20}, {100, 20}, {100, 0}, {-40, 0}, {-60, 0}};
  n = collide(make(box, -50, -2), make(flat), 2, true);
  EXPECT_EQ(plain(n).size(), size_t(n));
}

TEST_F(SolidContactsTest, TwoRoundBodiesTouchAtOnePoint) {
  // Sixteen-sided balls give a contact per corner near the other; between
  // two moving convex bodies only the closest is kept.
  // b is turned half a side, so that a corner of it points at a's face
  // 24.5 - 12 - 12 cos(11.25 deg) = 0.73 px away.
  ObjectDef ball = objectDef("ball", KindDynamic, {}, ballOutline(12));
  dGeomID a = make(ball), b = make(ball, 24.5f, 0);
  dMatrix3 R;
  dRFromAxisAndAngle(R, 0, 0, 1, M_PI / 16);
  dGeomSetRotation(b, R);
  ASSERT_EQ(collide(a, b, 3), 1);
  EXPECT_NEAR(contacts[0].depth, -0.73, 0.01);
  EXPECT_NEAR(contacts[0].normal.x, -1, 1e-5);  // from b towards a
  // Flat faces lying against each other keep two points of support.
  ObjectDef box = objectDef("box", KindDynamic, {}, rectOutline(-5, -5, 5, 5));
  EXPECT_EQ(collide(make(box), make(box, 0, 10.5f), 1), 2);
}

TEST_F(SolidContactsTest, SettledConvexPairsFindTheSameClosestFeatures) {
  // Bodies that barely move take a shorter way to their closest features
  // (reach up to settledReach); it must find the gap or overlap that the
  // full search over every point finds.
  ObjectDef ball = objectDef("ball", KindDynamic, {}, ballOutline(12));
  ObjectDef flipper = objectDef("flipper", KindDynamic, {}, {});
  for (int i = 0; i <= 8; ++i) {
    double a = M_PI / 2 + M_PI * i / 8;
    flipper.outline.push_back({float(14 * std::cos(a)), float(14 * std::sin(a))});
  }
  for (int i = 0; i <= 8; ++i) {
    double a = -M_PI / 2 + M_PI * i / 8;
    flipper.outline.push_back({float(74 + 9 * std::cos(a)), float(9 * std::sin(a))});
  }
  std::reverse(flipper.outline.begin(), flipper.outline.end());
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> unit(0, 1);
  dGeomID a = make(ball), b = make(flipper), c = make(ball);
  for (int trial = 0; trial < 500; ++trial) {
    dGeomID other = trial % 2 ? b : c;
    dMatrix3 R;
    dRFromAxisAndAngle(R, 0, 0, 1, unit(rng) * 2 * M_PI);
    dGeomSetRotation(a, R);
    dRFromAxisAndAngle(R, 0, 0, 1, unit(rng) * 2 * M_PI);
    dGeomSetRotation(other, R);
    // Move a in along a random direction (towards the middle of the other)
    // until the full search finds it within reach, then compare.
    const float midX = trial % 2 ? 30 * R[0] : 0, midY = trial % 2 ? 30 * R[4] : 0;
    float angle = unit(rng) * 2 * M_PI, along = 100;
    int full = 0;
    while (full == 0 && along > -20) {
      along -= 0.37f;
      dGeomSetPosition(a, std::cos(angle) * along + midX, std::sin(angle) * along + midY, 0);
      full = collide(a, other, settledReach + 0.01f);
    }
    ASSERT_GT(full, 0) << "trial " << trial;
    for (float more : {0.f, 1.f, 2.f}) {
      along -= more;
      dGeomSetPosition(a, std::cos(angle) * along + midX, std::sin(angle) * along + midY, 0);
      full = collide(a, other, settledReach + 0.01f);
      float deepest = -1e9f;
      for (int i = 0; i < full; ++i) deepest = std::max(deepest, contacts[i].depth);
      if (deepest < -settledReach) continue;
      int settled = collide(a, other, settledReach);
      ASSERT_GT(settled, 0) << "trial " << trial;
      // Overlaps are measured along a face rather than to the nearest edge:
      // a hair apart.
      EXPECT_NEAR(contacts[0].depth, deepest, deepest > 0 ? 0.01 : 2e-3) << "trial " << trial;
    }
  }
}

TEST_F(SolidContactsTest, AFullBufferKeepsTheClosestContacts) {
  // A slightly tilted bar over a row of teeth 20 px apart: a contact per
  // tooth, the gaps growing to the right.
  ObjectDef bar = objectDef("bar", KindDynamic, {}, rectOutline(-100, -2, 100, 2));
  ObjectDef teeth = objectDef("teeth", KindStatic, {}, {{-200, 0}, {-200, 20}, {200, 20}});
  for (int x = 200; x > -200; x -= 20) {
    teeth.outline.push_back({float(x), 6});
    teeth.outline.push_back({float(x - 10), 0});
  }
  dGeomID b = make(bar, 0, -5), f = make(teeth);
  dMatrix3 R;
  dRFromAxisAndAngle(R, 0, 0, 1, -0.01);
  dGeomSetRotation(b, R);
  const int all = collide(b, f, 5, true);
  ASSERT_GT(all, 8);
  ASSERT_LT(all, 32);
  std::vector<float> depths;
  for (int i = 0; i < all; ++i) depths.push_back(contacts[i].depth);
  std::sort(depths.rbegin(), depths.rend());
  ASSERT_EQ(collide(b, f, 5, true, 4), 4);
  std::vector<float> kept;
  for (int i = 0; i < 4; ++i) kept.push_back(contacts[i].depth);
  std::sort(kept.rbegin(), kept.rend());
  for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(kept[i], depths[i]);
}

TEST_F(SolidContactsTest, BrokenOutlinesGiveNothingOrFiniteContacts) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  ObjectDef box = objectDef("box", KindDynamic, {}, rectOutline(-5, -5, 5, 5));
  ObjectDef segment = objectDef("segment", KindStatic, {}, {{-10, 0}, {10, 0}});
  ObjectDef damaged = objectDef("damaged", KindStatic, {}, rectOutline(-100, 0, 100, 20));
  damaged.outline[1].x = nan;
  dGeomID b = make(box, 0, -5.5f);
  EXPECT_EQ(collide(b, b, 5), 0);
  EXPECT_EQ(collide(b, make(segment), 5), 0);
  int n = collide(b, make(damaged), 5, true);
  for (int i = 0; i < n; ++i) {
    // NaN contacts are dropped by the step, but none of these is NaN here:
    // the damaged edges are never the nearest.
    EXPECT_TRUE(std::isfinite(contacts[i].depth));
  }
}

}  // namespace
