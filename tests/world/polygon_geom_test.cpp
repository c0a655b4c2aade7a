// The polygon collider against contacts worked out by hand.
#include "world/polygon_geom.h"

#include <gtest/gtest.h>

#include <cmath>

#include "world/contact_log.h"
#include "world_fixture.h"

namespace {

constexpr float r2 = 0.70710678f;  // 1/sqrt(2)

class ColliderTest : public GeomTest {
 protected:
  int collide(dGeomID a, dGeomID b, int max = 32) {
    return collidePolygons(a, b, max, contacts, int(sizeof(dContactGeom)));
  }
  dContactGeom contacts[32];
};

void expectContact(const dContactGeom& c, float x, float y, float nx, float ny, float depth,
                   dGeomID g1, dGeomID g2) {
  EXPECT_NEAR(c.pos[0], x, 1e-4);
  EXPECT_NEAR(c.pos[1], y, 1e-4);
  EXPECT_EQ(c.pos[2], 0);
  EXPECT_NEAR(c.normal[0], nx, 1e-3);
  EXPECT_NEAR(c.normal[1], ny, 1e-3);
  EXPECT_EQ(c.normal[2], 0);
  EXPECT_NEAR(c.depth, depth, 1e-3);
  EXPECT_EQ(c.g1, g1);
  EXPECT_EQ(c.g2, g2);
}

// A 10x10 square and a 2 px wide bar poking down through its top edge to
// y = h; the bar's sides cross the square's top edge at (4,0) and (6,0).
struct Poke {
  ObjectDef square, bar;
  Poke(float h, int squareKind = KindDynamic) {
    square = objectDef("square", squareKind, {}, rectOutline(0, 0, 10, 10));
    bar = objectDef("bar", KindDynamic, {}, rectOutline(4, -5, 6, h));
  }
};

TEST_F(ColliderTest, PokingBarGivesTwoContactsPerCrossingInEdgeOrder) {
  Poke p(2);
  dGeomID a = make(p.square), b = make(p.bar);
  // Depth: the bar's end lies 2 below the top edge; 2 * 1.5 = 3.
  ASSERT_EQ(collide(a, b), 4);
  expectContact(contacts[0], 4, 0, 0, 1, 3, a, b);   // -N1 of the top edge
  expectContact(contacts[1], 4, 0, -1, 0, 3, b, a);  // N2 of the bar's left side
  expectContact(contacts[2], 6, 0, 0, 1, 3, a, b);
  expectContact(contacts[3], 6, 0, 1, 0, 3, b, a);
}

TEST_F(ColliderTest, ContactLimitKeepsTheFirstContacts) {
  Poke p(2);
  dGeomID a = make(p.square), b = make(p.bar);
  ASSERT_EQ(collide(a, b, 1), 1);
  expectContact(contacts[0], 4, 0, 0, 1, 3, a, b);
  // A limit of 0 counts as 1; only the low 16 bits are the limit.
  EXPECT_EQ(collide(a, b, 0), 1);
  EXPECT_EQ(collide(a, b, 0x10000 | 3), 3);
}

TEST_F(ColliderTest, DepthMustExceedHalfAPixel) {
  // 1/3 below the edge: 1/3 * 1.5 is exactly 0.5 in single precision.
  Poke exact(1.0f / 3);
  EXPECT_EQ(collide(make(exact.square), make(exact.bar)), 0);
  Poke deeper(0.34f);
  EXPECT_EQ(collide(make(deeper.square), make(deeper.bar)), 4);
  EXPECT_NEAR(contacts[0].depth, 0.51, 1e-5);
}

TEST_F(ColliderTest, SameGeomNeverCollides) {
  Poke p(2);
  dGeomID a = make(p.square);
  EXPECT_EQ(collide(a, a), 0);
}

TEST_F(ColliderTest, StaticPairsUseInterpolatedVertexNormals) {
  Poke p(2, KindStatic);
  dGeomID a = make(p.square), b = make(p.bar);
  ASSERT_EQ(collide(a, b), 4);
  // Top edge from (10,0) to (0,0), corner normals (r2,-r2) and (-r2,-r2),
  // crossed at t = 0.6: normalise(-0.1414, -0.7071) = (-0.1961, -0.9806).
  expectContact(contacts[0], 4, 0, 0.1961f, 0.9806f, 3, a, b);
  // Bar side from (4,-5) to (4,2), corner normals (-r2,-r2) and (-r2,r2),
  // crossed at u = 5/7: normalise(-0.7071, 0.3031) = (-0.9191, 0.3939).
  expectContact(contacts[1], 4, 0, -0.9191f, 0.3939f, 3, b, a);
}

TEST_F(ColliderTest, CrossingAtAnEdgeEndCounts) {
  // A triangle whose long side runs along the square's diagonal: it meets
  // the square's outline only at the corners (0,0) and (10,10).
  ObjectDef square = objectDef("square", KindDynamic, {}, rectOutline(0, 0, 10, 10));
  ObjectDef wedge = objectDef("wedge", KindDynamic, {}, {{-5, -5}, {15, 15}, {15, -5}});
  dGeomID a = make(square), b = make(wedge);
  ASSERT_EQ(collide(a, b), 4);
  // Right side (10,10)->(10,0) at t = 0: depths 15 and 7.071, times 1.5.
  expectContact(contacts[0], 10, 10, -1, 0, 10.6066f, a, b);
  expectContact(contacts[1], 10, 10, -r2, r2, 10.6066f, b, a);
  // Top side (10,0)->(0,0) at t = 1.
  expectContact(contacts[2], 0, 0, 0, 1, 10.6066f, a, b);
  expectContact(contacts[3], 0, 0, -r2, r2, 10.6066f, b, a);
}

TEST_F(ColliderTest, TouchingAndParallelOutlinesGiveNothing) {
  ObjectDef square = objectDef("square", KindDynamic, {}, rectOutline(0, 0, 10, 10));
  // Boxes touch at x = 10 but the triangle's outline stays clear.
  ObjectDef triangle = objectDef("triangle", KindDynamic, {}, {{10, 15}, {20, 15}, {20, 5}});
  // Side by side, sharing the edge x = 10.
  ObjectDef neighbour = objectDef("neighbour", KindDynamic, {}, rectOutline(10, 0, 20, 10));
  // Sitting on the top edge: its bottom overlaps the top edge, collinear.
  ObjectDef lid = objectDef("lid", KindDynamic, {}, rectOutline(2, -5, 8, 0));
  dGeomID a = make(square);
  EXPECT_EQ(collide(a, make(triangle)), 0);
  EXPECT_EQ(collide(a, make(neighbour)), 0);
  EXPECT_EQ(collide(a, make(lid)), 0);
}

TEST_F(ColliderTest, FacingTestSuppressesEdgesThatFaceTheSameWay) {
  // The bar's left side leans: its normal (-7,-1)/sqrt(50) has a positive
  // dot product with the top edge's (0,-1), so that crossing is dropped. The
  // right side's normal (1,0) gives 0, which still counts as facing.
  ObjectDef square = objectDef("square", KindDynamic, {}, rectOutline(0, 0, 10, 10));
  ObjectDef leaning = objectDef("leaning", KindDynamic, {}, {{4, -5}, {3, 2}, {6, 2}, {6, -5}});
  dGeomID a = make(square), b = make(leaning);
  ASSERT_EQ(collide(a, b), 2);
  expectContact(contacts[0], 6, 0, 0, 1, 3, a, b);
  expectContact(contacts[1], 6, 0, 1, 0, 3, b, a);
}

TEST_F(ColliderTest, BoundsFollowTheOutlineAndFlattenZ) {
  ObjectDef square = objectDef("square", KindStatic, {}, rectOutline(-5, -3, 5, 3));
  dGeomID a = make(square, 100, 200);
  dReal box[6];
  polygonGeomBounds(a, box);
  EXPECT_DOUBLE_EQ(box[0], 95);
  EXPECT_DOUBLE_EQ(box[1], 105);
  EXPECT_DOUBLE_EQ(box[2], 197);
  EXPECT_DOUBLE_EQ(box[3], 203);
  EXPECT_DOUBLE_EQ(box[4], -0.5);
  EXPECT_DOUBLE_EQ(box[5], 0.5);

  // Turned a quarter: x and y extents swap.
  dMatrix3 R;
  dRFromAxisAndAngle(R, 0, 0, 1, M_PI / 2);
  dGeomSetRotation(a, R);
  polygonGeomBounds(a, box);
  EXPECT_NEAR(box[0], 97, 1e-4);
  EXPECT_NEAR(box[1], 103, 1e-4);
  EXPECT_NEAR(box[2], 195, 1e-4);
  EXPECT_NEAR(box[3], 205, 1e-4);
}

TEST_F(ColliderTest, RefreshReusesTheOutlineUntilThePoseChanges) {
  ObjectDef square = objectDef("square", KindDynamic, {}, rectOutline(0, 0, 10, 10));
  dGeomID a = make(square, 1, 1);
  refreshPolygonGeom(a);
  PolygonGeomData* data = polygonGeomData(a);
  EXPECT_FLOAT_EQ(data->worldPoints[2].x, 11);
  // The outline is read only when the pose moved.
  square.outline[2] = {20, 20};
  refreshPolygonGeom(a);
  EXPECT_FLOAT_EQ(data->worldPoints[2].x, 11);
  dGeomSetPosition(a, 2, 1, 0);
  refreshPolygonGeom(a);
  EXPECT_FLOAT_EQ(data->worldPoints[2].x, 22);
  data->dirty = 1;
  square.outline[2] = {10, 10};
  refreshPolygonGeom(a);
  EXPECT_FLOAT_EQ(data->worldPoints[2].x, 12);
}

TEST_F(ColliderTest, BrokenOutlinesAndPosesNeverCollide) {
  ObjectDef square = objectDef("square", KindStatic, {}, rectOutline(0, 0, 10, 10));
  ObjectDef empty = objectDef("empty", KindDynamic, {}, {});
  ObjectDef point = objectDef("point", KindDynamic, {}, {{5, 5}});
  ObjectDef segment = objectDef("segment", KindDynamic, {}, {{-5, 5}, {15, 5}});
  ObjectDef doubled =
      objectDef("doubled", KindDynamic, {}, {{4, -5}, {4, -5}, {4, 2}, {6, 2}, {6, 2}, {6, -5}});
  dGeomID a = make(square);
  EXPECT_EQ(collide(a, make(empty)), 0);
  EXPECT_EQ(collide(a, make(point)), 0);
  EXPECT_EQ(collide(make(segment), a), 0);
  // Repeated points add zero-length edges, which never cross anything; the
  // other edges still collide with finite normals.
  int n = collide(a, make(doubled));
  EXPECT_GT(n, 0);
  for (int i = 0; i < n; ++i) {
    EXPECT_TRUE(std::isfinite(contacts[i].normal[0]) && std::isfinite(contacts[i].normal[1]));
  }

  dReal box[6];
  polygonGeomBounds(geoms[1], box);  // no points: a box that overlaps nothing
  EXPECT_GT(box[0], box[1]);

  // A pose gone to NaN or infinity gives an empty box, never a huge one.
  dGeomID lost = make(square, NAN, 0);
  polygonGeomBounds(lost, box);
  EXPECT_GT(box[0], box[1]);
  dGeomID far = make(square, 1e30f, 0);
  polygonGeomBounds(far, box);
  EXPECT_GT(box[0], box[1]);
  EXPECT_EQ(collide(a, lost), 0);
}

TEST(ContactLogTest, WritesAtCountAndWrapsAfterEntry1000) {
  ContactLog log;
  log.count = 999;
  log.add({1, 1}, {0, 1});
  log.add({2, 2}, {0, 1});
  EXPECT_EQ(log.count, 0);
  EXPECT_FLOAT_EQ(log.positions[1000].x, 2);
  log.add({3, 3}, {1, 0});
  EXPECT_EQ(log.count, 1);
  EXPECT_FLOAT_EQ(log.positions[0].x, 3);
  EXPECT_FLOAT_EQ(log.normals[0].x, 1);
}

TEST_F(ColliderTest, CollisionsAreLoggedAsWritten) {
  Poke p(2);
  dGeomID a = make(p.square), b = make(p.bar);
  contactLog.count = 0;
  collide(a, b);
  ASSERT_EQ(contactLog.count, 4);
  EXPECT_FLOAT_EQ(contactLog.positions[3].x, 6);
  EXPECT_FLOAT_EQ(contactLog.normals[3].x, 1);
  contactLog.count = 0;
}

}  // namespace
