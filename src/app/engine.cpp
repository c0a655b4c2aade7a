// Start-up in its fixed order, the fixed-step main loop, and the release of
// the three process-wide owners: the catalog, the world and the script state.
#include "app/engine.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "app/loop_clock.h"
#include "app/paths.h"
#include "app/session.h"
#include "app/stop_signals.h"
#include "audio/audio_system.h"
#include "content/world_data.h"
#include "gfx/draw_world.h"
#include "gfx/error_panel.h"
#include "gfx/graphics.h"
#include "props/property_store.h"
#include "script/script_host.h"
#include "world/physics.h"
#include "world/world.h"

namespace {

// What the catalog needs while loading: textures go to the graphics device,
// sounds to the audio system.
class EngineContentBackend : public ContentBackend {
 public:
  unsigned uploadTexture(int width, int height, const unsigned char* rgba) override {
    return ::uploadTexture(width, height, rgba);
  }
  SoundHandle* createSound(const unsigned char* data, int length) override {
    return AudioSystem::createSound(data, length);
  }
  void releaseSound(SoundHandle* sound) override { AudioSystem::releaseSound(sound); }
};

EngineContentBackend contentBackend;
// Headless: no textures, no sounds; the catalog keeps everything else.
NullContentBackend headlessBackend;

// Each owner is null when absent, so releasing twice is harmless.
WorldData* catalog = nullptr;
World* world = nullptr;
lua_State* scriptState = nullptr;
ScriptEvents* scriptEvents = nullptr;
bool physicsReady = false;
InputState input;
Session session;

void closeScript() {
  if (!scriptState) return;
  closeScriptState(scriptState);
  scriptState = nullptr;
  // The world must not call into a closed state, even from its destructor.
  if (world) world->setEvents(nullptr);
  attachScriptWorld(nullptr, nullptr);
  delete scriptEvents;
  scriptEvents = nullptr;
}

void destroyWorld() {
  delete world;
  world = nullptr;
}

// GL keeps textures until the context closes; a catalog replaced while the
// engine runs frees its own.
void releaseCatalogTextures(const WorldData& data) {
  for (const TextureDef& t : data.textures) releaseTexture(t.texture);
}

void destroyCatalog() {
  delete catalog;
  catalog = nullptr;
}

// A script state for the world and catalog, with game.lua's main chunk run.
// false when game.lua is missing or broken, or its main chunk raised an
// error (each reported); the state is kept either way.
bool startScript(const char* directory) {
  std::printf("Starting lua..\n");
  scriptState = createScriptState();
  if (!scriptState) {
    std::printf("Unable to create lua; not enough memory!\n");
    return false;
  }
  seedScriptRandom(scriptState, session.seed());
  registerScriptApi(scriptState, directory);
  attachScriptWorld(world, catalog);
  // The script reads its keys from the session, which takes them from the
  // keyboard or from the recording being replayed.
  scriptEvents = new ScriptEvents(scriptState, session.keys());
  world->setEvents(scriptEvents);
  session.attach(world, scriptState);
  setScriptFps(scriptState, 0);
  refreshScriptKeys(scriptState, session.keys());
  bool loaded = runScriptFile(scriptState, dataPath("game.lua"));

  // A script that failed to load leaves nil, so this reports a runtime
  // error and the game runs on.
  std::printf("Running setup..\n");
  return runScriptSetup(scriptState) && loaded;
}

// F5: the catalog, the world and the script afresh from the data directory,
// as one step. When the new data.dat or game.lua cannot be used, the table
// that was running goes on untouched. The property store, and so save.dat,
// is the same before and after.
void reloadTable() {
  const char* directory = dataDirectory();
  std::printf("Reloading the table from '%s'..\n", directory ? directory : "");
  AudioSystem::playMusic(nullptr, 0);  // the old rules' music ends with them

  WorldData* oldCatalog = catalog;
  World* oldWorld = world;
  lua_State* oldState = scriptState;
  ScriptEvents* oldEvents = scriptEvents;
  world = nullptr;
  scriptState = nullptr;
  scriptEvents = nullptr;
  catalog = new WorldData(dataPath("data.dat"), contentBackend);
  bool ok = !catalog->loadFailed;
  if (ok) {
    world = new World(*catalog);
    ok = startScript(directory);
  }
  // Whichever table is not kept is closed as at shutdown: script, world, catalog.
  if (!ok) {
    std::swap(catalog, oldCatalog);
    std::swap(world, oldWorld);
    std::swap(scriptState, oldState);
    std::swap(scriptEvents, oldEvents);
    attachScriptWorld(world, catalog);
    world->setEvents(scriptEvents);
    AudioSystem::playMusic(nullptr, 0);  // any the new main chunk started
  }
  if (oldWorld) oldWorld->setEvents(nullptr);
  if (oldState) closeScriptState(oldState);
  delete oldEvents;
  delete oldWorld;
  releaseCatalogTextures(*oldCatalog);
  delete oldCatalog;
  if (!ok) std::printf("Reload failed; the table goes on as it was\n");
}

// A recording holds one table from its first step to its last, so a reload
// would leave it behind: refused while a game is recorded or replayed.
void reloadUnlessRecorded() {
  if (session.recording() || session.replaying()) {
    std::printf("Reload refused while a game is recorded or replayed\n");
    return;
  }
  reloadTable();
  session.attach(world, scriptState);
}

// Runs after main returns; with the normal shutdown there is nothing left.
// The world goes first: it holds references into the catalog.
void releaseAtExit() {
  destroyWorld();
  destroyCatalog();
}

// A table found by its path keeps save.dat beside its data. An installed one
// is shared and may be read-only, so its saves go to the player's folder,
// starting from any save.dat shipped with it.
void choosePropertyFile(const Table& table) {
  const char* beside = dataPath("save.dat");
  if (!table.installed) {
    setPropertyFile(beside);
    return;
  }
  std::string shipped = beside ? beside : "";
  std::string own = table.saveFolder.empty() ? "" : table.saveFolder + "/save.dat";
  setPropertyFile(own.empty() ? nullptr : own.c_str(), shipped.empty() ? nullptr : shipped.c_str(),
                  SaveFolder::create);
}

// Each iteration reads the keyboard (headless: the stop signals), runs the
// steps that are due and draws a frame. Headless runs one step per
// iteration as fast as it can, on a clock of its own that moves 3 ms per
// step, so the step rate it reports to the script is the full rate.
void runMainLoop(bool headless) {
  uint32_t now = headless ? 0 : currentTicks();
  LoopClock clock;
  startLoopClock(clock, now);
  while (input.running) {
    // Escape or a quit request clears `running`; this iteration still ends
    // with its steps and a frame.
    if (headless) {
      if (stopRequested()) input.running = false;
      now += stepMilliseconds;
    } else {
      pollEvents(input);
      if (input.reloadRequested) {
        input.reloadRequested = false;
        reloadUnlessRecorded();
        startLoopClock(clock, currentTicks());  // loading time is no backlog
      }
      now = currentTicks();
    }
    ClockAdvance due = advanceLoopClock(clock, now);
    if (due.report) session.liveFps(due.stepsPerSecond);
    for (int i = 0; i < due.steps; ++i) {
      if (!session.beforeStep(input.keys)) {
        input.running = false;
        break;
      }
      world->step(stepLength);
      session.afterStep();
    }
    if (headless) continue;
    AudioSystem::update();
    beginFrame();
    drawWorld(*world, input.draw);
    drawErrorPanel(scriptErrorPanelText(scriptState), input.draw);
    endFrame(input.draw);
  }
  session.finish();
}

}  // namespace

