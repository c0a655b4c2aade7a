// Start-up in its fixed order, the fixed-step main loop, and the release of
// the three process-wide owners: the catalog, the world and the script state.
#include "app/engine.h"

#include <cstdio>
#include <cstdlib>

#include "app/loop_clock.h"
#include "app/paths.h"
#include "audio/audio_system.h"
#include "content/world_data.h"
#include "gfx/draw_world.h"
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

// Each owner is null when absent, so releasing twice is harmless.
WorldData* catalog = nullptr;
World* world = nullptr;
lua_State* scriptState = nullptr;
ScriptEvents* scriptEvents = nullptr;
bool physicsReady = false;
InputState input;

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

void destroyCatalog() {
  delete catalog;
  catalog = nullptr;
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

void runMainLoop() {
  LoopClock clock;
  startLoopClock(clock, currentTicks());
  while (input.running) {
    // Escape or a quit request clears `running`; this iteration still ends
    // with its steps and a frame.
    pollEvents(input);
    ClockAdvance due = advanceLoopClock(clock, currentTicks());
    if (due.report) setScriptFps(scriptState, due.stepsPerSecond);
    for (int i = 0; i < due.steps; ++i) world->step(stepLength);
    AudioSystem::update();
    beginFrame();
    drawWorld(*world, input.draw);
    endFrame(input.draw);
  }
}

}  // namespace

int runEngine(const CommandLine& options, const Table& table) {
  static bool exitHandlerSet = false;
  if (!exitHandlerSet) exitHandlerSet = std::atexit(releaseAtExit) == 0;

  const char* directory = dataDirectory();
  std::printf("Using data directory '%s'\n", directory ? directory : "");

  std::printf("Initializing the graphics..\n");
  if (!initGraphics(options.windowed)) {
    const char* error = graphicsError();
    std::printf("Error opening the gfx: %s\n", error ? error : "");
    return 1;
  }

  // The game runs silent when audio cannot start.
  std::printf("Initializing the audio..\n");
  AudioSystem::init();
  AudioSystem::setMusicLocator(dataPath);

  // Loading uploads textures and creates sounds, so graphics and audio come
  // first. A path too long to join is handed on as a file that cannot be opened.
  catalog = new WorldData(dataPath("data.dat"), contentBackend);

  // The world is made even from a failed catalog: its HUD looks things up
  // there, and cleanup is the same either way.
  initPhysics();
  physicsReady = true;
  world = new World(*catalog);
  if (catalog->loadFailed) return 1;  // the catalog has said why

  std::printf("Starting lua..\n");
  scriptState = createScriptState();
  if (!scriptState) {
    std::printf("Unable to create lua; not enough memory!\n");
    return 1;
  }
  registerScriptApi(scriptState, directory);
  attachScriptWorld(world, catalog);
  choosePropertyFile(table);
  scriptEvents = new ScriptEvents(scriptState, input.keys);
  world->setEvents(scriptEvents);
  setScriptFps(scriptState, 0);
  refreshScriptKeys(scriptState, input.keys);
  runScriptFile(scriptState, dataPath("game.lua"));

  // A script that failed to load leaves nil, so this reports a runtime
  // error and the game runs on.
  std::printf("Running setup..\n");
  runScriptSetup(scriptState);

  std::printf("Main loop..\n");
  runMainLoop();
  return 0;
}

void cleanup() {
  closeScript();
  destroyWorld();
  destroyCatalog();
  if (physicsReady) {
    closePhysics();
    physicsReady = false;
  }
}
