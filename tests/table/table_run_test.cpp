// A table that failed to load beside the running one, as a reload does,
// leaves the running one as it was, its script acting on its own world; the
// last table gone, the bindings reach none.
#include "app/table_run.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/loop_clock.h"
#include "app/paths.h"
#include "script/script_host.h"
#include "world/world.h"

namespace {

namespace fs = std::filesystem;

class TableRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) / ("table-run-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::copy_file(ORVANE_BINARY_DIR "/default/data.dat", dir / "data.dat");
    setDataDirectory(dir.c_str());
  }
  void TearDown() override {
    setDataDirectory(nullptr);
    fs::remove_all(dir);
  }

  std::unique_ptr<TableRun> load(const std::string& script) {
    std::ofstream(dir / "game.lua") << script;
    ::testing::internal::CaptureStdout();
    auto table = std::make_unique<TableRun>(TableSetup{&backend, &keys});
    console = ::testing::internal::GetCapturedStdout();
    return table;
  }

  // Spawning and clearing talk on the console.
  template <class Action>
  void quietly(Action action) {
    ::testing::internal::CaptureStdout();
    action();
    ::testing::internal::GetCapturedStdout();
  }

  int scenes(const TableRun& table) const { return table.world()->sceneCount(); }

  fs::path dir;
  NullContentBackend backend;
  KeyState keys;
  std::string console;
};

TEST_F(TableRunTest, FailedTableBesideTheRunningOneLeavesItAsItWas) {
  std::unique_ptr<TableRun> running =
      load("SceneSpawn('Ball') function update() SceneSpawn('Ball') end");
  ASSERT_EQ(running->progress(), TableRun::Loaded) << console;
  ASSERT_EQ(scenes(*running), 1);

  std::unique_ptr<TableRun> failed =
      load("SceneSpawn('Ball') SceneSpawn('Ball') error('half done')");
  ASSERT_EQ(failed->progress(), TableRun::ScriptFailed) << console;
  EXPECT_EQ(scenes(*failed), 2);
  running->attachBindings();
  quietly([&] { failed.reset(); });

  // The running table's script still acts on its own world.
  EXPECT_EQ(scriptWorld(), running->world());
  quietly([&] { running->world()->step(stepLength); });
  EXPECT_EQ(scenes(*running), 2);
  quietly([&] { running.reset(); });
  EXPECT_EQ(scriptWorld(), nullptr);
}

}  // namespace
