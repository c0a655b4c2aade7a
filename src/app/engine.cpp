// Start-up in its fixed order, the fixed-step main loop, the reload of the
// running table and its release at shutdown.
#include "app/engine.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "app/loop_clock.h"
#include "app/main_loop.h"
#include "app/paths.h"
#include "app/session.h"
#include "app/stop_signals.h"
#include "app/table_run.h"
#include "app/volume.h"
#include "audio/audio_system.h"
#include "gfx/draw_world.h"
#include "gfx/engine_text.h"
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

// The running table, null when absent, so releasing twice is harmless.
TableRun* runningTable = nullptr;
InputState input;
Session session;
PlayerConfig player;
constexpr uint32_t volumeShownFor = 1500;  // ms the level stays on screen after a volume key
std::string volumeBanner;
uint32_t volumeShownUntil = 0;

// The script reads its keys from the session, which takes them from the
// keyboard or from the recording being replayed.
TableSetup tableSetup(ContentBackend& backend) {
  return {&backend, &session.keys(), 0, session.seed()};
}

// GL keeps textures until the context closes; a catalog replaced while the
// engine runs frees its own.
void releaseCatalogTextures(const WorldData& data) {
  for (const TextureDef& t : data.textures) releaseTexture(t.texture);
}

// F5: the catalog, the world and the script afresh from the data directory,
// as one step. When the new data.dat or game.lua cannot be used, the table
// that was running goes on untouched. The property store, and so save.dat,
// is the same before and after.
void reloadTable() {
  const char* directory = dataDirectory();
  std::printf("Reloading the table from '%s'..\n", directory ? directory : "");
  AudioSystem::playMusic(nullptr, 0);  // the old rules' music ends with them

  TableRun* next = new TableRun(tableSetup(contentBackend));
  bool ok = next->progress() == TableRun::Loaded;
  if (ok) {
    std::swap(runningTable, next);
  } else {
    runningTable->attachBindings();
    AudioSystem::playMusic(nullptr, 0);  // any the new main chunk started
  }
  // The table not kept is closed as at shutdown. A failed one is said to
  // have failed first, so that its world's clearing line cannot be read as
  // the running table's.
  if (!ok) {
    std::printf("Reload failed; the table goes on as it was\n");
    if (next->world())
      std::fprintf(stderr, "Reload: clearing the world of the table that failed to load\n");
  }
  releaseCatalogTextures(next->catalog());
  delete next;
}

// A recording holds one table from its first step to its last, so a reload
// would leave it behind: refused while a game is recorded or replayed.
void reloadUnlessRecorded() {
  if (session.recording() || session.replaying()) {
    std::printf("Reload refused while a game is recorded or replayed\n");
    return;
  }
  reloadTable();
  session.attach(runningTable->world(), runningTable->script());
}

