// Contact materials from the sources to the engine's catalog: the block that
// carries them, what each source says, what the packer refuses and what the
// inspector shows.
#include <gtest/gtest.h>

#include "content/world_data.h"
#include "inspector.h"
#include "pack_content.h"
#include "pack_fixture.h"
#include "tiled_fixture.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Scenes 'A' (object 'x') and 'B' (objects 'y', 'z'), none with a material.
PackContent threeObjects() {
  PackContent content;
  for (const char* name : {"A", "B"}) {
    SceneDef scene;
    scene.name = name;
    content.scenes.push_back(scene);
  }
  content.scenes[0].objects.resize(1);
  content.scenes[0].objects[0].name = "x";
  content.scenes[1].objects.resize(2);
  content.scenes[1].objects[0].name = "y";
  content.scenes[1].objects[1].name = "z";
  return content;
}

TEST(MaterialArchive, FollowsTheScenesAndOnlyWhenSomeObjectHasAMaterial) {
  PackContent content = threeObjects();
  Bytes plain = encode(content);
  ObjectDef& z = content.scenes[1].objects[1];
  z.hasMaterial = true;
  z.material = {0.5f, 2, 1};
  Bytes expected = plain;
  Bytes block = {'M', 'A', 'T',  'L',  1, 0, 0, 0,  // the tag, one record
                 1,   0,   1,    0,                 // scene 1, object 1
                 0,   0,   0,    0x3F,              // elasticity 0.5
                 0,   0,   0,    0x40,              // elasticityFalloff 2
                 0,   0,   0x80, 0x3F};             // friction 1
  expected.insert(expected.end(), block.begin(), block.end());
  EXPECT_EQ(expected, encode(content));

  std::string text;
  ASSERT_TRUE(listArchive(expected.data(), expected.size(), text)) << text;
  size_t at = plain.size();
  char lines[256];
  std::snprintf(lines, sizeof lines,
                "%10zu  materials: 1\n"
                "%10zu    material scene 1 object 1 elasticity 0.5 elasticityFalloff 2 friction 1 "
                "(scene 'B' object 'z')\n"
                "%10zu  end of archive\n",
                at, at + 8, at + 24);
  EXPECT_NE(std::string::npos, text.find(lines)) << text;

  Bytes cut(expected.begin(), expected.end() - 1);
  text.clear();
  EXPECT_FALSE(listArchive(cut.data(), cut.size(), text));
  EXPECT_NE(std::string::npos,
            text.find("the materials block needs 16 bytes of material records, 15 left"))
      << text;
}

// A manifest packing table.lua, whose objects are given.
ToolRun packLua(const ScratchDir& dir, const std::string& objects) {
  dir.write("manifest.lua", "return { scenes = { \"table.lua\" } }\n");
  dir.write("table.lua", "return { name = \"T\", objects = {\n" + objects + "\n} }\n");
  return runTool({dir / "manifest.lua", "-o", dir / "out/data.dat"});
}

struct Expected {
  bool has;
  Material m;
};

void expectMaterials(const ScratchDir& dir, const std::vector<Expected>& expected) {
  NullContentBackend backend;
  testing::internal::CaptureStdout();
  WorldData data((dir / "out/data.dat").c_str(), backend);
  testing::internal::GetCapturedStdout();
  ASSERT_FALSE(data.loadFailed);
  ASSERT_EQ(expected.size(), data.scenes[0].objects.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const ObjectDef& o = data.scenes[0].objects[i];
    EXPECT_EQ(expected[i].has, o.hasMaterial) << o.name;
    EXPECT_EQ(expected[i].m.elasticity, o.material.elasticity) << o.name;
    EXPECT_EQ(expected[i].m.elasticityFalloff, o.material.elasticityFalloff) << o.name;
    EXPECT_EQ(expected[i].m.friction, o.material.friction) << o.name;
  }
}

TEST(MaterialSources, LuaSceneFieldsGiveAMaterialWithZeroForTheOthers) {
  ScratchDir dir;
  ToolRun run = packLua(dir,
                        "{ name = \"Plain\" },\n"
                        "{ name = \"Rubber\", elasticity = 0.75, elasticityFalloff = 1.5, "
                        "friction = 0.5 },\n"
                        "{ name = \"Felt\", friction = 0.25 }");
  ASSERT_EQ(0, run.code) << run.err;
  EXPECT_EQ(std::string::npos, run.out.find("unknown field")) << run.out;
  expectMaterials(dir, {{false, {}}, {true, {0.75f, 1.5f, 0.5f}}, {true, {0, 0, 0.25f}}});
}

TEST(MaterialSources, TiledPropertiesOnObjectsAndLayers) {
  ScratchDir dir;
  dir.write("manifest.lua", "return { scenes = { \"table.tmx\" } }\n");
  dir.write("written.tmx", R"(<?xml version="1.0" encoding="UTF-8"?>
<map version="1.8" tiledversion="1.8.2" orientation="orthogonal" renderorder="right-down" width="10" height="10" tilewidth="32" tileheight="32" infinite="0" nextlayerid="3" nextobjectid="4">
 <objectgroup id="1" name="Plain">
  <object id="1" name="Post" x="0" y="0" width="10" height="10"/>
 </objectgroup>
 <objectgroup id="2" name="Rubber">
  <properties><property name="friction" type="float" value="0.5"/></properties>
  <object id="2" name="Sling" x="0" y="0" width="10" height="10">
   <properties><property name="elasticity" type="float" value="0.75"/>
    <property name="elasticityFalloff" value="2"/></properties>
  </object>
  <object id="3" name="Rail" x="0" y="0" width="10" height="10"/>
 </objectgroup>
</map>
)");
  ASSERT_TRUE(tiledExport("tmx", dir / "written.tmx", dir / "table.tmx"));
  ToolRun run = runTool({dir / "manifest.lua", "-o", dir / "out/data.dat"});
  ASSERT_EQ(0, run.code) << run.err;
  EXPECT_EQ(std::string::npos, run.out.find("unknown property")) << run.out;
  // Topmost first: Rail, Sling, Post.
  expectMaterials(dir, {{true, {0, 0, 0.5f}}, {true, {0.75f, 2, 0.5f}}, {false, {}}});
}

TEST(MaterialSources, ValuesOutOfRangeAreRefusedNamingTheObject) {
  struct Case {
    const char* object;
    const char* message;
  } cases[] = {
      {"{ name = \"W\", elasticity = 1.5 }",
       "table.lua: object 'W': property 'elasticity' 1.5 is out of range (0 to 1)"},
      {"{ name = \"W\", friction = -0.25 }",
       "table.lua: object 'W': property 'friction' -0.25 is out of range (0 to 1)"},
      {"{ name = \"W\", elasticityFalloff = 12 }",
       "table.lua: object 'W': property 'elasticityFalloff' 12 is out of range (0 to 10)"},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    ToolRun run = packLua(dir, c.object);
    EXPECT_EQ(1, run.code) << c.object;
    EXPECT_EQ("orvane-pack: " + (dir / c.message) + "\n", run.err) << c.object;
    EXPECT_FALSE(dir.exists("out/data.dat")) << c.object;
  }
}

}  // namespace
