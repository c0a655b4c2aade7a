// A table loaded from a data directory: how far each fault lets it get, and
// a table that failed beside the running one leaves that one as it was.
#include "app/table_run.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
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
    setDataDirectory(dir.c_str());
  }
  void TearDown() override {
    setDataDirectory(nullptr);
    fs::remove_all(dir);
  }

  void writeTable(bool archive, const std::string& script) {
    if (archive)
      fs::copy_file(ORVANE_BINARY_DIR "/default/data.dat", dir / "data.dat",
                    fs::copy_options::overwrite_existing);
    std::ofstream(dir / "game.lua") << script;
  }

  std::unique_ptr<TableRun> load(bool worldFromFailedCatalog = false) {
    TableSetup setup{&backend, &keys};
    setup.worldFromFailedCatalog = worldFromFailedCatalog;
    ::testing::internal::CaptureStdout();
    auto table = std::make_unique<TableRun>(setup);
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

  int scenes(const TableRun& table) const { return table.world()->scenes.liveCount(); }

  fs::path dir;
  NullContentBackend backend;
  KeyState keys;
  std::string console;
};

TEST_F(TableRunTest, EachFaultStopsLoadingWhereItIs) {
  struct Case {
    const char* name;
    bool archive;
    const char* script;
    bool worldFromFailedCatalog;
    TableRun::Progress progress;
    bool hasWorld, hasScript;
  } cases[] = {
      {"no archive", false, "", false, TableRun::CatalogFailed, false, false},
      {"no archive at start-up", false, "", true, TableRun::CatalogFailed, true, false},
      {"script that does not compile", true, "SceneSpawn('Ball'", false, TableRun::ScriptFailed,
       true, true},
      {"main chunk that raises", true, "error('no')", false, TableRun::ScriptFailed, true, true},
      {"whole table", true, "SceneSpawn('Ball')", false, TableRun::Loaded, true, true},
  };
  for (const Case& c : cases) {
    writeTable(c.archive, c.script);
    std::unique_ptr<TableRun> table = load(c.worldFromFailedCatalog);
    EXPECT_EQ(table->progress(), c.progress) << c.name << "\n" << console;
    EXPECT_EQ(table->world() != nullptr, c.hasWorld) << c.name;
    EXPECT_EQ(table->script() != nullptr, c.hasScript) << c.name;
    EXPECT_EQ(console.find("Starting lua..") != std::string::npos, c.hasScript) << c.name;
    if (c.archive) fs::remove(dir / "data.dat");
    quietly([&] { table.reset(); });
    EXPECT_EQ(scriptWorld(), nullptr) << c.name;
  }
}

TEST_F(TableRunTest, FailedTableBesideTheRunningOneLeavesItAsItWas) {
  writeTable(true, "SceneSpawn('Ball') function update() SceneSpawn('Ball') end");
  std::unique_ptr<TableRun> running = load();
  ASSERT_EQ(running->progress(), TableRun::Loaded) << console;
  ASSERT_EQ(scenes(*running), 1);

  writeTable(true, "SceneSpawn('Ball') SceneSpawn('Ball') error('half done')");
  std::unique_ptr<TableRun> failed = load();
  ASSERT_EQ(failed->progress(), TableRun::ScriptFailed) << console;
  EXPECT_EQ(scenes(*failed), 2);
  running->attachBindings();
  quietly([&] { failed.reset(); });

  // The running table's script still acts on its own world.
  EXPECT_EQ(scriptWorld(), running->world());
  quietly([&] { running->world()->step(stepLength); });
  EXPECT_EQ(scenes(*running), 2);
  quietly([&] { running.reset(); });
}

}  // namespace
