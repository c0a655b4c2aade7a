// Tiled maps as scene sources: a map with every shape, rotation, property
// and reference, saved by Tiled in both forms, packs to the same bytes and
// loads back in the engine's catalog as the mapping promises.
#include <gtest/gtest.h>
#include <stb/stb_image_write.h>

#include <cmath>

#include "content/world_data.h"
#include "manifest.h"
#include "tiled_fixture.h"

namespace {

void writePng(const ScratchDir& dir, const std::string& name, int w, int h) {
  std::filesystem::create_directories(std::filesystem::path(dir / name).parent_path());
  std::vector<unsigned char> pixels(size_t(w) * h * 4, 200);
  ASSERT_NE(0, stbi_write_png((dir / name).c_str(), w, h, 4, pixels.data(), w * 4));
}

// Group "Parts" moves everything inside 100 px right; its layer and
// collisionGroup properties are defaults for the objects inside.
const char* const kMap = R"(<?xml version="1.0" encoding="UTF-8"?>
<map version="1.8" tiledversion="1.8.2" orientation="orthogonal" renderorder="right-down" width="20" height="20" tilewidth="32" tileheight="32" infinite="0" nextlayerid="6" nextobjectid="11">
 <properties>
  <property name="name" value="Table"/>
 </properties>
 <tileset firstgid="1" name="sprites" tilewidth="8" tileheight="8" tilecount="2" columns="0">
  <grid orientation="orthogonal" width="1" height="1"/>
  <tile id="0"><image width="8" height="8" source="images/lamp.png"/></tile>
  <tile id="1"><image width="8" height="8" source="images/lamp-lit.png"/></tile>
 </tileset>
 <imagelayer id="1" name="Art" offsetx="10" offsety="20">
  <image source="images/art.png" width="40" height="30"/>
 </imagelayer>
 <group id="2" name="Parts" offsetx="100">
  <properties>
   <property name="collisionGroup" value="2"/>
   <property name="layer" type="int" value="1"/>
  </properties>
  <objectgroup id="3" name="Walls" offsety="50">
   <object id="1" name="Floor" x="0" y="0" width="90" height="10"/>
   <object id="2" name="Post" x="0" y="100" width="10" height="20" rotation="90"/>
   <object id="3" name="Wedge" type="trigger" x="50" y="200">
    <polygon points="0,0 20,0 20,20"/>
   </object>
   <object id="4" name="Bumper" x="0" y="300" width="20" height="20">
    <properties>
     <property name="id" value="bumper"/>
     <property name="img" type="file" value="images/lamp.png"/>
     <property name="litImg" type="file" value="images/lamp-lit.png"/>
    </properties>
    <ellipse/>
   </object>
  </objectgroup>
  <objectgroup id="4" name="Moving">
   <object id="5" name="Flipper" type="dynamic" x="0" y="400">
    <properties>
     <property name="img" type="file" value="images/lamp.png"/>
     <property name="imageOffsetX" type="float" value="1"/>
     <property name="inertiaRadius" type="float" value="300"/>
     <property name="mass" type="float" value="2.5"/>
    </properties>
    <polygon points="0,0 40,5 0,10"/>
   </object>
   <object id="6" name="Pivot" x="0" y="405">
    <properties>
     <property name="obj1" type="object" value="5"/>
    </properties>
    <point/>
   </object>
   <object id="7" name="Lamp" gid="1" x="0" y="500" width="16" height="16">
    <properties>
     <property name="linkedTo" type="object" value="5"/>
     <property name="litImg" type="file" value="images/lamp-lit.png"/>
    </properties>
   </object>
   <object id="8" name="Start" x="5" y="6">
    <properties>
     <property name="id" value="SpawnPoint"/>
    </properties>
    <point/>
   </object>
   <object id="9" name="Glow" x="0" y="600" width="10" height="10">
    <properties>
     <property name="blend" type="int" value="1"/>
     <property name="immovableByOtherScenes" type="bool" value="true"/>
     <property name="kind" value="prop"/>
     <property name="layer" type="int" value="0"/>
    </properties>
   </object>
  </objectgroup>
 </group>
 <objectgroup id="5" name="Notes">
  <object id="10" name="Hint" x="0" y="0" width="80" height="20">
   <text wrap="1">draw walls here</text>
  </object>
 </objectgroup>
</map>
)";

// The manifest packs lamp-lit.png itself, under a name of its own.
const char* const kManifest = R"(
return {
  textures = { { name = "Lit", file = "images/lamp-lit.png" } },
  scenes = { "maps/table.tmx" },
}
)";

class TiledMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    writePng(dir, "images/art.png", 40, 30);
    writePng(dir, "images/lamp.png", 8, 8);
    writePng(dir, "images/lamp-lit.png", 8, 8);
    // Tiled saves it one folder down, writing its paths as "../images/...".
    dir.write("written.tmx", kMap);
    dir.write("manifest.lua", kManifest);
  }

  ToolRun pack(const std::string& output) {
    return runTool({dir / "manifest.lua", "-o", dir / output});
  }

  ScratchDir dir;
};

const ObjectDef* object(const SceneDef& scene, const std::string& name) {
  for (const ObjectDef& o : scene.objects)
    if (o.name == name) return &o;
  return nullptr;
}

TEST_F(TiledMapTest, TmxAndTmjOfOneMapGiveTheSameArchive) {
  std::filesystem::create_directories(dir / "maps");
  ASSERT_TRUE(tiledExport("tmx", dir / "written.tmx", dir / "maps/table.tmx"));
  ToolRun fromTmx = pack("tmx/data.dat");
  ASSERT_EQ(0, fromTmx.code) << fromTmx.err;

  ASSERT_TRUE(tiledExport("json", dir / "maps/table.tmx", dir / "maps/table.tmj"));
  std::string manifest = kManifest;
  manifest.replace(manifest.find("table.tmx"), 9, "table.tmj");
  dir.write("manifest.lua", manifest);
  ToolRun fromTmj = pack("tmj/data.dat");
  ASSERT_EQ(0, fromTmj.code) << fromTmj.err;

  EXPECT_GT(dir.read("tmx/data.dat").size(), 100u);
  EXPECT_EQ(dir.read("tmx/data.dat"), dir.read("tmj/data.dat"));
}

