// F5 while the engine runs: an author changes the Comet table's map and
// game.lua, repacks, and sees the new table at once; a broken script or
// archive is reported and the table that was running goes on.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "harness.h"
#include "pack_cli.h"

using e2e::DataDir;
using e2e::Engine;

namespace {

// Holds key down until line comes, or a few seconds; then lets it go and,
// when the line has not come, presses again, a few times. Game keys are
// levels that the script reads once a step, so a tap could fall between
// two steps; the engine keys act on the key-down event.
::testing::AssertionResult pressUntil(Engine& engine, const std::string& key,
                                      const std::string& line) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (!engine.keyDown(key))
      return ::testing::AssertionFailure() << "xdotool could not press " << key;
    bool seen = engine.waitForLine(line, 8000);
    engine.keyUp(key);
    if (seen) return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "five presses of " << key << " and no \"" << line << "\" in:\n"
         << engine.transcript();
}

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
  ASSERT_TRUE(pressUntil(engine, "F5", reloading));
  ASSERT_TRUE(engine.waitForLine("[COMET] Comet ready; high score 0")) << engine.transcript();
  ASSERT_TRUE(engine.waitForLine("[COMET] added marker at 123, 456")) << engine.transcript();

  // A script that does not compile: reported, and the table goes on with the
  // rules it had, which still start a game.
  dir.write("play/game.lua", "print('half written'\n");
  ASSERT_TRUE(pressUntil(engine, "F5", reloading));
  ASSERT_TRUE(engine.waitForLine("Lua error: syntax error")) << engine.transcript();
  ASSERT_TRUE(engine.waitForLine("Reload failed; the table goes on as it was"))
      << engine.transcript();
  ASSERT_TRUE(pressUntil(engine, "F1", "[COMET] game started with 1 player(s)"));

  // So does an archive that cannot be loaded.
  dir.write("play/data.dat", "not an archive");
  dir.write("play/game.lua", script);
  ASSERT_TRUE(pressUntil(engine, "F5", reloading));
  ASSERT_TRUE(engine.waitForLine("Invalid world data version!")) << engine.transcript();
  ASSERT_TRUE(engine.waitForLine("Reload failed; the table goes on as it was"))
      << engine.transcript();
  ASSERT_TRUE(pressUntil(engine, "F10", "Drawing visual debug helpers"));

  // Back to a good archive: the properties written before are still there.
  ASSERT_TRUE(pack());
  dir.write("play/game.lua", "print('hiscore1 is ' .. PropertyGet('hiscore1'))\n");
  ASSERT_TRUE(pressUntil(engine, "F5", reloading));
  ASSERT_TRUE(engine.waitForLine("hiscore1 is 4321")) << engine.transcript();

  ASSERT_TRUE(pressUntil(engine, "Escape", "ESC pressed; quitting the game."));
  EXPECT_EQ(engine.waitForExit(), 0) << engine.transcript();
  EXPECT_NE(std::string::npos, dir.read("play/save.dat").find("4321"));
  // The broken script's two lines (it does not compile, so its main chunk is
  // nil) are the only script errors: every other reload ran clean.
  int errors = 0;
  for (const std::string& line : engine.lines()) errors += line.rfind("Lua error: ", 0) == 0;
  EXPECT_EQ(2, errors) << engine.transcript();
}

}  // namespace
