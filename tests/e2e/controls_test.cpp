// The player's controls file as the engine reads it: -controls shows it, and
// a game key moved to another key follows that key in play.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"

TEST(Controls, TheFileMovesAKeyAndMinusControlsShowsWhereEachCameFrom) {
  e2e::DataDir config, table;
  config.write("orvane/controls", "# mine\nlpad = Z, controller:leftshoulder\nrpad = Nope\n");
  table.write("data.dat", e2e::smallestArchive());
  table.write("game.lua", R"(
local held = false
function update(dt)
  if keys.lpad ~= held then held = keys.lpad; print(held and "lpad down" or "lpad up") end
end
)");
  e2e::EngineOptions options;
  options.environment = {{"XDG_CONFIG_HOME", config.path()}};

  e2e::Engine list;
  e2e::EngineOptions headless = options;
  headless.display = false;
  ASSERT_TRUE(list.start({"-controls"}, headless));
  EXPECT_EQ(list.waitForExit(), 0) << list.transcript();
  const std::string file = config.path() + "/orvane/controls";
  std::vector<std::string> lines = list.lines();
  ASSERT_EQ(lines.size(), 14u) << list.transcript();
  EXPECT_EQ(lines[0], "[CONTROLS] " + file + ":3: no key named 'Nope'; rpad keeps its defaults");
  EXPECT_EQ(lines[1], "Controls file: '" + file + "'");
  EXPECT_EQ(lines[6], "  lpad = Z, controller:leftshoulder  (" + file + ":2)");
  EXPECT_EQ(lines[7],
            "  rpad = Right Shift, controller:rightshoulder, controller:righttrigger  (default)");

  e2e::Engine engine;
  ASSERT_TRUE(engine.start({table.path(), "-windowed"}, options));
  ASSERT_TRUE(engine.waitForLine("Main loop..")) << engine.transcript();
  ASSERT_TRUE(engine.press("z", "lpad down")) << engine.transcript();
  EXPECT_TRUE(engine.waitForLine("lpad up")) << engine.transcript();
  engine.interrupt();
  EXPECT_EQ(engine.waitForExit(), 0) << engine.transcript();
}
