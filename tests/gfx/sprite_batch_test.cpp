// The sprite batch without a window: which sprites share a draw, and where
// the corners of a turned, offset and scaled sprite land.
#include "gfx/sprite_batch.h"

#include <gtest/gtest.h>

#include <cmath>

#include "content/world_data.h"

namespace {

TEST(SpriteBatch, ConsecutiveSpritesShareADrawOnlyWithTheSameImageAndBlend) {
  TextureDef a, b;
  a.texture = 1;
  b.texture = 2;
  a.width = a.height = b.width = b.height = 8;
  struct Sprite {
    const TextureDef* image;
    int blend;
  } frame[] = {{&a, 0}, {&a, 0}, {&b, 0}, {&b, 2}, {&b, 1}, {&a, 1}, {&a, 0}};
  // Blend 2 draws as 0 does; any other change of image or blend starts a draw.
  const SpriteRun expected[] = {
      {1, false, 0, 12}, {2, false, 12, 12}, {2, true, 24, 6}, {1, true, 30, 6}, {1, false, 36, 6}};

  SpriteBatch batch;
  for (int round = 0; round < 2; ++round) {  // a cleared batch starts afresh
    batch.clear();
    ObjectDef def;
    def.imageScale = 1;
    for (const Sprite& sprite : frame) {
      def.blend = sprite.blend;
      batch.add(def, *sprite.image, 0, 0, 0);
    }
    ASSERT_EQ(batch.runs().size(), std::size(expected));
    EXPECT_EQ(batch.vertices().size(), std::size(frame) * SpriteBatch::verticesPerSprite);
    for (size_t i = 0; i < std::size(expected); ++i) {
      const SpriteRun& run = batch.runs()[i];
      EXPECT_EQ(run.texture, expected[i].texture) << i;
      EXPECT_EQ(run.additive, expected[i].additive) << i;
      EXPECT_EQ(run.first, expected[i].first) << i;
      EXPECT_EQ(run.count, expected[i].count) << i;
    }
  }
}

TEST(SpriteBatch, CornersTurnClockwiseOnScreenAboutThePosition) {
  TextureDef image;
  image.width = 16;
  image.height = 8;
  ObjectDef def;
  def.imageScale = 2;  // 32 x 16
  def.imageOffset = {20, 0};
  SpriteBatch batch;
  // A quarter turn with y down: the offset points down, the image's first
  // row (v = 0) faces +x and its left edge (u = 0) faces up.
  batch.add(def, image, 100, 50, float(M_PI / 2));
  ASSERT_EQ(batch.vertices().size(), size_t(SpriteBatch::verticesPerSprite));
  for (const BatchVertex& vertex : batch.vertices()) {
    EXPECT_NEAR(vertex.x, vertex.v == 0 ? 108 : 92, 1e-4) << vertex.u << "," << vertex.v;
    EXPECT_NEAR(vertex.y, vertex.u == 0 ? 54 : 86, 1e-4) << vertex.u << "," << vertex.v;
  }
}

TEST(SpriteBatch, OnlyUnscaledUnturnedSpritesOnWholePixelsAreOnPixels) {
  TextureDef even, odd;
  even.texture = 1;
  even.width = 16;
  even.height = 8;
  odd.texture = 2;
  odd.width = odd.height = 5;
  struct Case {
    const char* name;
    const TextureDef* image;
    float scale, x, y, angle;
    bool expected;
  } cases[] = {
      {"whole corners", &even, 1, 100, 50, 0, true},
      {"odd size, centre on a half pixel", &odd, 1, 100.5f, 50.5f, 0, true},
      {"odd size, centre on a whole pixel", &odd, 1, 100, 50, 0, false},
      {"half a pixel across", &even, 1, 100.5f, 50, 0, false},
      {"scaled", &even, 2, 100, 50, 0, false},
      {"turned", &even, 1, 100, 50, 0.25f, false},
  };
  // The camera half a pixel across moves the whole pixels by as much.
  for (float originX : {0.0f, 10.0f, 0.5f}) {
    SpriteBatch batch;
    batch.setPixelOrigin(originX, -3);
    for (const Case& c : cases) {
      ObjectDef def;
      def.imageScale = c.scale;
      batch.clear();
      batch.add(def, *c.image, c.x + (originX == 0.5f ? 0.5f : 0), c.y, c.angle);
      EXPECT_EQ(batch.runs().back().onPixels, c.expected) << c.name << ", origin x " << originX;
    }
    batch.clearPixelOrigin();
    ObjectDef plain;
    plain.imageScale = 1;
    batch.add(plain, even, 100, 50, 0);
    EXPECT_FALSE(batch.runs().back().onPixels) << "without an origin";
  }
}

}  // namespace
