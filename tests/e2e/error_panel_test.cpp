// The script error panel as a player sees it: nothing while the table runs
// cleanly, the first error over the picture once there is one, and F9 to
// hide and show it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "harness.h"

using e2e::DataDir;
using e2e::Engine;

namespace {

// Inside the panel's box at the bottom left, left of its text.
constexpr int panelX = 11, panelY = 589;
const e2e::Rgb black{0, 0, 0};

bool isBlack(const e2e::Image& image) {
  for (const e2e::Rgb& p : image.pixels)
    if (p != black) return false;
  return true;
}

// The panel's text is light on its dark red box.
int textPixels(const e2e::Image& image) {
  int count = 0;
  for (int y = 400; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      if (image.at(x, y).g > 150) ++count;
  return count;
}

// Reads the screen back until the panel is shown or hidden, at most ten
// times a second: each read-back costs the machine a frame's worth.
std::function<bool()> panelIs(Engine& engine, bool shown, e2e::Image* last) {
  return [&engine, shown, last, first = true]() mutable {
    if (!first) usleep(100 * 1000);
    first = false;
    *last = engine.grabWindow();
    return !last->empty() && (last->at(panelX, panelY) != black) == shown;
  };
}

}  // namespace

TEST(ErrorPanel, ShowsTheFirstScriptErrorAndF9HidesAndShowsIt) {
  DataDir dir;
  dir.write("data.dat", e2e::smallestArchive());
  dir.write("game.lua", "function update()\n  if keys.launch then HudShowText() end\nend\n");
  Engine engine;
  ASSERT_TRUE(engine.start({dir.path(), "-windowed"}));
  ASSERT_TRUE(engine.waitForLine("Main loop..")) << engine.transcript();

  // Without errors the table draws nothing here: the screen stays black.
  long start = engine.frames();
  ASSERT_TRUE(engine.waitUntil([&] { return engine.frames() >= start + 10; }, "ten frames"))
      << engine.transcript();
  e2e::Image frame = engine.grabWindow();
  ASSERT_FALSE(frame.empty()) << engine.transcript();
  EXPECT_TRUE(isBlack(frame));

  ASSERT_TRUE(engine.press(
      "Return", "Lua error: runtime error (Not enough parameters for function 'HudShowText'!)"))
      << engine.transcript();
  ASSERT_TRUE(engine.waitUntil(panelIs(engine, true, &frame), "the panel to show"))
      << engine.transcript();
  EXPECT_GT(textPixels(frame), 100);
  EXPECT_EQ(frame.at(400, 100), black);  // a panel, not a screen

  ASSERT_TRUE(engine.hold("F9", panelIs(engine, false, &frame))) << engine.transcript();
  engine.release("F9");
  EXPECT_TRUE(isBlack(frame));
  ASSERT_TRUE(engine.hold("F9", panelIs(engine, true, &frame))) << engine.transcript();
  engine.release("F9");

  engine.interrupt();
  EXPECT_EQ(engine.waitForExit(), 0) << engine.transcript();
  EXPECT_NE(engine.transcript().find("Lua errors in this run: "), std::string::npos)
      << engine.transcript();
}
