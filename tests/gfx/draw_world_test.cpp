// World drawing read back from real frames: sprite placement, layers and
// slot order, lit images, blending, the HUD and the debug helpers.
#include "gfx/draw_world.h"

#include <GL/gl.h>

#include <cmath>

#include "gfx/graphics.h"
#include "gfx_window.h"

namespace {

const Rgb black{0, 0, 0}, red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255},
    grey{153, 153, 153}, yellow{255, 255, 0};

std::vector<Float2> square(float half) {
  return {{-half, -half}, {-half, half}, {half, half}, {half, -half}};
}

TEST(DrawWorld, SpriteLandsWherePositionOffsetScaleAndCameraPutIt) {
  REQUIRE_WINDOW();
  Table table;
  const TextureDef* image = table.addTexture("red", 16, 8, red);
  SceneDef& scene = table.addScene("s");
  ObjectDef& def = table.addObject(scene, "o", image, 200, 150);
  def.imageScale = 2;  // 32 x 16
  def.imageOffset = {10, 0};
  World& world = table.build();
  table.spawn(scene);
  world.camera = {100, 50};

  // Centre (210, 150) in the world, (110, 100) on screen: x 94..126, y 92..108.
  table.drawFrame();
  EXPECT_EQ(pixelAt(110, 100), red);
  EXPECT_EQ(pixelAt(96, 93), red);
  EXPECT_EQ(pixelAt(124, 106), red);
  EXPECT_EQ(pixelAt(92, 100), black);
  EXPECT_EQ(pixelAt(128, 100), black);
  EXPECT_EQ(pixelAt(110, 90), black);
  EXPECT_EQ(pixelAt(110, 110), black);
  table.finishFrame();
}

TEST(DrawWorld, OffsetTurnsWithTheObject) {
  REQUIRE_WINDOW();
  Table table;
  ObjectDef& def =
      table.addObject(table.addScene("s"), "o", table.addTexture("red", 16, 8, red), 0, 0);
  def.imageOffset = {20, 0};

  // A quarter turn clockwise on screen: the offset points down and the
  // 16 x 8 sprite stands 8 wide and 16 high around (300, 320).
  beginFrame();
  drawObject(&def, 300, 300, float(M_PI / 2), false);
  drawObject(nullptr, 300, 300, 0, false);
  EXPECT_EQ(pixelAt(300, 320), red);
  EXPECT_EQ(pixelAt(300, 314), red);
  EXPECT_EQ(pixelAt(300, 326), red);
  EXPECT_EQ(pixelAt(306, 320), black);
  EXPECT_EQ(pixelAt(320, 300), black);
  endFrame();
}

TEST(DrawWorld, HudIsDrawnOverEverythingAndIgnoresTheCamera) {
  REQUIRE_WINDOW();
  Table table;
  table.addTexture("Images\\hud-lit.png", 8, 8, green);
  table.addTexture("Images\\hud-unlit.png", 4, 4, blue);  // stretched to 8 x 8
  SceneDef& scene = table.addScene("s");
  table.addObject(scene, "o", table.addTexture("red", 16, 16, red), 320, 310);
  World& world = table.build();
  table.spawn(scene);
  world.camera = {300, 300};
  ASSERT_EQ(world.hud().columns, 100);
  world.hud().cells[0] = 1;              // row 0, column 0
  world.hud().cells[19 * 100 + 99] = 1;  // the bottom-right cell

  table.drawFrame();
  EXPECT_EQ(pixelAt(4, 4), green);
  EXPECT_EQ(pixelAt(12, 4), blue);
  EXPECT_EQ(pixelAt(796, 156), green);
  EXPECT_EQ(pixelAt(788, 156), blue);
  EXPECT_EQ(pixelAt(604, 100), blue);  // a cell centre past x 400
  EXPECT_EQ(pixelAt(20, 10), blue);    // the sprite lies under the grid
  EXPECT_EQ(pixelAt(4, 162), black);   // the grid ends after 20 rows of 8
  table.finishFrame();

  world.hud().setVisible(false);
  table.drawFrame();
  EXPECT_EQ(pixelAt(4, 4), black);
  EXPECT_EQ(pixelAt(20, 10), red);
  table.finishFrame();
}

