// The Comet table's maps, as Tiled saved them: they pack the same from
// Tiled's XML and from the JSON Tiled converts them to, and hold the parts
// its game.lua looks up.
#include <gtest/gtest.h>

#include "content/world_data.h"
#include "tiled_fixture.h"

namespace {

const ObjectDef* object(const SceneDef* scene, const std::string& name) {
  for (const ObjectDef& o : scene->objects)
    if (o.name == name) return &o;
  return nullptr;
}

TEST(CometTable, PacksTheSameFromItsMapsAsTmxAndAsTmj) {
  ScratchDir dir;
  std::filesystem::copy(std::string(ORVANE_SOURCE_DIR) + "/games/comet", dir.path(),
                        std::filesystem::copy_options::recursive);
  ToolRun fromTmx = runTool({dir / "manifest.lua", "-o", dir / "tmx/data.dat"});
  ASSERT_EQ(0, fromTmx.code) << fromTmx.err;
  EXPECT_EQ(std::string::npos, fromTmx.out.find("note:")) << fromTmx.out;

  std::vector<unsigned char> bytes = dir.read("manifest.lua");
  std::string manifest(bytes.begin(), bytes.end());
  for (const char* map : {"table", "ball", "plunger"}) {
    std::string tmx = std::string("maps/") + map + ".tmx",
                tmj = std::string("maps/") + map + ".tmj";
    ASSERT_TRUE(tiledExport("json", dir / tmx, dir / tmj));
    manifest.replace(manifest.find(tmx), tmx.size(), tmj);
  }
  dir.write("manifest.lua", manifest);
  ToolRun fromTmj = runTool({dir / "manifest.lua", "-o", dir / "tmj/data.dat"});
  ASSERT_EQ(0, fromTmj.code) << fromTmj.err;
  EXPECT_EQ(dir.read("tmx/data.dat"), dir.read("tmj/data.dat"));

  NullContentBackend backend;
  WorldData data((dir / "tmx/data.dat").c_str(), backend);
  ASSERT_FALSE(data.loadFailed);
  const SceneDef* table = data.findScene("Table");
  ASSERT_TRUE(table);
  for (const char* name :
       {"LeftFlipper", "RightFlipper", "Drain", "Bumper1", "Bumper4Ring", "SlingLeft",
        "SlingRightKick", "Target3", "Target3Switch", "OutlaneLeft", "LampAgain", "Lamp3x"})
    EXPECT_TRUE(object(table, name)) << name;
  EXPECT_EQ(KindDynamic, object(table, "LeftFlipper")->kind);
  EXPECT_EQ(KindTrigger, object(table, "Drain")->kind);
  ASSERT_EQ(2, table->linkCount());
  EXPECT_EQ("LeftFlipper", table->links[0].obj1);
  EXPECT_TRUE(table->findObjectById("BallStart"));
  const SceneDef* ball = data.findScene("Ball");
  ASSERT_TRUE(ball);
  EXPECT_TRUE(ball->findObjectById("SpawnPoint"));
  EXPECT_TRUE(data.findScene("Plunger"));
  EXPECT_TRUE(data.findTexture("Images\\hud-lit.png"));
  EXPECT_EQ(2, data.fontCount());
}

}  // namespace