TEST_F(TiledMapTest, EveryShapePropertyAndReferenceLandsAsDocumented) {
  std::filesystem::create_directories(dir / "maps");
  ASSERT_TRUE(tiledExport("tmx", dir / "written.tmx", dir / "maps/table.tmx"));
  ToolRun run = pack("out/data.dat");
  ASSERT_EQ(0, run.code) << run.err;
  EXPECT_NE(std::string::npos,
            run.out.find("object 10 'Hint': text objects are not packed; ignored"));

  NullContentBackend backend;
  WorldData data((dir / "out/data.dat").c_str(), backend);
  ASSERT_FALSE(data.loadFailed);
  // Images are packed once each, named by their path from the manifest's
  // folder, unless the manifest packed the file already.
  ASSERT_EQ(3, data.textureCount());
  EXPECT_EQ("Lit", data.textures[0].name);
  EXPECT_EQ("images/art.png", data.textures[1].name);
  EXPECT_EQ("images/lamp.png", data.textures[2].name);

  ASSERT_EQ(1, data.sceneCount());
  const SceneDef& s = data.scenes[0];
  EXPECT_EQ("Table", s.name);
  // Topmost first: the engine draws earlier records over later ones.
  ASSERT_EQ(9, s.objectCount());
  EXPECT_EQ("Glow", s.objects.front().name);
  EXPECT_EQ("Art", s.objects.back().name);

  const ObjectDef* art = object(s, "Art");
  EXPECT_EQ(KindProp, art->kind);
  EXPECT_EQ("images/art.png", art->img);
  EXPECT_EQ(30.0f, art->position.x);  // offset 10 + 40 / 2
  EXPECT_EQ(35.0f, art->position.y);  // offset 20 + 30 / 2
  EXPECT_EQ(0, art->layer);

  // 90 x 10 at (100, 50): a static outline gets a point every 30 px or less.
  const ObjectDef* floor = object(s, "Floor");
  EXPECT_EQ(KindStatic, floor->kind);
  EXPECT_EQ(1, floor->layer);
  EXPECT_EQ(2, floor->collisionGroup);
  EXPECT_EQ(145.0f, floor->position.x);
  EXPECT_EQ(55.0f, floor->position.y);
  EXPECT_EQ(8, floor->outlineCount());
  EXPECT_LT(shoelaceSum(floor->outline), 0);
  for (int i = 0; i < floor->outlineCount(); ++i) {
    Float2 a = floor->outline[i], b = floor->outline[(i + 1) % floor->outlineCount()];
    EXPECT_LE(std::hypot(b.x - a.x, b.y - a.y), 30.001);
  }

  // 10 x 20 at (100, 150) turned 90 degrees clockwise about its top-left
  // corner: it covers x 80..100, y 150..160, centred on (90, 155).
  const ObjectDef* post = object(s, "Post");
  EXPECT_NEAR(90, post->position.x, 1e-4);
  EXPECT_NEAR(155, post->position.y, 1e-4);
  for (Float2 p : post->outline) {
    EXPECT_NEAR(10, std::fabs(p.x), 1e-4);
    EXPECT_NEAR(5, std::fabs(p.y), 1e-4);
  }
  EXPECT_LT(shoelaceSum(post->outline), 0);

  // Drawn clockwise on screen; reversed, and a trigger is not subdivided.
  const ObjectDef* wedge = object(s, "Wedge");
  EXPECT_EQ(KindTrigger, wedge->kind);
  EXPECT_EQ(150.0f, wedge->position.x);
  EXPECT_EQ(250.0f, wedge->position.y);
  ASSERT_EQ(3, wedge->outlineCount());
  EXPECT_LT(shoelaceSum(wedge->outline), 0);
  EXPECT_EQ(20.0f, wedge->outline[0].x);
  EXPECT_EQ(20.0f, wedge->outline[0].y);

  // A circle of radius 10 centred on (110, 360), 16 points on its rim.
  const ObjectDef* bumper = object(s, "Bumper");
  EXPECT_EQ("bumper", bumper->id);
  EXPECT_EQ("images/lamp.png", bumper->img);
  EXPECT_EQ("Lit", bumper->litImg);
  EXPECT_EQ(110.0f, bumper->position.x);
  EXPECT_EQ(360.0f, bumper->position.y);
  ASSERT_EQ(16, bumper->outlineCount());
  for (Float2 p : bumper->outline) EXPECT_NEAR(10, std::hypot(p.x, p.y), 1e-4);
  EXPECT_LT(shoelaceSum(bumper->outline), 0);
  EXPECT_EQ(0.0f, bumper->imageOffset.x);

  // A polygon sits on its own origin; its sprite on the middle of what was
  // drawn (20, 5 from the origin), moved by imageOffsetX.
  const ObjectDef* flipper = object(s, "Flipper");
  EXPECT_EQ(KindDynamic, flipper->kind);
  EXPECT_EQ(2.5f, flipper->mass);
  EXPECT_EQ(300.0f, flipper->inertiaRadius);
  EXPECT_EQ(100.0f, flipper->position.x);
  EXPECT_EQ(400.0f, flipper->position.y);
  EXPECT_EQ(21.0f, flipper->imageOffset.x);
  EXPECT_EQ(5.0f, flipper->imageOffset.y);

  ASSERT_EQ(1, s.linkCount());
  EXPECT_EQ("Pivot", s.links[0].name);
  EXPECT_EQ("Flipper", s.links[0].obj1);
  EXPECT_EQ("", s.links[0].obj2);
  EXPECT_EQ(100.0f, s.links[0].anchor.x);
  EXPECT_EQ(405.0f, s.links[0].anchor.y);

  // A 16 x 16 tile object of an 8 x 8 image: x, y is its bottom-left corner.
  const ObjectDef* lamp = object(s, "Lamp");
  EXPECT_EQ(KindProp, lamp->kind);
  EXPECT_EQ("images/lamp.png", lamp->img);
  EXPECT_EQ("Lit", lamp->litImg);
  EXPECT_EQ("Flipper", lamp->linkedTo);
  EXPECT_EQ(2.0f, lamp->imageScale);
  EXPECT_EQ(108.0f, lamp->position.x);
  EXPECT_EQ(492.0f, lamp->position.y);

  const ObjectDef* start = object(s, "Start");
  EXPECT_EQ(KindMarker, start->kind);
  EXPECT_EQ(start, s.findObjectById("SpawnPoint"));
  EXPECT_EQ(105.0f, start->position.x);
  EXPECT_EQ(6.0f, start->position.y);

  const ObjectDef* glow = object(s, "Glow");
  EXPECT_EQ(KindProp, glow->kind);
  EXPECT_EQ(0, glow->layer);  // its own property beats its layer's
  EXPECT_EQ(1, glow->blend);
  EXPECT_TRUE(glow->immovableByOtherScenes);
  EXPECT_EQ(0, glow->outlineCount());

  // The inspector shows the same.
  ToolRun list = runTool({"--list", dir / "out/data.dat"});
  EXPECT_EQ(0, list.code);
  EXPECT_NE(std::string::npos, list.out.find("object 'Lamp' id '' img 'images/lamp.png' litImg "
                                             "'Lit' linkedTo 'Flipper' imageScale 2"))
      << list.out;
}

}  // namespace
