// Packs a manifest with every kind of record and loads the result with the
// engine's own loader: every field must come back as written, in order.
#include <gtest/gtest.h>

#include <cmath>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

#include "content/world_data.h"
#include "pack_fixture.h"

namespace {

// Keeps what the loader hands over, which WorldData itself does not keep.
class RecordingBackend : public ContentBackend {
 public:
  struct Upload {
    int width, height;
    std::vector<unsigned char> rgba;
  };
  unsigned uploadTexture(int width, int height, const unsigned char* rgba) override {
    uploads.push_back({width, height, std::vector<unsigned char>(rgba, rgba + width * height * 4)});
    return unsigned(uploads.size());
  }
  SoundHandle* createSound(const unsigned char* data, int length) override {
    sounds.emplace_back(data, data + length);
    return nullptr;
  }
  void releaseSound(SoundHandle*) override {}

  std::vector<Upload> uploads;
  std::vector<std::vector<unsigned char>> sounds;
};

void writePng(const ScratchDir& dir, const std::string& name, int w, int h, int comp,
              const std::vector<unsigned char>& pixels) {
  std::filesystem::create_directories(std::filesystem::path(dir / name).parent_path());
  ASSERT_NE(0, stbi_write_png((dir / name).c_str(), w, h, comp, pixels.data(), w * comp));
}

const char* const kManifest = R"(
return {
  textures = {
    { name = "Images\\ball.png", file = "images/ball.png" },
    { name = "Images\\gray.png", file = "images/gray.png" },
  },
  sounds = { { name = "hit", file = "sounds/hit.wav" } },
  fonts = {
    { name = "Small.txt", file = "fonts/small.txt" },
    { name = "Big.txt", file = "fonts/big.txt" },
  },
  masks = { 0xFFFFFFFF, 0x00000003, 0x80000000 },
  scenes = { "scenes/table.lua", "scenes/ball.lua" },
}
)";

const char* const kTable = R"(
return {
  name = "Table",
  objects = {
    { name = "Flipper", id = "Pivot", img = "Images\\ball.png", litImg = "Images\\gray.png",
      linkedTo = "Wall", imageScale = 0.5, imageOffset = {1.25, -2.5}, layer = 1, blend = 1,
      kind = "trigger", collisionGroup = 5, immovableByOtherScenes = true, mass = 3.5,
      inertiaRadius = 7.25, position = {x = 100.5, y = 200.75},
      outline = { {0, 0}, {x = 0, y = 10}, {20, 10} } },
    { name = "Wall" },
    { name = "Lamp", kind = 4, layer = 0, blend = 2, collisionGroup = 30, mass = 0, inertiaRadius = 0,
      immovableByOtherScenes = false },
  },
  links = {
    { name = "hinge", obj1 = "Flipper", obj2 = "Wall", anchor = {3.5, -4} },
    { name = "pin", obj1 = "Wall", anchor = {x = 0, y = 1} },
  },
}
)";

const char* const kBall = R"(
return {
  name = "Ball",
  objects = {
    include("parts/ball_object.lua"),
    { name = "Start", id = "SpawnPoint", kind = "marker", position = {400, 300} },
  },
}
)";

const char* const kBallObject = R"(
return { name = "Ball", kind = "dynamic", collisionGroup = 31, outline = circle(8, 4) }
)";

