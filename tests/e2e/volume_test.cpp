// The volume keys as a player uses them: each press one step with its line,
// and the level is where the next start begins.
#include <gtest/gtest.h>

#include <string>

#include "harness.h"

TEST(VolumeKeys, EachPressStepsTheVolumeAndTheNextStartKeepsIt) {
  e2e::DataDir config, table;
  table.write("data.dat", e2e::smallestArchive());
  table.write("game.lua", "function update(dt) end\n");
  e2e::EngineOptions options;
  options.environment = {{"XDG_CONFIG_HOME", config.path()}};

  e2e::Engine first;
  ASSERT_TRUE(first.start({table.path(), "-windowed"}, options));
  ASSERT_TRUE(first.waitForLine("Main loop..")) << first.transcript();
  ASSERT_TRUE(first.press("minus", "Volume 9/10")) << first.transcript();
  ASSERT_TRUE(first.press("KP_Subtract", "Volume 8/10")) << first.transcript();
  ASSERT_TRUE(first.press("Escape", "ESC pressed; quitting the game.")) << first.transcript();
  EXPECT_EQ(first.waitForExit(), 0) << first.transcript();
  EXPECT_EQ(config.read("orvane/volume"), "8\n");

  e2e::Engine second;
  ASSERT_TRUE(second.start({table.path(), "-windowed"}, options));
  ASSERT_TRUE(second.waitForLine("Main loop..")) << second.transcript();
  ASSERT_TRUE(second.press("equal", "Volume 9/10")) << second.transcript();
  ASSERT_TRUE(second.press("KP_Add", "Volume 10/10")) << second.transcript();
  second.interrupt();
  EXPECT_EQ(second.waitForExit(), 0) << second.transcript();
}
