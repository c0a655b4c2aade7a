// One table as it runs: the catalog of the data directory's data.dat, the
// world made from it, and the script state running its game.lua with the
// world's events delivered to it. The engine, the benchmarks and the tests
// all build their tables through it.
#pragma once

#include <cstdint>
#include <memory>

#include "content/world_data.h"
#include "script/game_keys.h"

class World;
class ScriptEvents;
struct lua_State;

// What a table starts with besides its files.
struct TableSetup {
  ContentBackend* backend = nullptr;  // takes the catalog's textures and sounds
  const KeyState* keys = nullptr;     // the script's keys; must outlive the table
  float fps = 0;                      // the script's fps until the loop reports one
  uint64_t seed = 0;                  // math.random's
  // Start-up makes the world even from a failed catalog, so that shutdown
  // runs the same steps either way; a reload stops at the catalog.
  bool worldFromFailedCatalog = false;
};

class TableRun {
 public:
  // How far loading got.
  enum Progress { CatalogFailed, NoScriptState, ScriptFailed, Loaded };

  // Loads the table of the data directory, printing the start-up lines, and
  // each failure once. The script bindings act on this table from the moment
  // its script state exists.
  explicit TableRun(const TableSetup& setup);
  // In the shutdown order: the script state, the world, the catalog.
  ~TableRun();
  TableRun(const TableRun&) = delete;
  TableRun& operator=(const TableRun&) = delete;

  Progress progress() const { return progress_; }
  const WorldData& catalog() const { return *catalog_; }
  // nullptr when the catalog failed without worldFromFailedCatalog.
  World* world() const { return world_.get(); }
  // nullptr below ScriptFailed.
  lua_State* script() const { return script_; }

  // Gives the bindings back to this table after another was loaded beside it.
  void attachBindings();
  // For the process-exit handler, which may run in the middle of a script
  // call: destroys the world and the catalog, and leaves the script state.
  void releaseAtExit();

 private:
  Progress startScript(const TableSetup& setup);
  void closeScript();

  Progress progress_ = CatalogFailed;
  std::unique_ptr<WorldData> catalog_;
  std::unique_ptr<World> world_;
  lua_State* script_ = nullptr;
  std::unique_ptr<ScriptEvents> events_;
};