int runEngine(const CommandLine& options, const Table& table) {
  static bool exitHandlerSet = false;
  if (!exitHandlerSet) exitHandlerSet = std::atexit(releaseAtExit) == 0;

  const char* directory = dataDirectory();
  std::printf("Using data directory '%s'\n", directory ? directory : "");

  // Named before anything may read it: a recording starts with its contents.
  if (options.saveFile.empty())
    choosePropertyFile(table);
  else
    setPropertyFile(options.saveFile.c_str());
  if (!session.open(options)) return 1;

  if (options.headless) {
    // Left out here, not inside them: the world, the script and the
    // catalog run exactly as they do with a window.
    std::printf("Running headless: no window, no sound..\n");
    watchStopSignals();
  } else {
    std::printf("Initializing the graphics..\n");
    if (!initGraphics(options.windowed)) {
      const char* error = graphicsError();
      std::printf("Error opening the gfx: %s\n", error ? error : "");
      return 1;
    }
    // The game runs silent when audio cannot start.
    std::printf("Initializing the audio..\n");
    AudioSystem::setMusicLocator(dataPath);
    AudioSystem::init();
  }

  // Loading uploads textures and creates sounds, so graphics and audio come
  // first. A path too long to join is handed on as a file that cannot be opened.
  ContentBackend& backend =
      options.headless ? static_cast<ContentBackend&>(headlessBackend) : contentBackend;
  catalog = new WorldData(dataPath("data.dat"), backend);

  // The world is made even from a failed catalog: its HUD looks things up
  // there, and cleanup is the same either way.
  initPhysics();
  physicsReady = true;
  world = new World(*catalog);
  if (catalog->loadFailed) return 1;  // the catalog has said why

  // A broken game.lua is reported, and the table runs without rules.
  startScript(directory);
  if (!scriptState) return 1;

  std::printf("Main loop..\n");
  runMainLoop(options.headless);
  return 0;
}

void cleanup() {
  closeScript();
  reportScriptErrorTotal();
  destroyWorld();
  destroyCatalog();
  if (physicsReady) {
    closePhysics();
    physicsReady = false;
  }
}
