// F5 while the engine runs: an author changes the Comet table's map and
// game.lua, repacks, and sees the new table at once; a broken script or
// archive is reported and the table that was running goes on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "harness.h"
#include "pack_cli.h"

using e2e::DataDir;
using e2e::Engine;

namespace {

void replaceOnce(std::string& text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  ASSERT_NE(std::string::npos, at) << "no \"" << from << "\"";
  text.replace(at, from.size(), to);
}

class Reload : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy(std::string(ORVANE_SOURCE_DIR) + "/games/comet", dir.path() + "/src",
                          std::filesystem::copy_options::recursive);
    play = dir.path() + "/play";
    ASSERT_TRUE(pack());
    dir.write("play/game.lua", dir.read("src/game.lua"));
  }

  bool pack() {
    return runPackTool({dir.path() + "/src/manifest.lua", "-o", play + "/data.dat"}, stdout,
                       stderr) == 0;
  }

  DataDir dir;
  std::string play;
};

TEST_F(Reload, F5PicksUpTheNewMapAndScriptAndABrokenOneLeavesTheTableRunning) {
  Engine engine;
  ASSERT_TRUE(engine.start({play, "-windowed"}));
  ASSERT_TRUE(engine.waitForLine("[COMET] Comet ready; high score 0")) << engine.transcript();
  ASSERT_TRUE(engine.waitForLine("Main loop..")) << engine.transcript();
  const std::string reloading = "Reloading the table from '" + play + "'..";

  // The author adds a marker in the map and a line that uses it, and sets a
  // property that must outlive the reloads.
  std::string map = dir.read("src/maps/table.tmx");
  replaceOnce(map, "<objectgroup id=\"6\" name=\"Markers\">",
              "<objectgroup id=\"6\" name=\"Markers\">\n"
              "  <object id=\"900\" name=\"New\" x=\"123\" y=\"456\">\n"
              "   <properties><property name=\"id\" value=\"Added\"/></properties><point/>\n"
              "  </object>");
  dir.write("src/maps/table.tmx", map);
  ASSERT_TRUE(pack());
  std::string script = dir.read("src/game.lua") + R"(
local added = SceneGetSpecialPos(tableScene, "Added")
print("[COMET] added marker at " .. added.x .. ", " .. added.y)
PropertySet("hiscore1", 4321)
)";
  dir.write("play/game.lua", script);
  ASSERT_TRUE(engine.press("F5", reloading)) << engine.transcript();
  ASSERT_TRUE(engine.waitForLine("[COMET] Comet ready; high score 0")) << engine.transcript();
  ASSERT_TRUE(engine.waitForLine("[COMET] added marker at 123, 456")) << engine.transcript();

  // A script that does not compile: reported, and the table goes on with the
  // rules it had, which still start a game.
  dir.write("play/game.lua", "print('half written'\n");
  ASSERT_TRUE(engine.press("F5", reloading)) << engine.transcript();
  ASSERT_TRUE(engine.waitForLine("Lua error: syntax error")) << engine.transcript();
  ASSERT_TRUE(engine.waitForLine("Reload failed; the table goes on as it was"))
      << engine.transcript();
  ASSERT_TRUE(engine.press("F1", "[COMET] game started with 1 player(s)")) << engine.transcript();
  {
    // The failure is told before the failed table's world is cleared, and
    // standard error says whose world that is.
    std::vector<std::string> lines = engine.lines();
    auto failed =
        std::find(lines.begin(), lines.end(), "Reload failed; the table goes on as it was");
    ASSERT_NE(lines.end(), failed);
    EXPECT_NE("[WORLD] Clearing world", *(failed - 1)) << engine.transcript();
    EXPECT_EQ("[WORLD] Clearing world", *(failed + 1)) << engine.transcript();
    EXPECT_NE(std::string::npos, engine.transcript().find(
                                     "Reload: clearing the world of the table that failed to load"))
        << engine.transcript();
  }

  // So does an archive that cannot be loaded.
  dir.write("play/data.dat", "not an archive");
  dir.write("play/game.lua", script);
  ASSERT_TRUE(engine.press("F5", reloading)) << engine.transcript();
  ASSERT_TRUE(engine.waitForLine("Invalid world data version!")) << engine.transcript();
  ASSERT_TRUE(engine.waitForLine("Reload failed; the table goes on as it was"))
      << engine.transcript();
  ASSERT_TRUE(engine.press("F10", "Drawing visual debug helpers")) << engine.transcript();

  // Back to a good archive: the properties written before are still there.
  ASSERT_TRUE(pack());
  dir.write("play/game.lua", "print('hiscore1 is ' .. PropertyGet('hiscore1'))\n");
  ASSERT_TRUE(engine.press("F5", reloading)) << engine.transcript();
  ASSERT_TRUE(engine.waitForLine("hiscore1 is 4321")) << engine.transcript();

  ASSERT_TRUE(engine.press("Escape", "ESC pressed; quitting the game.")) << engine.transcript();
  EXPECT_EQ(engine.waitForExit(), 0) << engine.transcript();
  EXPECT_NE(std::string::npos, dir.read("play/save.dat").find("4321"));
  // The broken script's two lines (it does not compile, so its main chunk is
  // nil) are the only script errors: every other reload ran clean.
  int errors = 0;
  for (const std::string& line : engine.lines()) errors += line.rfind("Lua error: ", 0) == 0;
  EXPECT_EQ(2, errors) << engine.transcript();
  // Standard error says what and where.
  EXPECT_NE(std::string::npos, engine.transcript().find("Lua error: game.lua:2: ')' expected"))
      << engine.transcript();
}

}  // namespace