TEST(DrawWorld, LitObjectsShowTheirLitImageWhenTheyHaveOne) {
  REQUIRE_WINDOW();
  Table table;
  const TextureDef* normal = table.addTexture("normal", 16, 16, red);
  const TextureDef* lit = table.addTexture("lit", 16, 16, green);
  SceneDef& scene = table.addScene("s");
  table.addObject(scene, "both", normal, 100, 300).litImgTexture = lit;
  table.addObject(scene, "plain", normal, 200, 300);
  table.addObject(scene, "unlit", normal, 300, 300).litImgTexture = lit;
  table.addObject(scene, "litOnly", nullptr, 400, 300).litImgTexture = lit;
  table.addObject(scene, "none", nullptr, 500, 300).litImgTexture = lit;
  table.build();
  int n = table.spawn(scene);
  for (const char* name : {"both", "plain", "litOnly"}) table.object(n, name)->lit = 1;

  table.drawFrame();
  EXPECT_EQ(pixelAt(100, 300), green);
  EXPECT_EQ(pixelAt(200, 300), red);
  EXPECT_EQ(pixelAt(300, 300), red);
  EXPECT_EQ(pixelAt(400, 300), green);
  EXPECT_EQ(pixelAt(500, 300), black);
  table.finishFrame();
}

TEST(DrawWorld, LayersThenScenesThenReverseSlotOrder) {
  REQUIRE_WINDOW();
  Table table;
  table.flags.debugHelpers = true;
  const TextureDef* r = table.addTexture("r", 16, 16, red);
  const TextureDef* g = table.addTexture("g", 16, 16, green);
  const TextureDef* b = table.addTexture("b", 16, 16, blue);
  const TextureDef* w = table.addTexture("w", 16, 16, white);
  SceneDef& first = table.addScene("first");
  table.addObject(first, "top", r, 100, 300);
  table.addObject(first, "under", b, 100, 300);
  table.addObject(first, "front", g, 200, 300).layer = 1;
  table.addObject(first, "back", b, 200, 300);
  ObjectDef& hidden = table.addObject(first, "hidden", w, 300, 300);
  hidden.layer = 2;
  hidden.kind = KindStatic;
  hidden.outline = square(20);
  table.addObject(first, "early", r, 400, 300);
  SceneDef& second = table.addScene("second");
  table.addObject(second, "late", b, 400, 300);
  table.build();
  int firstNumber = table.spawn(first);
  int secondNumber = table.spawn(second);

  table.drawFrame();
  EXPECT_EQ(pixelAt(100, 300), red);    // lower slot on top within a layer
  EXPECT_EQ(pixelAt(200, 300), green);  // layer 1 over layer 0
  EXPECT_FALSE(colourNear(300, 300, white, 3));
  EXPECT_FALSE(colourNear(300, 280, grey, 2));  // nor its outline
  EXPECT_EQ(pixelAt(400, 300), blue);           // the later scene over the earlier
  table.finishFrame();

  // Respawned into the freed first slot, the first scene now has the higher
  // number but is still drawn first: slot order, not number order.
  table.world->removeScene(firstNumber);
  ASSERT_GT(table.spawn(first), secondNumber);
  table.drawFrame();
  EXPECT_EQ(pixelAt(400, 300), blue);
  table.finishFrame();
}

TEST(DrawWorld, AdditiveBlendingAddsTheSpriteScaledByItsAlpha) {
  REQUIRE_WINDOW();
  Table table;
  const TextureDef* base = table.addTexture("grey", 16, 16, {128, 128, 128});
  const TextureDef* glow = table.addTexture("glow", 16, 16, {100, 0, 0});
  const TextureDef* halfGlow = table.addTexture("halfGlow", 16, 16, {100, 0, 0}, 128);
  const TextureDef* halfRed = table.addTexture("halfRed", 16, 16, {200, 0, 0}, 128);
  SceneDef& scene = table.addScene("s");
  for (float x : {100.0f, 200.0f, 300.0f}) table.addObject(scene, "base", base, x, 300);
  // Lowest slot drawn last: the normal sprite follows the additive ones and
  // must not inherit their blend factors.
  ObjectDef* over[3] = {&table.addObject(scene, "halfRed", halfRed, 300, 300),
                        &table.addObject(scene, "glow", glow, 100, 300),
                        &table.addObject(scene, "halfGlow", halfGlow, 200, 300)};
  over[0]->blend = 2;  // anything but 1 blends normally
  over[1]->blend = 1;
  over[2]->blend = 1;
  for (ObjectDef* def : over) def->layer = 1;
  table.build();
  table.spawn(scene);

  table.drawFrame();
  EXPECT_TRUE(near(pixelAt(100, 300), {228, 128, 128})) << pixelAt(100, 300);
  EXPECT_TRUE(near(pixelAt(200, 300), {178, 128, 128})) << pixelAt(200, 300);
  EXPECT_TRUE(near(pixelAt(300, 300), {164, 64, 64})) << pixelAt(300, 300);
  table.finishFrame();
}

