// The same table drawn as a Lua scene or as a Tiled map meets the same rules
// with the same messages; numbers a map gives where a whole one belongs are
// refused, however large, naming the file, the object and the property.
#include <gtest/gtest.h>

#include "content/world_data.h"
#include "manifest.h"
#include "pack_fixture.h"

namespace {

// Packs one scene file written as given; the manifest names it.
ToolRun packScene(const ScratchDir& dir, const std::string& file, const std::string& text) {
  dir.write("manifest.lua", "return { scenes = { \"" + file + "\" } }\n");
  dir.write(file, text);
  return runTool({dir / "manifest.lua", "-o", dir / "out/data.dat"});
}

std::string luaScene(const std::string& object) {
  return "return { name = \"T\", objects = {\n" + object + "\n} }\n";
}

std::string tmxMap(const std::string& object) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<map version=\"1.8\" orientation=\"orthogonal\" width=\"10\" height=\"10\" "
         "tilewidth=\"32\" tileheight=\"32\">\n"
         " <objectgroup id=\"1\" name=\"Objects\">\n" +
         object + "\n </objectgroup>\n</map>\n";
}

std::string tmjMap(const std::string& object) {
  return R"({"type": "map", "orientation": "orthogonal", "width": 10, "height": 10,
 "layers": [{"type": "objectgroup", "id": 1, "name": "Objects", "objects": [)" +
         object + "]}]}\n";
}

TEST(SceneChecks, ALuaSceneAndATiledMapGetTheSameMessageForTheSameFault) {
  struct Case {
    const char* lua;
    const char* tmx;
    const char* fault;
  } cases[] = {
      {R"({ name = "Tie", outline = { {0, 0}, {10, 10}, {10, 0}, {0, 10} } })",
       R"(<object id="8" name="Tie" x="0" y="0"><polygon points="0,0 10,10 10,0 0,10"/></object>)",
       "object 8 'Tie'|polygon crosses itself (edges 1 and 3, counted from 1 at the first point)"},
      {R"({ name = "Flat", outline = { {0, 0}, {10, 0}, {20, 0} } })",
       R"(<object id="2" name="Flat" x="0" y="0"><polygon points="0,0 10,0 20,0"/></object>)",
       "object 2 'Flat'|outline has no area"},
      {R"({ name = "Ball", kind = "dynamic", mass = -1, outline = circle(5, 8) })",
       R"(<object id="3" name="Ball" type="dynamic" x="0" y="0" width="9" height="9">
   <properties><property name="mass" type="float" value="-1"/></properties><ellipse/></object>)",
       "object 3 'Ball'|property 'mass' -1 is out of range (1e-06 to 1e+09)"},
      {R"({ name = "Ball", kind = "dynamic", inertiaRadius = 0, outline = circle(5, 8) })",
       R"(<object id="3" name="Ball" type="dynamic" x="0" y="0" width="9" height="9">
   <properties><property name="inertiaRadius" type="float" value="0"/></properties><ellipse/></object>)",
       "object 3 'Ball'|property 'inertiaRadius' 0 is out of range (1e-06 to 1e+09)"},
      {R"({ name = "Big", kind = "prop", imageScale = 2e6 })",
       R"(<object id="5" name="Big" type="prop" x="0" y="0">
   <properties><property name="imageScale" type="float" value="2e6"/></properties><point/></object>)",
       "object 5 'Big'|property 'imageScale' 2e+06 is out of range (1e-06 to 1e+06)"},
  };
  for (const Case& c : cases) {
    std::string fault = c.fault, tiledObject = fault.substr(0, fault.find('|'));
    fault = fault.substr(fault.find('|') + 1);
    ScratchDir dir;
    ToolRun lua = packScene(dir, "table.lua", luaScene(c.lua));
    EXPECT_EQ(1, lua.code) << c.lua;
    std::string name = tiledObject.substr(tiledObject.find('\''));
    EXPECT_EQ("orvane-pack: " + (dir / "table.lua") + ": object " + name + ": " + fault + "\n",
              lua.err);
    ToolRun tmx = packScene(dir, "table.tmx", tmxMap(c.tmx));
    EXPECT_EQ(1, tmx.code) << c.tmx;
    EXPECT_EQ("orvane-pack: " + (dir / "table.tmx") + ": " + tiledObject + ": " + fault + "\n",
              tmx.err);
    EXPECT_FALSE(dir.exists("out/data.dat"));
  }
}

