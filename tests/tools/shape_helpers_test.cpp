// The outline helpers of manifests and scene files: winding, sizes and
// subdivision checked on shapes worked out by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "manifest.h"
#include "pack_fixture.h"

namespace {

// Evaluates each Lua expression as the outline of one object.
std::vector<std::vector<Float2>> outlines(const std::vector<std::string>& expressions) {
  ScratchDir dir;
  std::string objects;
  for (size_t i = 0; i < expressions.size(); ++i)
    objects += "{ name = \"o" + std::to_string(i) + "\", outline = " + expressions[i] + " },\n";
  dir.write("manifest.lua",
            "return { scenes = { { name = \"S\", objects = {\n" + objects + "} } } }");
  PackContent content;
  PackReport report;
  std::string error;
  std::vector<std::vector<Float2>> result;
  EXPECT_TRUE(loadManifest(dir / "manifest.lua", content, report, error)) << error;
  if (content.scenes.size() == 1)
    for (const ObjectDef& o : content.scenes[0].objects) result.push_back(o.outline);
  return result;
}

float longestEdge(const std::vector<Float2>& o) {
  float longest = 0;
  for (size_t i = 0; i < o.size(); ++i) {
    Float2 a = o[i], b = o[(i + 1) % o.size()];
    longest = std::max(longest, std::hypot(b.x - a.x, b.y - a.y));
  }
  return longest;
}

TEST(ShapeHelpers, ClosedShapesAreWoundCounterClockwiseOnScreen) {
  auto o = outlines({"circle(10, 16)", "rect(40, 20)", "box(5, 5, -5, -5)",
                     "polygon({ {0, 0}, {10, 0}, {10, 10} })",
                     "thick_path({ {0, 0}, {100, 0}, {100, 100} }, 8)",
                     "thick_path({ {0, 0}, {0, 100} }, 8)", "subdivide(rect(100, 100), 30)"});
  ASSERT_EQ(7u, o.size());
  for (size_t i = 0; i < o.size(); ++i) EXPECT_LT(shoelaceSum(o[i]), 0) << "outline " << i;
}

TEST(ShapeHelpers, RectAndBoxCorners) {
  auto o = outlines({"rect(40, 20, 100, 50)", "box(10, 30, 0, 0)"});
  ASSERT_EQ(2u, o.size());
  ASSERT_EQ(4u, o[0].size());
  // Corners (80,40) (80,60) (120,60) (120,40): left edge downwards first.
  EXPECT_EQ(80.0f, o[0][0].x);
  EXPECT_EQ(40.0f, o[0][0].y);
  EXPECT_EQ(80.0f, o[0][1].x);
  EXPECT_EQ(60.0f, o[0][1].y);
  EXPECT_EQ(120.0f, o[0][2].x);
  EXPECT_EQ(120.0f, o[0][3].x);
  EXPECT_EQ(40.0f, o[0][3].y);
  EXPECT_EQ(0.0f, o[1][0].x);
  EXPECT_EQ(0.0f, o[1][0].y);
  EXPECT_EQ(10.0f, o[1][2].x);
  EXPECT_EQ(30.0f, o[1][2].y);
}

TEST(ShapeHelpers, CircleVerticesSitOnTheRadiusAroundTheCentre) {
  auto o = outlines({"circle(10, 6, 50, -20)"});
  ASSERT_EQ(6u, o[0].size());
  for (Float2 p : o[0]) EXPECT_NEAR(10.0, std::hypot(p.x - 50, p.y + 20), 1e-4);
  // The half-step offset puts no vertex on the x axis: the first at -30 degrees.
  EXPECT_NEAR(50 + 10 * std::cos(-M_PI / 6), o[0][0].x, 1e-4);
  EXPECT_NEAR(-20 + 10 * std::sin(-M_PI / 6), o[0][0].y, 1e-4);
}

TEST(ShapeHelpers, ArcIsAPathFromStartToEnd) {
  // From 90 degrees (down the screen) back to 0: as an outline this happens
  // to be wound the right way, so it packs without --fix-winding.
  auto o = outlines({"arc(0, 0, 10, 90, 0, 3)"});
  ASSERT_EQ(4u, o[0].size());
  EXPECT_NEAR(0, o[0][0].x, 1e-5);
  EXPECT_NEAR(10, o[0][0].y, 1e-5);
  EXPECT_NEAR(5, o[0][1].x, 1e-5);  // 60 degrees
  EXPECT_NEAR(10 * std::sin(M_PI / 3), o[0][1].y, 1e-5);
  EXPECT_NEAR(10, o[0][3].x, 1e-5);
  EXPECT_NEAR(0, o[0][3].y, 1e-5);
}

TEST(ShapeHelpers, SubdivideAndThickPathKeepEdgesShort) {
  auto o = outlines({"subdivide(box(0, 0, 100, 10), 30)", "thick_path({ {0, 0}, {200, 0} }, 10)",
                     "thick_path({ {0, 0}, {200, 0}, {200, 90} }, 10, 25)"});
  ASSERT_EQ(3u, o.size());
  // Edges 10, 100, 10, 100: the long ones split in 4, the short ones stay.
  EXPECT_EQ(10u, o[0].size());
  EXPECT_LE(longestEdge(o[0]), 30.0f);
  // A straight band 200 long: 5 pieces of 40 on each side plus the two ends.
  EXPECT_EQ(12u, o[1].size());
  EXPECT_LE(longestEdge(o[1]), 40.0f);
  for (Float2 p : o[1]) EXPECT_EQ(5.0f, std::fabs(p.y));
  EXPECT_LE(longestEdge(o[2]), 25.0f);
}

TEST(ShapeHelpers, PolygonKeepsGoodWindingAndAcceptsNamedPoints) {
  auto o = outlines({"polygon({ {x = 0, y = 0}, {x = 10, y = 10}, {x = 10, y = 0} })"});
  ASSERT_EQ(3u, o[0].size());
  EXPECT_EQ(10.0f, o[0][1].x);
  EXPECT_EQ(10.0f, o[0][1].y);
}

}  // namespace
