// Plays the default table for real: start a game, shoot every ball with the
// plunger, work the flippers, and follow the game through its console lines
// to game over, the saved high score, and that score shown after a restart.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "harness.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int countContaining(const std::vector<std::string>& lines, const std::string& text) {
  return int(std::count_if(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(text) != std::string::npos; }));
}

// The number after `prefix` on the last line that starts with it, or -1.
long lastNumberAfter(const std::vector<std::string>& lines, const std::string& prefix) {
  long value = -1;
  for (const std::string& l : lines)
    if (l.rfind(prefix, 0) == 0) value = std::atol(l.c_str() + prefix.size());
  return value;
}

class Playtest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string built = std::string(ORVANE_BINARY_DIR) + "/default/";
    std::string data = readFile(built + "data.dat");
    ASSERT_FALSE(data.empty()) << "build the default_table target first (" << built << "data.dat)";
    dir.write("data.dat", data);
    dir.write("game.lua", readFile(built + "game.lua"));
    dir.write("table-theme.wav", readFile(built + "table-theme.wav"));
  }

  e2e::DataDir dir;
};

TEST_F(Playtest, OnePlayerGameEndsAfterThreeBallsAndKeepsTheHighScore) {
  e2e::Engine engine;
  ASSERT_TRUE(engine.start({dir.path(), "-windowed"}));
  // The script's main chunk runs before the main loop starts, and each wait
  // only searches the lines after the previous match.
  ASSERT_TRUE(engine.waitForLine("[TABLE] Orvane Pinball ready; high score 0")) << engine.transcript();
  ASSERT_TRUE(engine.waitForLine("Main loop..")) << engine.transcript();
  EXPECT_EQ(engine.windowTitle(), "Orvane Pinball");

  // Held for a few frames: a tap pressed and released between two polls of
  // the event queue never reaches the script.
  ASSERT_TRUE(engine.keyDown("F1"));
  pause(100);
  ASSERT_TRUE(engine.keyUp("F1"));
  ASSERT_TRUE(engine.waitForLine("[TABLE] game started with 1 player(s)", 10000)) << engine.transcript();

  // Each round: pull the plunger, let go, flip for a while, then let the
  // ball drain. A ball that rolls back into the shooter lane is shot again,
  // as a player would. Ball save, extra balls and multiball hand balls back,
  // so rounds can exceed three.
  auto plunge = [&](int holdMs) {
    engine.keyDown("Return");
    pause(holdMs);
    engine.keyUp("Return");
  };
  auto drained = [&] { return countContaining(engine.lines(), "[TABLE] ball drained"); };
  auto ballsGiven = [&] {
    std::vector<std::string> l = engine.lines();
    return countContaining(l, "[TABLE] player 1 ball ") + countContaining(l, "[TABLE] ball saved") +
           countContaining(l, "[TABLE] shoot again") + countContaining(l, "[TABLE] game over");
  };
  bool over = false;
  for (int round = 0; round < 10 && !over; ++round) {
    int drainedBefore = drained(), givenBefore = ballsGiven();
    pause(100);
    plunge(600 + 100 * (round % 3));
    ASSERT_TRUE(engine.waitForLineContaining("[TABLE] ball launched", 10000)) << engine.transcript();
    for (int flip = 0; flip < 6; ++flip) {
      const char* side = flip % 2 ? "Shift_R" : "Shift_L";
      engine.keyDown(side);
      pause(150);
      engine.keyUp(side);
      pause(250);
    }
    for (int waited = 0; waited < 120 && drained() == drainedBefore; ++waited) {
      pause(500);
      if (waited % 8 == 7) plunge(900);
    }
    ASSERT_GT(drained(), drainedBefore) << "round " << round << " never drained\n" << engine.transcript();
    // After the bonus count comes the next ball, or the end of the game.
    for (int waited = 0; waited < 150 && ballsGiven() == givenBefore; ++waited) pause(100);
    ASSERT_GT(ballsGiven(), givenBefore) << "round " << round << " led nowhere\n" << engine.transcript();
    over = countContaining(engine.lines(), "[TABLE] game over") > 0;
  }
  ASSERT_TRUE(over) << engine.transcript();
  // The scores follow the game-over line.
  ASSERT_TRUE(engine.waitForLineContaining("[TABLE] player 1 scored ", 5000)) << engine.transcript();

  std::vector<std::string> lines = engine.lines();
  int saved = countContaining(lines, "[TABLE] ball saved");
  int again = countContaining(lines, "[TABLE] shoot again");
  int multiballs = countContaining(lines, "[TABLE] multiball");
  EXPECT_EQ(countContaining(lines, "[TABLE] ball drained"), 3 + saved + again + 2 * multiballs);
  EXPECT_GE(countContaining(lines, "[TABLE] player 1 ball 3"), 1);
  EXPECT_EQ(countContaining(lines, "[TABLE] player 1 ball 4"), 0);
  int scoringHits = countContaining(lines, "[TABLE] bumper hit") + countContaining(lines, "[TABLE] sling hit") +
                    countContaining(lines, "[TABLE] lane ") + countContaining(lines, "[TABLE] target ") +
                    countContaining(lines, "[TABLE] spinner turned") + countContaining(lines, "[TABLE] outlane ");
  EXPECT_GT(scoringHits, 0) << engine.transcript();

  long score = lastNumberAfter(lines, "[TABLE] player 1 scored ");
  ASSERT_GT(score, 0) << engine.transcript();
  ASSERT_TRUE(engine.waitForLine("[TABLE] high score saved " + std::to_string(score), 2000)) << engine.transcript();
  std::string save = dir.read("save.dat");
  EXPECT_NE(save.find("hiscore1"), std::string::npos);
  EXPECT_NE(save.find(std::to_string(score)), std::string::npos);

  engine.interrupt();
  EXPECT_EQ(engine.waitForExit(), 0);

  // The next run reads the score back from save.dat.
  e2e::Engine rerun;
  ASSERT_TRUE(rerun.start({dir.path(), "-windowed"}));
  EXPECT_TRUE(rerun.waitForLine("[TABLE] Orvane Pinball ready; high score " + std::to_string(score)))
      << rerun.transcript();
  rerun.interrupt();
  EXPECT_EQ(rerun.waitForExit(), 0);
}

}  // namespace
