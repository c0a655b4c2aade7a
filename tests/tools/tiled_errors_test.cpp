// Bad Tiled maps are refused with the file, the object (Tiled id and name)
// and the fault, and a refused pack leaves the previous archive as it was.
#include <gtest/gtest.h>

#include "tiled_fixture.h"

namespace {

// A map whose one object layer holds objects (XML), saved by Tiled.
std::string mapWith(const std::string& objects) {
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<map version="1.8" tiledversion="1.8.2" orientation="orthogonal" renderorder="right-down" width="10" height="10" tilewidth="32" tileheight="32" infinite="0" nextlayerid="2" nextobjectid="100">
 <objectgroup id="1" name="Objects">
  <object id="1" name="Wall" x="0" y="0" width="50" height="10"/>
)" + objects +
         R"(
 </objectgroup>
</map>
)";
}

class TiledErrors : public ::testing::Test {
 protected:
  // Packs a map holding objects, as Tiled saves it.
  ToolRun pack(const std::string& objects) {
    dir.write("manifest.lua", "return { scenes = { \"table.tmx\" } }\n");
    dir.write("written.tmx", mapWith(objects));
    EXPECT_TRUE(tiledExport("tmx", dir / "written.tmx", dir / "table.tmx"));
    return runTool({dir / "manifest.lua", "-o", dir / "out/data.dat"});
  }

  ::testing::AssertionResult refused(const ToolRun& run, const std::string& message) {
    if (run.code != 1) return ::testing::AssertionFailure() << "exit code " << run.code;
    std::string expected = "orvane-pack: " + (dir / "table.tmx") + ": " + message + "\n";
    if (run.err != expected)
      return ::testing::AssertionFailure() << "wanted " << expected << "got     " << run.err;
    if (dir.exists("out/data.dat"))
      return ::testing::AssertionFailure() << "an archive was written";
    return ::testing::AssertionSuccess();
  }

  ScratchDir dir;
};

TEST_F(TiledErrors, ShapesThatMakeNoOutline) {
  EXPECT_TRUE(
      refused(pack(R"(<object id="7" name="Odd" type="bumper" x="0" y="0" width="9" height="9"/>)"),
              "object 7 'Odd': unknown kind 'bumper' (expected static, dynamic, trigger, "
              "marker or prop)"));
  EXPECT_TRUE(refused(
      pack(R"(<object id="7" name="Odd" x="5" y="5"><polygon points="0,0 10,0"/></object>)"),
      "object 7 'Odd': polygon has 2 points; an outline needs at least 3"));
  // A bow tie: edge 1 (0,0)-(10,10) crosses edge 3 (10,0)-(0,10).
  EXPECT_TRUE(refused(
      pack(
          R"(<object id="8" name="Tie" x="5" y="5"><polygon points="0,0 10,10 10,0 0,10"/></object>)"),
      "object 8 'Tie': polygon crosses itself (edges 1 and 3, counted from 1 at the first point)"));
  EXPECT_TRUE(
      refused(pack(R"(<object id="9" name="Lane" type="trigger" x="5" y="5"><point/></object>)"),
              "object 9 'Lane': a point has no outline; a trigger object needs a polygon, "
              "rectangle or ellipse"));
  EXPECT_TRUE(refused(
      pack(
          R"(<object id="9" name="Rail" x="5" y="5"><polyline points="0,0 10,0 10,10"/></object>)"),
      "object 9 'Rail': a polyline is open; close it into a polygon"));
}

TEST_F(TiledErrors, MissingImagesAndReferences) {
  ToolRun run = pack(R"(<object id="4" name="Cap" x="0" y="20" width="9" height="9">
   <properties><property name="img" type="file" value="art/cap.png"/></properties></object>)");
  EXPECT_TRUE(refused(run, "object 4 'Cap': property 'img': cannot open '" + (dir / "art/cap.png") +
                               "': No such file or directory"));
  EXPECT_TRUE(
      refused(pack(R"(<object id="5" name="Lamp" type="prop" x="0" y="20" width="9" height="9">
   <properties><property name="linkedTo" type="object" value="42"/></properties></object>)"),
              "object 5 'Lamp': property 'linkedTo' refers to object 42, which is not in "
              "the map"));
  EXPECT_TRUE(refused(pack(R"(<object id="6" name="Hinge" x="0" y="20">
   <properties><property name="obj1" value="Flipper"/></properties><point/></object>)"),
                      "object 6 'Hinge': property 'obj1' names object 'Flipper', which is not in "
                      "the map"));
  EXPECT_TRUE(refused(pack(R"(<object id="6" name="Hinge" x="0" y="20">
   <properties><property name="obj1" type="object" value="77"/></properties><point/></object>)"),
                      "object 6 'Hinge': property 'obj1' refers to object 77, which is not in "
                      "the map"));
}