TEST(DrawWorld, SpritesOnWholePixelsLookAsTheyDoFiltered) {
  REQUIRE_WINDOW();
  Table table;
  SceneDef& scene = table.addScene("s");
  table.addObject(scene, "back",
                  table.addSplitTexture("back", 700, 500, {200, 40, 10}, {10, 60, 220}), 360, 255);
  struct Sprite {
    float x, y, scale, angle;
    int blend;
  } sprites[] = {
      {100, 100, 1, 0, 0},    {200, 100, 1, 0, 1},     // on whole pixels, normal and additive
      {300.5f, 100, 1, 0, 0},                          // half a pixel off
      {400, 100, 2, 0, 0},    {500, 100, 1, 0.3f, 0},  // scaled, turned
      {600, 100.5f, 1, 0, 1},
  };
  const TextureDef* image = table.addPatternTexture("pattern", 24, 20, 7);
  const TextureDef* odd = table.addPatternTexture("odd", 13, 9, 3);
  std::vector<ObjectDef*> defs;
  for (const Sprite& sprite : sprites) {
    ObjectDef& def = table.addObject(scene, "o", image, sprite.x, sprite.y);
    def.imageScale = sprite.scale;
    def.blend = sprite.blend;
    def.layer = 1;
    defs.push_back(&def);
  }
  ObjectDef& oddDef = table.addObject(scene, "odd", odd, 100.5f, 300.5f);  // on whole pixels
  oddDef.layer = 1;
  World& world = table.build();
  int number = table.spawn(scene);
  world.forEachObject([&](WorldObject& object) {
    for (size_t i = 0; i < defs.size(); ++i)
      if (object.def == defs[i]) object.angle = sprites[i].angle;
  });
  world.camera = {10, 5};

  table.drawFrame();
  std::vector<unsigned char> batched = readPicture();
  table.finishFrame();
  // One by one, each with the linear filter, as before sprites were batched.
  beginFrame();
  applyCamera(10, 5);
  for (int layer = 0; layer <= 1; ++layer) {
    world.forEachObjectOfBackwards(number, [layer](const WorldObject& object) {
      if (object.def->layer == layer)
        drawObject(object.def, object.position.x, object.position.y, object.angle, false);
    });
  }
  glFinish();
  EXPECT_EQ(differingBytes(batched, readPicture()), 0);
  endFrame();
}

TEST(DrawWorld, LevelImagesOffHidesSpritesWhileOutlinesStillDraw) {
  REQUIRE_WINDOW();
  Table table;
  const TextureDef* image = table.addTexture("red", 32, 32, red);
  SceneDef& scene = table.addScene("s");
  struct Case {
    const char* name;
    int kind;
    float x;
  } cases[] = {{"static", KindStatic, 100},
               {"dynamic", KindDynamic, 200},
               {"trigger", KindTrigger, 300},
               {"prop", KindProp, 400},
               {"odd", 7, 500}};
  for (const Case& c : cases) {
    ObjectDef& def = table.addObject(scene, c.name, image, c.x, 300);
    def.kind = ObjectKind(c.kind);
    def.outline = square(20);
    def.mass = 1;
    def.inertiaRadius = 10;
  }
  table.build();
  table.spawn(scene);

  table.flags.levelImages = false;
  table.flags.debugHelpers = true;
  table.drawFrame();
  const Rgb expected[] = {grey, white, green, black, red};
  for (int i = 0; i < 5; ++i) {
    int x = int(cases[i].x);
    EXPECT_EQ(pixelAt(x, 300), black) << cases[i].name;  // no sprite
    if (expected[i] == black) {
      EXPECT_FALSE(colourNear(x, 280, red, 2)) << cases[i].name;
      EXPECT_EQ(pixelAt(x, 280), black) << cases[i].name;
    } else {
      EXPECT_TRUE(colourNear(x, 280, expected[i])) << cases[i].name;
      EXPECT_TRUE(colourNear(x - 20, 300, expected[i])) << cases[i].name;
    }
  }
  table.finishFrame();

  table.flags = DrawFlags();
  table.drawFrame();
  EXPECT_EQ(pixelAt(100, 300), red);
  EXPECT_FALSE(colourNear(100, 280, grey, 2));
  table.finishFrame();
}

TEST(DrawWorld, OutlinesFollowTheObjectsTurnAndMarkersHaveNone) {
  REQUIRE_WINDOW();
  DrawFlags flags;
  flags.debugHelpers = true;
  flags.levelImages = false;
  ObjectDef bar;
  bar.kind = KindStatic;
  bar.outline = {{-30, -2}, {-30, 2}, {30, 2}, {30, -2}};
  ObjectDef marker = bar;
  marker.kind = KindMarker;

  beginFrame();
  drawObject(&bar, 300, 300, float(M_PI / 2), false, flags);
  drawObject(&marker, 500, 300, 0, false, flags);
  EXPECT_TRUE(colourNear(300, 328, grey));  // the bar now stands upright
  EXPECT_FALSE(colourNear(328, 300, grey, 2));
  EXPECT_FALSE(colourNear(470, 300, grey, 3));
  endFrame(flags);
}

}  // namespace
