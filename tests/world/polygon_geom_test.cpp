// The polygon geometry: the crossing test triggers count by, bounds, and
// the outline's refresh.
#include "world/polygon_geom.h"

#include <gtest/gtest.h>

#include <cmath>

#include "world/contact_log.h"
#include "world_fixture.h"

namespace {

class ColliderTest : public GeomTest {};

// A 10x10 square and a 2 px wide bar poking down through its top edge to
// y = h; the bar's sides cross the square's top edge at (4,0) and (6,0).
struct Poke {
  ObjectDef square, bar;
  explicit Poke(float h) {
    square = objectDef("square", KindDynamic, {}, rectOutline(0, 0, 10, 10));
    bar = objectDef("bar", KindDynamic, {}, rectOutline(4, -5, 6, h));
  }
};

TEST_F(ColliderTest, OutlinesCrossOnlyWhereEdgesFaceAndReachOverAThirdOfAPixel) {
  ObjectDef square = objectDef("square", KindDynamic, {}, rectOutline(0, 0, 10, 10));
  struct Case {
    const char* what;
    std::vector<Float2> other;
    bool cross;
  };
  const Case cases[] = {
      {"a bar poking 2 px in", rectOutline(4, -5, 6, 2), true},
      // The far end's depth counts half as much again: 1/3 is exactly at it.
      {"a bar poking a third of a pixel in", rectOutline(4, -5, 6, 1.0f / 3), false},
      {"a bar poking 0.34 px in", rectOutline(4, -5, 6, 0.34f), true},
      // Meeting the square's outline only at its corners (0,0) and (10,10).
      {"a wedge along the diagonal", {{-5, -5}, {15, 15}, {15, -5}}, true},
      {"a triangle whose box touches", {{10, 15}, {20, 15}, {20, 5}}, false},
      {"a neighbour sharing an edge", rectOutline(10, 0, 20, 10), false},
      {"a lid on the top edge", rectOutline(2, -5, 8, 0), false},
      {"a square wholly inside", rectOutline(2, 2, 8, 8), false},
      // The bar's left side leans to face the same way as the top edge; its
      // right side, at right angles, still faces it.
      {"a leaning bar", {{4, -5}, {3, 2}, {6, 2}, {6, -5}}, true},
      {"a bar leaning both ways", {{4, -5}, {3, 2}, {7, 2}, {6, -5}}, false},
      {"no points", {}, false},
      {"one point", {{5, 5}}, false},
      {"a segment", {{-5, 5}, {15, 5}}, false},
      {"repeated points", {{4, -5}, {4, -5}, {4, 2}, {6, 2}, {6, 2}, {6, -5}}, true},
  };
  for (const Case& c : cases) {
    ObjectDef other = objectDef("other", KindDynamic, {}, c.other);
    dGeomID a = make(square), b = make(other);
    EXPECT_EQ(outlinesCross(a, b), c.cross) << c.what;
    EXPECT_EQ(outlinesCross(b, a), c.cross) << c.what << ", the other way round";
  }
  dGeomID a = make(square);
  EXPECT_FALSE(outlinesCross(a, a));
  EXPECT_FALSE(outlinesCross(a, make(square, NAN, 0)));
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

TEST_F(ColliderTest, WithinOnePassAnOutlineIsBroughtUpToDateOnce) {
  ObjectDef square = objectDef("square", KindDynamic, {}, rectOutline(0, 0, 10, 10));
  dGeomID a = make(square, 1, 1);
  PolygonGeomData* data = polygonGeomData(a);
  openOutlinePass();
  refreshPolygonGeom(a);
  EXPECT_FLOAT_EQ(data->worldPoints[2].x, 11);
  // Nothing moves geoms while the broad phase pairs them: the pass does
  // not look again.
  dGeomSetPosition(a, 2, 1, 0);
  refreshPolygonGeom(a);
  EXPECT_FLOAT_EQ(data->worldPoints[2].x, 11);
  closeOutlinePass();
  refreshPolygonGeom(a);
  EXPECT_FLOAT_EQ(data->worldPoints[2].x, 12);
  dGeomSetPosition(a, 3, 1, 0);
  openOutlinePass();
  refreshPolygonGeom(a);
  closeOutlinePass();
  EXPECT_FLOAT_EQ(data->worldPoints[2].x, 13);
}

TEST_F(ColliderTest, CornerNormalsTurnWithTheOutlineWhenAskedFor) {
  ObjectDef square = objectDef("square", KindDynamic, {}, rectOutline(0, 0, 10, 10));
  dGeomID a = make(square, 0, 0);
  PolygonGeomData* data = polygonGeomData(a);
  for (double angle : {0.0, M_PI / 2, 1.0}) {
    dMatrix3 R;
    dRFromAxisAndAngle(R, 0, 0, 1, angle);
    dGeomSetRotation(a, R);
    refreshPolygonGeom(a);
    const Float2* corners = cornerNormals(data);
    for (int i = 0; i < 4; ++i) {
      const Float2 c = data->localNormals[i];
      EXPECT_NEAR(corners[i].x, std::cos(angle) * c.x - std::sin(angle) * c.y, 1e-6) << angle;
      EXPECT_NEAR(corners[i].y, std::sin(angle) * c.x + std::cos(angle) * c.y, 1e-6) << angle;
    }
  }
}

TEST_F(ColliderTest, BrokenOutlinesAndPosesGiveEmptyBoxes) {
  ObjectDef square = objectDef("square", KindStatic, {}, rectOutline(0, 0, 10, 10));
  ObjectDef empty = objectDef("empty", KindDynamic, {}, {});
  make(square);
  make(empty);
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

}  // namespace