TEST_F(TiledErrors, ValuesOutOfRange) {
  auto withProperty = [](const std::string& property) {
    return R"(<object id="3" name="Ball" type="dynamic" x="0" y="20" width="9" height="9">
   <properties>)" +
           property + R"(</properties><ellipse/></object>)";
  };
  EXPECT_TRUE(
      refused(pack(withProperty(R"(<property name="collisionGroup" type="int" value="32"/>)")),
              "object 3 'Ball': property 'collisionGroup' 32 is out of range (a whole "
              "number 0 to 31)"));
  EXPECT_TRUE(refused(pack(withProperty(R"(<property name="mass" type="float" value="-1"/>)")),
                      "object 3 'Ball': property 'mass' -1 is out of range (1e-06 to 1e+09)"));
  EXPECT_TRUE(refused(pack(withProperty(R"(<property name="layer" value="top"/>)")),
                      "object 3 'Ball': property 'layer' must be a number, not 'top'"));
  EXPECT_TRUE(refused(pack(R"(<object id="4" name="Far" x="1e39" y="0" width="9" height="9"/>)"),
                      "object 4 'Far': coordinates are out of range (beyond 1000000 pixels)"));
  EXPECT_TRUE(refused(pack(withProperty(R"(<property name="segments" type="int" value="2"/>)")),
                      "object 3 'Ball': property 'segments' 2 is out of range (a whole number 3 "
                      "to 1024)"));
}

TEST_F(TiledErrors, FractionsWhereWholeNumbersBelongAreNamedSo) {
  EXPECT_TRUE(
      refused(pack(R"(<object id="3" name="Ball" x="5" y="5" width="9" height="9"><properties>
   <property name="collisionGroup" type="float" value="1.5"/></properties></object>)"),
              "object 3 'Ball': property 'collisionGroup' 1.5 is not a whole number"));
}

// The map's wall is static, so a dynamic object needs a joint or 'free'.
TEST_F(TiledErrors, ADynamicObjectWithoutAJointIsWarnedAboutUnlessFree) {
  const std::string flipper =
      R"(<object id="3" name="Flipper" type="dynamic" x="5" y="20"><properties>%s</properties>
   <polygon points="0,0 40,5 0,10"/></object>)";
  const std::string warning = "orvane-pack: warning: " + (dir / "table.tmx") +
                              ": object 3 'Flipper': dynamic object with no link falls freely";
  struct Case {
    const char* properties;
    bool warned;
  };
  for (const Case& c :
       {Case{"", true}, Case{R"(<property name="free" type="bool" value="true"/>)", false}}) {
    std::string object = flipper;
    object.replace(object.find("%s"), 2, c.properties);
    ToolRun run = pack(object);
    EXPECT_EQ(0, run.code) << run.err;
    EXPECT_EQ(c.warned, run.err.find(warning) != std::string::npos) << run.err;
  }
}

TEST_F(TiledErrors, BrokenFilesNameTheLine) {
  dir.write("manifest.lua", "return { scenes = { \"table.tmx\", \"ball.tmj\" } }\n");
  dir.write("table.tmx", "<map>\n<objectgroup id=\"1\">\n</map>\n");
  ToolRun run = runTool({dir / "manifest.lua", "-o", dir / "out/data.dat"});
  EXPECT_EQ(1, run.code);
  EXPECT_EQ(0u, run.err.find("orvane-pack: " + (dir / "table.tmx") + ":2: not valid XML"))
      << run.err;

  dir.write("table.tmx", mapWith(""));
  dir.write("ball.tmj", "{\"layers\": [ {\"type\": \"objectgroup\", \"id\": 1, \"objects\": 7} ]}");
  run = runTool({dir / "manifest.lua", "-o", dir / "out/data.dat"});
  EXPECT_EQ("orvane-pack: " + (dir / "ball.tmj") + ": layer 1: \"objects\" is not a list\n",
            run.err);
}

TEST_F(TiledErrors, ARefusedPackKeepsThePreviousArchive) {
  ToolRun good = pack("");
  ASSERT_EQ(0, good.code) << good.err;
  std::vector<unsigned char> before = dir.read("out/data.dat");
  ASSERT_FALSE(before.empty());

  ToolRun bad = pack(
      R"(<object id="2" name="Tie" x="5" y="5"><polygon points="0,0 10,10 10,0 0,10"/></object>)");
  EXPECT_EQ(1, bad.code);
  EXPECT_EQ(before, dir.read("out/data.dat"));
  for (const auto& entry : std::filesystem::directory_iterator(dir / "out"))
    EXPECT_EQ("data.dat", entry.path().filename()) << "left behind: " << entry.path();
}

}  // namespace