// Runs after main returns; with the normal shutdown there is nothing left.
void releaseAtExit() {
  if (runningTable) runningTable->releaseAtExit();
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

// The volume keys: each press one step and its line; the level is then kept
// for the next start and shown on screen for a moment.
void changeVolume(uint32_t now) {
  if (input.volumeChange == 0) return;
  for (int step = input.volumeChange < 0 ? -1 : 1; input.volumeChange != 0;
       input.volumeChange -= step) {
    player.volume = stepVolume(player.volume, step);
    std::printf("%s\n", volumeLine(player.volume).c_str());
  }
  AudioSystem::setMasterVolume(float(player.volume) / volumeSteps);
  if (!writeVolumeLevel(player.volumeFile, player.volume))
    std::printf("[VOLUME] Unable to keep the volume in '%s'\n", player.volumeFile.c_str());
  volumeBanner = player.volume == 0 ? "MUTED" : "VOLUME " + std::to_string(player.volume);
  volumeShownUntil = now + volumeShownFor;
}

// P and the Guide button pause and resume; losing the focus pauses, and
// getting it back does not resume, so that the ball waits for the player.
// True when the pause began or ended.
bool changePause(InputState& in) {
  bool toggle = in.pauseToggled || (in.focusLost && !in.paused);
  in.pauseToggled = in.focusLost = false;
  if (!toggle) return false;
  in.paused = !in.paused;
  AudioSystem::pause(in.paused);
  std::printf("%s at step %lld\n", in.paused ? "Paused" : "Resumed",
              static_cast<long long>(session.stepsRun()));
  return true;
}

// Runs one world step on the running table with the session's keys; false
// when the session says no more steps are to run.
bool runStep(const KeyState& live) {
  if (!session.beforeStep(live)) return false;
  runningTable->world()->step(stepLength);
  session.afterStep();
  return true;
}

// Headless: one step per iteration as fast as it can, on a clock of its own
// that moves 3 ms per step, so the step rate it reports to the script is the
// full rate. A stop signal ends the loop after that iteration's step.
void runHeadlessLoop() {
  uint32_t now = 0;
  LoopClock clock;
  startLoopClock(clock, now);
  while (input.running) {
    if (stopRequested()) input.running = false;
    now += stepMilliseconds;
    ClockAdvance due = advanceLoopClock(clock, now);
    if (due.report) session.liveFps(due.stepsPerSecond);
    for (int i = 0; i < due.steps; ++i) {
      if (!runStep(input.keys)) {
        input.running = false;
        break;
      }
    }
  }
}

// With a window: the paced loop, with F5 handled between the reading of the
// keyboard and the step.
class EngineLoop : public LoopClient {
 public:
  bool eventsRead(InputState& in) override {
    changeVolume(currentTicks());
    bool restart = changePause(in);
    if (!in.reloadRequested) return restart;
    in.reloadRequested = false;
    reloadUnlessRecorded();
    return true;  // loading time is no backlog
  }
  bool step(const InputState& in, uint32_t) override { return runStep(in.keys); }
  void stepRate(float stepsPerSecond) override { session.liveFps(stepsPerSecond); }
  void frame(const InputState& in) override {
    AudioSystem::update();
    beginFrame();
    drawWorld(*runningTable->world(), in.draw);
    drawErrorPanel(scriptErrorPanelText(runningTable->script()), in.draw);
    if (in.paused) {
      drawDimmed();
      drawBanner("PAUSED");
    } else if (ticksSince(currentTicks(), volumeShownUntil) > 0) {
      drawBanner(volumeBanner.c_str());
    }
    endFrame(in.draw);
  }
};

void runMainLoop(bool headless) {
  if (headless) {
    runHeadlessLoop();
  } else {
    EngineLoop loop;
    runPacedLoop(input, loop);
  }
  session.finish();
}

}  // namespace

int runEngine(const CommandLine& options, const Table& table, const PlayerConfig& settings) {
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
    if (!initGraphics(options.windowed, options.rotation)) {
      const char* error = graphicsError();
      std::printf("Error opening the gfx: %s\n", error ? error : "");
      return 1;
    }
    // The game runs silent when audio cannot start.
    std::printf("Initializing the audio..\n");
    AudioSystem::setMusicLocator(dataPath);
    AudioSystem::init();
    player = settings;
    input.controls = player.controls;
    initControllers(player.controllerMappings.c_str());
    AudioSystem::setMasterVolume(float(player.volume) / volumeSteps);
  }

  // Loading uploads textures and creates sounds, so graphics and audio come
  // first. The world is made even from a failed catalog: its HUD looks
  // things up there, and cleanup is the same either way.
  TableSetup setup =
      tableSetup(options.headless ? static_cast<ContentBackend&>(headlessBackend) : contentBackend);
  setup.worldFromFailedCatalog = true;
  runningTable = new TableRun(setup);
  // The catalog and the script state have said why; a broken game.lua is
  // reported, and the table runs without rules.
  if (runningTable->progress() < TableRun::ScriptFailed) return 1;
  session.attach(runningTable->world(), runningTable->script());

  std::printf("Main loop..\n");
  runMainLoop(options.headless);
  return 0;
}

void cleanup() {
  delete runningTable;
  runningTable = nullptr;
  reportScriptErrorTotal();
  closePhysics();
}
