// Plays the default table for real: start a game, shoot every ball with the
// plunger, work the flippers, and follow the game through its console lines
// to game over, the saved high score, and that score shown after a restart.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "default_table.h"
#include "harness.h"

namespace {

using e2e::countContaining;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
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
  ASSERT_TRUE(engine.waitForLine("[TABLE] Orvane Pinball ready; high score 0"))
      << engine.transcript();
  ASSERT_TRUE(engine.waitForLine("Main loop..")) << engine.transcript();
  EXPECT_EQ(engine.windowTitle(), "Orvane Pinball");

  ASSERT_TRUE(engine.press("F1", "[TABLE] game started with 1 player(s)")) << engine.transcript();

  auto count = [&](const std::string& text) { return countContaining(engine.lines(), text); };
  auto ballsGiven = [&] { return e2e::ballsServed(engine.lines()) + count("[TABLE] game over"); };

  // Each round: shoot the ball, flip a few times, play on until a ball
  // drains, and wait for the next one. Ball save, extra balls and multiball
  // hand balls back, so rounds can exceed three.
  bool over = false;
  for (int round = 0; round < 10 && !over; ++round) {
    const int drained = count("[TABLE] ball drained"), given = ballsGiven();
    // Eight notches and more send the ball round the top of the table.
    ASSERT_TRUE(e2e::launchBall(engine, 8 + round % 3)) << "round " << round << " never launched\n"
                                                        << engine.transcript();
    for (int f = 0; f < 6; ++f) e2e::flip(engine, f % 2 ? "Shift_R" : "Shift_L");
    ASSERT_TRUE(e2e::playUntil(
        engine, [&] { return count("[TABLE] ball drained") > drained; }, 120))
        << "round " << round << " never drained in two minutes of play\n"
        << engine.transcript();
    // After the bonus count comes the next ball, or the end of the game;
    // with several balls in play, only the last drain ends the ball.
    ASSERT_TRUE(e2e::playUntil(
        engine, [&] { return ballsGiven() > given; }, 120))
        << "round " << round << " led nowhere\n"
        << engine.transcript();
    over = count("[TABLE] game over") > 0;
  }
  ASSERT_TRUE(over) << engine.transcript();
  // The scores follow the game-over line.
  ASSERT_TRUE(engine.waitForLineContaining("[TABLE] player 1 scored ")) << engine.transcript();

  std::vector<std::string> lines = engine.lines();
  int saved = countContaining(lines, "[TABLE] ball saved");
  int again = countContaining(lines, "[TABLE] shoot again");
  int multiballs = countContaining(lines, "[TABLE] multiball");
  EXPECT_EQ(countContaining(lines, "[TABLE] ball drained"), 3 + saved + again + 2 * multiballs);
  EXPECT_GE(countContaining(lines, "[TABLE] player 1 ball 3"), 1);
  EXPECT_EQ(countContaining(lines, "[TABLE] player 1 ball 4"), 0);
  int scoringHits =
      countContaining(lines, "[TABLE] bumper hit") + countContaining(lines, "[TABLE] sling hit") +
      countContaining(lines, "[TABLE] lane ") + countContaining(lines, "[TABLE] target ") +
      countContaining(lines, "[TABLE] spinner turned") + countContaining(lines, "[TABLE] outlane ");
  EXPECT_GT(scoringHits, 0) << engine.transcript();

  long score = e2e::lastNumberAfter(lines, "[TABLE] player 1 scored ");
  ASSERT_GT(score, 0) << engine.transcript();
  ASSERT_TRUE(engine.waitForLine("[TABLE] high score saved " + std::to_string(score)))
      << engine.transcript();
  std::string save = dir.read("save.dat");
  EXPECT_NE(save.find("hiscore1"), std::string::npos);
  EXPECT_NE(save.find(std::to_string(score)), std::string::npos);

  engine.interrupt();
  EXPECT_EQ(engine.waitForExit(), 0);

  // The next run reads the score back from save.dat.
  e2e::Engine rerun;
  ASSERT_TRUE(rerun.start({dir.path(), "-windowed"}));
  EXPECT_TRUE(
      rerun.waitForLine("[TABLE] Orvane Pinball ready; high score " + std::to_string(score)))
      << rerun.transcript();
  rerun.interrupt();
  EXPECT_EQ(rerun.waitForExit(), 0);
}

}  // namespace
