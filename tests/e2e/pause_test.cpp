// Pausing as a player does: P, and switching to another window. No step runs
// while the game is paused, and only P resumes it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"

namespace {

// The step count of the newest console line that starts with prefix.
std::string lastStep(const e2e::Engine& engine, const std::string& prefix) {
  std::vector<std::string> lines = engine.lines();
  for (auto it = lines.rbegin(); it != lines.rend(); ++it)
    if (it->rfind(prefix, 0) == 0) return it->substr(prefix.size());
  return "";
}

int countLines(const e2e::Engine& engine, const std::string& prefix) {
  int n = 0;
  for (const std::string& line : engine.lines()) n += line.rfind(prefix, 0) == 0;
  return n;
}

// P down until a new line starting with prefix says it took effect.
bool pressP(e2e::Engine& engine, const std::string& prefix) {
  const int before = countLines(engine, prefix);
  bool seen = engine.hold("p", [&] { return countLines(engine, prefix) > before; });
  engine.release("p");
  return seen;
}

}  // namespace

TEST(Pause, PAndFocusLossHoldTheStepsUntilPResumes) {
  e2e::DataDir table;
  table.write("data.dat", e2e::smallestArchive());
  table.write("game.lua", "function update(dt) end\n");
  e2e::Engine engine;
  ASSERT_TRUE(engine.start({table.path(), "-windowed"}));
  ASSERT_TRUE(engine.waitForLine("Main loop..")) << engine.transcript();

  for (bool byFocus : {false, true}) {
    if (byFocus) {
      const int pauses = countLines(engine, "Paused at step ");
      ASSERT_TRUE(engine.focusElsewhere());
      ASSERT_TRUE(engine.waitUntil([&] { return countLines(engine, "Paused at step ") > pauses; },
                                   "the pause on losing the focus"))
          << engine.transcript();
    } else {
      ASSERT_TRUE(pressP(engine, "Paused at step ")) << engine.transcript();
    }
    std::string paused = lastStep(engine, "Paused at step ");
    // A paused game still draws now and then; a few frames are time enough
    // for steps to have run, had the pause let them.
    const long frames = engine.frames();
    ASSERT_TRUE(engine.waitUntil([&] { return engine.frames() >= frames + 3; }, "paused frames"));
    // The key press gives the focus back first; only P resumes.
    ASSERT_TRUE(pressP(engine, "Resumed at step ")) << engine.transcript();
    EXPECT_EQ(lastStep(engine, "Resumed at step "), paused) << engine.transcript();
  }
  engine.interrupt();
  EXPECT_EQ(engine.waitForExit(), 0) << engine.transcript();
}