TEST(PackRoundTrip, EveryRecordAndFieldLoadsBackInOrder) {
  ScratchDir dir;
  writePng(dir, "images/ball.png", 2, 2, 4,
           {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
  writePng(dir, "images/gray.png", 2, 1, 1, {0x10, 0xF0});
  dir.write("sounds/hit.wav", std::string("RIFF\0\x01\x02\xFFWAVE", 12));
  dir.write("fonts/small.txt",
            "# small digits\nspaceWidth 3\nspacing 1\n\nglyph A\n#.#\n.#.\n\nglyph 0x42\n#\n");
  dir.write("fonts/big.txt", "spaceWidth -2\nspacing 7\nglyph 65\n#.\n.#\n");
  dir.write("manifest.lua", kManifest);
  dir.write("scenes/table.lua", kTable);
  dir.write("scenes/ball.lua", kBall);
  dir.write("scenes/parts/ball_object.lua", kBallObject);

  ToolRun run = runTool({dir / "manifest.lua", "-o", dir / "out/data.dat"});
  ASSERT_EQ(0, run.code) << run.err;

  RecordingBackend backend;
  WorldData data((dir / "out/data.dat").c_str(), backend);
  ASSERT_FALSE(data.loadFailed);

  ASSERT_EQ(2, data.textureCount());
  EXPECT_EQ("Images\\ball.png", data.textures[0].name);
  EXPECT_EQ(2, data.textures[0].width);
  EXPECT_EQ(2, data.textures[0].height);
  EXPECT_EQ("Images\\gray.png", data.textures[1].name);
  EXPECT_EQ(2, data.textures[1].width);
  EXPECT_EQ(1, data.textures[1].height);
  ASSERT_EQ(2u, backend.uploads.size());
  EXPECT_EQ(std::vector<unsigned char>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}),
            backend.uploads[0].rgba);
  // A grey PNG becomes opaque RGBA.
  EXPECT_EQ(std::vector<unsigned char>({0x10, 0x10, 0x10, 0xFF, 0xF0, 0xF0, 0xF0, 0xFF}),
            backend.uploads[1].rgba);

  ASSERT_EQ(1, data.soundCount());
  EXPECT_EQ("hit", data.sounds[0].name);
  ASSERT_EQ(1u, backend.sounds.size());
  EXPECT_EQ(std::string("RIFF\0\x01\x02\xFFWAVE", 12),
            std::string(backend.sounds[0].begin(), backend.sounds[0].end()));

  ASSERT_EQ(2, data.fontCount());
  const FontDef& small = data.fonts[0];
  EXPECT_EQ("Small.txt", small.name);
  EXPECT_EQ(3, small.spaceWidth);
  EXPECT_EQ(1, small.spacing);
  ASSERT_EQ(2, small.glyphCount());
  EXPECT_EQ('A', small.glyphs[0].code);
  EXPECT_EQ(3, small.glyphs[0].width);
  EXPECT_EQ(2, small.glyphs[0].height);
  EXPECT_EQ(std::vector<unsigned char>({1, 0, 1, 0, 1, 0}), small.glyphs[0].bitmap);
  EXPECT_EQ('B', small.glyphs[1].code);
  EXPECT_EQ(std::vector<unsigned char>({1}), small.glyphs[1].bitmap);
  const FontDef& big = data.fonts[1];
  EXPECT_EQ("Big.txt", big.name);
  EXPECT_EQ(-2, big.spaceWidth);
  EXPECT_EQ(7, big.spacing);
  ASSERT_EQ(1, big.glyphCount());
  EXPECT_EQ('A', big.glyphs[0].code);
  EXPECT_EQ(std::vector<unsigned char>({1, 0, 0, 1}), big.glyphs[0].bitmap);

  EXPECT_EQ(0xFFFFFFFFu, data.collisionMasks[0]);
  EXPECT_EQ(0x00000003u, data.collisionMasks[1]);
  EXPECT_EQ(0x80000000u, data.collisionMasks[2]);
  EXPECT_EQ(0u, data.collisionMasks[3]);

  ASSERT_EQ(2, data.sceneCount());
  const SceneDef& table = data.scenes[0];
  EXPECT_EQ("Table", table.name);
  ASSERT_EQ(3, table.objectCount());
  const ObjectDef& f = table.objects[0];
  EXPECT_EQ("Flipper", f.name);
  EXPECT_EQ("Pivot", f.id);
  EXPECT_EQ("Images\\ball.png", f.img);
  EXPECT_EQ("Images\\gray.png", f.litImg);
  EXPECT_EQ("Wall", f.linkedTo);
  EXPECT_EQ(0.5f, f.imageScale);
  EXPECT_EQ(1.25f, f.imageOffset.x);
  EXPECT_EQ(-2.5f, f.imageOffset.y);
  EXPECT_EQ(1, f.layer);
  EXPECT_EQ(1, f.blend);
  EXPECT_EQ(2, f.kind);
  EXPECT_EQ(5, f.collisionGroup);
  EXPECT_TRUE(f.immovableByOtherScenes);
  EXPECT_EQ(3.5f, f.mass);
  EXPECT_EQ(7.25f, f.inertiaRadius);
  EXPECT_EQ(100.5f, f.position.x);
  EXPECT_EQ(200.75f, f.position.y);
  ASSERT_EQ(3, f.outlineCount());
  EXPECT_EQ(0.0f, f.outline[1].x);
  EXPECT_EQ(10.0f, f.outline[1].y);
  EXPECT_EQ(20.0f, f.outline[2].x);
  EXPECT_EQ(&data.textures[0], f.imgTexture);
  EXPECT_EQ(&data.textures[1], f.litImgTexture);

  const ObjectDef& wall = table.objects[1];  // every default
  EXPECT_EQ("Wall", wall.name);
  EXPECT_EQ("", wall.id);
  EXPECT_EQ("", wall.img);
  EXPECT_EQ(1.0f, wall.imageScale);
  EXPECT_EQ(0.0f, wall.imageOffset.x);
  EXPECT_EQ(0, wall.kind);
  EXPECT_EQ(0, wall.collisionGroup);
  EXPECT_FALSE(wall.immovableByOtherScenes);
  EXPECT_EQ(1.0f, wall.mass);
  EXPECT_EQ(1.0f, wall.inertiaRadius);
  EXPECT_EQ(0, wall.outlineCount());

  const ObjectDef& lamp = table.objects[2];
  EXPECT_EQ(4, lamp.kind);
  EXPECT_EQ(2, lamp.blend);
  EXPECT_EQ(30, lamp.collisionGroup);
  EXPECT_EQ(0.0f, lamp.mass);

  ASSERT_EQ(2, table.linkCount());
  EXPECT_EQ("hinge", table.links[0].name);
  EXPECT_EQ("Flipper", table.links[0].obj1);
  EXPECT_EQ("Wall", table.links[0].obj2);
  EXPECT_EQ(3.5f, table.links[0].anchor.x);
  EXPECT_EQ(-4.0f, table.links[0].anchor.y);
  EXPECT_EQ("pin", table.links[1].name);
  EXPECT_EQ("", table.links[1].obj2);
  EXPECT_EQ(1.0f, table.links[1].anchor.y);

  const SceneDef& ball = data.scenes[1];
  EXPECT_EQ("Ball", ball.name);
  ASSERT_EQ(2, ball.objectCount());
  EXPECT_EQ(0, ball.linkCount());
  const ObjectDef& b = ball.objects[0];
  EXPECT_EQ(1, b.kind);
  EXPECT_EQ(31, b.collisionGroup);
  // circle(8, 4): corners at 45, 135, 225, 315 degrees, listed with falling
  // angle so the outline runs counter-clockwise on screen.
  ASSERT_EQ(4, b.outlineCount());
  const float c = 8 * std::sqrt(0.5f);
  const float expected[4][2] = {{c, -c}, {-c, -c}, {-c, c}, {c, c}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(expected[i][0], b.outline[i].x, 1e-4) << i;
    EXPECT_NEAR(expected[i][1], b.outline[i].y, 1e-4) << i;
  }
  EXPECT_EQ(3, ball.objects[1].kind);
  EXPECT_EQ(400.0f, ball.objects[1].position.x);
  EXPECT_EQ(&ball.objects[1], ball.findObjectById("SpawnPoint"));
}

}  // namespace
