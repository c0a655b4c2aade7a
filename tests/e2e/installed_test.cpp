// The engine as a player installs it: `cmake --install` of this build into a
// temporary root, then the installed orvane run from another folder, with
// the player's data folder inside the test's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/tables.h"
#include "default_table.h"
#include "harness.h"

namespace fs = std::filesystem;

namespace {

// Every entry under dir, files with their size and modification time, to
// show that a run changed nothing there.
std::vector<std::string> snapshot(const std::string& dir) {
  std::vector<std::string> entries;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    std::string line = fs::relative(e.path(), dir).string();
    if (e.is_regular_file())
      line += " " + std::to_string(e.file_size()) + " " +
              std::to_string(e.last_write_time().time_since_epoch().count());
    entries.push_back(line);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

std::string u32(size_t n) {
  return std::string{char(n), char(n >> 8), char(n >> 16), char(n >> 24)};
}
// One entry of save.dat, and a save.dat holding only that entry.
std::string saveEntry(const std::string& key, const std::string& value) {
  return u32(key.size()) + key + u32(value.size()) + value;
}
std::string saveFile(const std::string& key, const std::string& value) {
  return u32(1) + saveEntry(key, value);
}

// Counts its runs in save.dat.
const char* const runCounter = R"(
local runs = tonumber(PropertyGet("runs") or "") or 0
print("runs so far " .. runs)
PropertySet("runs", runs + 1)
)";

class Installed : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string command = "DESTDIR='" + root.path() + "' cmake --install '" + ORVANE_BINARY_DIR +
                          "' --prefix /usr > '" + root.path() + "/install.log' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << root.read("install.log");
    options.executable = root.path() + "/usr/games/orvane";
    options.workingDirectory = elsewhere.path();
    options.environment = {{"XDG_DATA_HOME", player.path() + "/data"},
                           {"HOME", player.path() + "/home"}};
  }

  std::string tables() const { return root.path() + "/usr/share/games/orvane"; }
  // Adds a table to the installed ones, as a second package would.
  void installTable(const std::string& name, const std::string& script,
                    const std::string& save = "") const {
    root.write("usr/share/games/orvane/" + name + "/data.dat", e2e::smallestArchive());
    root.write("usr/share/games/orvane/" + name + "/game.lua", script);
    if (!save.empty()) root.write("usr/share/games/orvane/" + name + "/save.dat", save);
  }

  e2e::DataDir root, elsewhere, player;
  e2e::EngineOptions options;
};

// Plays one-player games on the default table until one ends with a score
// above zero, and returns that score (-1 when none did).
long playUntilAHighScore(e2e::Engine& engine) {
  auto count = [&](const std::string& text) { return e2e::countContaining(engine.lines(), text); };
  for (int game = 1; game <= 3; ++game) {
    // After a game the table shows its end for a few seconds of play and
    // ignores the start keys; a press it ignored is pressed again.
    if (!engine.press("F1", "[TABLE] game started with 1 player(s)", 120000)) return -1;
    if (!e2e::playUntil(
            engine, [&] { return count("[TABLE] game over") >= game; }, 600))
      return -1;
    if (!engine.waitForLineContaining("[TABLE] player 1 scored ")) return -1;
    long score = e2e::lastNumberAfter(engine.lines(), "[TABLE] player 1 scored ");
    if (score > 0) return score;
  }
  return -1;
}

}  // namespace

TEST_F(Installed, DefaultTableRunsFromAnywhereAndKeepsTheHighScoreInThePlayersFolder) {
  const std::vector<std::string> before = snapshot(tables());
  e2e::Engine engine;
  ASSERT_TRUE(engine.start({"-windowed"}, options));
  ASSERT_TRUE(engine.waitForLine("Using data directory '" + tables() + "/default'"))
      << engine.transcript();
  ASSERT_TRUE(engine.waitForLine("[TABLE] Orvane Pinball ready; high score 0"))
      << engine.transcript();
  ASSERT_TRUE(engine.waitForLine("Main loop..")) << engine.transcript();
  long score = playUntilAHighScore(engine);
  ASSERT_GT(score, 0) << engine.transcript();
  ASSERT_TRUE(engine.waitForLine("[TABLE] high score saved " + std::to_string(score)))
      << engine.transcript();
  engine.interrupt();
  EXPECT_EQ(engine.waitForExit(), 0) << engine.transcript();

  std::string save = player.read("data/orvane/default/save.dat");
  EXPECT_NE(save.find(saveEntry("hiscore1", std::to_string(score))), std::string::npos) << save;
  EXPECT_FALSE(player.exists("data/orvane/default/save.dat.tmp"));
  EXPECT_FALSE(player.exists("home/.local"));  // XDG_DATA_HOME was set
  EXPECT_EQ(snapshot(tables()), before);
  EXPECT_EQ(snapshot(elsewhere.path()), std::vector<std::string>{});

  // The next start reads the score back, the table named this time.
  e2e::Engine rerun;
  ASSERT_TRUE(rerun.start({"default", "-windowed"}, options));
  EXPECT_TRUE(
      rerun.waitForLine("[TABLE] Orvane Pinball ready; high score " + std::to_string(score)))
      << rerun.transcript();
  rerun.interrupt();
  EXPECT_EQ(rerun.waitForExit(), 0) << rerun.transcript();
}

