// Loading a table in the start-up order and releasing it in the shutdown
// order.
#include "app/table_run.h"

#include <cstdio>

#include "app/paths.h"
#include "script/script_host.h"
#include "world/physics.h"
#include "world/world.h"

// A path too long to join is handed on as a file that cannot be opened.
TableRun::TableRun(const TableSetup& setup)
    : catalog_(new WorldData(dataPath("data.dat"), *setup.backend)) {
  if (catalog_->loadFailed && !setup.worldFromFailedCatalog) return;
  initPhysics();  // once per process; the engine closes it at shutdown
  world_.reset(new World(*catalog_));
  if (!catalog_->loadFailed) progress_ = startScript(setup);
}

TableRun::~TableRun() {
  closeScript();
  world_.reset();
  catalog_.reset();
}

// game.lua's main chunk and setup run on a state wired to this world; a
// script that is missing, broken or raises is reported and the state kept.
TableRun::Progress TableRun::startScript(const TableSetup& setup) {
  std::printf("Starting lua..\n");
  script_ = createScriptState();
  if (!script_) {
    std::printf("Unable to create lua; not enough memory!\n");
    return NoScriptState;
  }
  seedScriptRandom(script_, setup.seed);
  registerScriptApi(script_, dataDirectory());
  attachBindings();
  events_.reset(new ScriptEvents(script_, *setup.keys));
  world_->setEvents(events_.get());
  setScriptFps(script_, setup.fps);
  refreshScriptKeys(script_, *setup.keys);
  bool loaded = runScriptFile(script_, dataPath("game.lua"));

  // A script that failed to load leaves nil, so this reports a runtime
  // error and the game runs on.
  std::printf("Running setup..\n");
  return runScriptSetup(script_) && loaded ? Loaded : ScriptFailed;
}

void TableRun::closeScript() {
  if (!script_) return;
  // The world must not call into a closing state, even from its destructor.
  world_->setEvents(nullptr);
  closeScriptState(script_);
  script_ = nullptr;
  events_.reset();
  if (scriptWorld() == world_.get()) attachScriptWorld(nullptr);
}

void TableRun::attachBindings() {
  attachScriptWorld(world_.get());
}

void TableRun::releaseAtExit() {
  world_.reset();
  catalog_.reset();
  script_ = nullptr;
  (void)events_.release();
}