TEST(SceneChecks, ClockwiseOutlinesAreTurnedRoundAlikeInBothSources) {
  // Clockwise on screen; a trigger, so that Tiled adds no points to it.
  ScratchDir dir;
  ASSERT_EQ(0, packScene(dir, "table.lua", luaScene(R"({ name = "Lane", kind = "trigger",
                                       outline = { {0, 0}, {40, 0}, {40, 10}, {0, 10} } })"))
                   .code);
  std::vector<unsigned char> fromLua = dir.read("out/data.dat");
  ToolRun tmx =
      packScene(dir, "T.tmx", tmxMap(R"(<object id="1" name="Lane" type="trigger" x="0" y="0">
   <polygon points="0,0 40,0 40,10 0,10"/></object>)"));
  ASSERT_EQ(0, tmx.code) << tmx.err;
  EXPECT_EQ("", tmx.out.substr(0, tmx.out.find("Packed")));  // no note either way
  EXPECT_EQ(fromLua, dir.read("out/data.dat"));

  NullContentBackend backend;
  WorldData data((dir / "out/data.dat").c_str(), backend);
  ASSERT_FALSE(data.loadFailed);
  EXPECT_LT(shoelaceSum(data.scenes[0].objects[0].outline), 0);
}

TEST(SceneChecks, HugeOrNanNumbersWhereWholeOnesBelongAreRefusedInBothForms) {
  struct Case {
    const char* file;
    std::string text;
    const char* message;  // after "orvane-pack: <file>"
  } cases[] = {
      {"t.tmx", tmxMap(R"(<object id="1e300" name="Bad" x="0" y="0"/>)"),
       ":4: object 'Bad': attribute id=\"1e300\" is not a whole number"},
      {"t.tmx", tmxMap(R"(<object id="-1e300" name="Bad" x="0" y="0"/>)"),
       ":4: object 'Bad': attribute id=\"-1e300\" is not a whole number"},
      {"t.tmx", tmxMap(R"(<object id="nan" name="Bad" x="0" y="0"/>)"),
       ":4: object 'Bad': attribute id=\"nan\" is not a whole number"},
      {"t.tmj", tmjMap(R"({"id": 1e300, "name": "Bad", "x": 0, "y": 0})"),
       ": object 'Bad': \"id\" is not a whole number (1e+300)"},
      {"t.tmj", tmjMap(R"({"id": -1e300, "name": "Bad", "x": 0, "y": 0})"),
       ": object 'Bad': \"id\" is not a whole number (-1e+300)"},
      {"t.tmx", tmxMap(R"(<object id="3" name="Bad" x="0" y="0" width="9" height="9">
   <properties><property name="layer" type="int" value="nan"/></properties></object>)"),
       ": object 3 'Bad': property 'layer' nan is out of range (a whole number 0 to 255)"},
      {"t.tmj", tmjMap(R"({"id": 3, "name": "Bad", "x": 0, "y": 0, "width": 9, "height": 9,
   "properties": [{"name": "layer", "type": "int", "value": -1e300}]})"),
       ": object 3 'Bad': property 'layer' -1e+300 is out of range (a whole number 0 to 255)"},
      {"t.tmx", tmxMap(R"(<object id="3" name="Bad" x="0" y="0" width="9" height="9">
   <properties><property name="kind" type="int" value="1e300"/></properties></object>)"),
       ": object 3 'Bad': kind 1e+300 is out of range (0 to 4)"},
      {"t.tmj", tmjMap(R"({"id": 3, "name": "Bad", "x": 0, "y": 0, "width": 9, "height": 9,
   "properties": [{"name": "linkedTo", "type": "object", "value": 1e300}]})"),
       ": object 3 'Bad': property 'linkedTo' refers to object 1e+300, which is not in the map"},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    ToolRun run = packScene(dir, c.file, c.text);
    EXPECT_EQ(1, run.code) << c.text;
    EXPECT_EQ("orvane-pack: " + (dir / c.file) + c.message + "\n", run.err);
  }
  // JSON has no nan: such a map is not JSON at all.
  ScratchDir dir;
  ToolRun run = packScene(dir, "t.tmj", tmjMap(R"({"id": NaN, "name": "Bad"})"));
  EXPECT_EQ(1, run.code);
  EXPECT_NE(std::string::npos, run.err.find("t.tmj: not valid JSON")) << run.err;
}

}  // namespace