TEST_F(Installed, ListShowsEveryInstalledTableAndStartsNothing) {
  installTable("counter", runCounter);
  root.write("usr/share/games/orvane/unfinished/game.lua", "");  // no data.dat: no table
  options.display = false;
  e2e::Engine engine;
  ASSERT_TRUE(engine.start({"-list"}, options));
  EXPECT_EQ(engine.waitForExit(), 0);
  std::vector<std::string> expected = {"Installed tables in '" + tables() + "':",
                                       "  counter (Orvane: Counter)"};
  // Every table the build packs is installed.
  std::vector<std::string> built;
  for (const auto& e : fs::directory_iterator(std::string(ORVANE_SOURCE_DIR) + "/games"))
    if (e.is_directory()) {
      std::string name = e.path().filename().string();
      built.push_back("  " + name + " (" + tableMenuName(name) + ")");
    }
  expected.insert(expected.end(), built.begin(), built.end());
  std::sort(expected.begin() + 1, expected.end());
  EXPECT_EQ(engine.lines(), expected) << engine.transcript();
}

TEST_F(Installed, ShippedSaveStartsThePlayersOwnUnderHome) {
  installTable("counter", runCounter, saveFile("runs", "5"));
  const std::vector<std::string> before = snapshot(tables());
  options.environment = {{"XDG_DATA_HOME", ""}, {"HOME", player.path() + "/home"}};
  for (int run = 5; run <= 6; ++run) {
    e2e::Engine engine;
    ASSERT_TRUE(engine.start({"counter", "-windowed"}, options));
    EXPECT_TRUE(engine.waitForLine("runs so far " + std::to_string(run))) << engine.transcript();
    ASSERT_TRUE(engine.waitForLine("Main loop..")) << engine.transcript();
    engine.interrupt();
    EXPECT_EQ(engine.waitForExit(), 0) << engine.transcript();
    EXPECT_EQ(player.read("home/.local/share/orvane/counter/save.dat"),
              saveFile("runs", std::to_string(run + 1)));
  }
  EXPECT_EQ(snapshot(tables()), before);
}

// A folder in the working directory is used as ever, even when a table of
// that name is installed: its save.dat lives beside it, and when that cannot
// be written the game says so and plays on; the player's folder stays out.
TEST_F(Installed, TableFoundByPathKeepsItsSaveBesideIt) {
  e2e::DataDir local;
  local.write("default/data.dat", e2e::smallestArchive());
  local.write("default/game.lua", runCounter);
  // A folder where the temporary file must go makes the folder unwritable to
  // the save, whoever runs the test.
  ASSERT_TRUE(fs::create_directory(local.path() + "/default/save.dat.tmp"));
  options.workingDirectory = local.path();
  for (bool writable : {false, true}) {
    e2e::Engine engine;
    ASSERT_TRUE(engine.start({"default", "-windowed"}, options));
    ASSERT_TRUE(engine.waitForLine("Using data directory 'default'")) << engine.transcript();
    EXPECT_TRUE(engine.waitForLine("runs so far 0")) << engine.transcript();
    if (!writable) {
      EXPECT_TRUE(engine.waitForLine("[SYSTEM] Unable to save the properties file ('save.dat')"))
          << engine.transcript();
    }
    ASSERT_TRUE(engine.waitForLine("Main loop..")) << engine.transcript();
    engine.interrupt();
    EXPECT_EQ(engine.waitForExit(), 0) << engine.transcript();
    EXPECT_EQ(local.exists("default/save.dat"), writable);
    fs::remove(local.path() + "/default/save.dat.tmp");
  }
  EXPECT_EQ(local.read("default/save.dat"), saveFile("runs", "1"));
  EXPECT_FALSE(player.exists("data"));
  EXPECT_FALSE(player.exists("home/.local"));
}
