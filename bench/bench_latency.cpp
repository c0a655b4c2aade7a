// How long a key takes to reach the game: the default table runs in a window
// while another thread pushes key events into SDL's queue at 200 random
// moments. For each it reports the time from the event's timestamp to the
// due time of the first world step that sees it, to the moment that step
// ran, and to the buffer swap of the first frame drawn after it (key to
// picture). Once with the main loop as the engine runs it, and once with a
// loop of the former kind (read the keys, run the steps due, draw, then wait
// for the display's next refresh, as a swap that waits for vblank does).
#include <SDL.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/input.h"
#include "app/loop_clock.h"
#include "app/loop_schedule.h"
#include "app/main_loop.h"
#include "app/paths.h"
#include "app/table_run.h"
#include "gfx/draw_world.h"
#include "gfx/graphics.h"
#include "props/property_store.h"
#include "silence.h"
#include "world/physics.h"
#include "world/world.h"

namespace {

constexpr int keyPresses = 200;
constexpr int shortestGapMicros = 20000, longestGapMicros = 50000;  // between two presses
constexpr int warmUpMillis = 1000;  // the first frames compile the renderer's shaders
constexpr int refreshRate = 60;     // the former loop's display, in frames per second

// Four keys taken in turn, each going down and up on alternate turns, so that
// two presses close together never cancel out within one reading.
const int pressedCodes[] = {SDLK_LSHIFT, SDLK_RSHIFT, SDLK_UP, SDLK_DOWN};
constexpr int keyCount = 4;

int keyIndex(int code) {
  for (int k = 0; k < keyCount; ++k)
    if (pressedCodes[k] == code) return k;
  return -1;
}

class TextureBackend : public NullContentBackend {
 public:
  unsigned uploadTexture(int width, int height, const unsigned char* rgba) override {
    return ::uploadTexture(width, height, rgba);
  }
};

// One key event and what became of it, in tick counts (ms).
struct Press {
  int key = 0;
  uint32_t stamp = 0;  // SDL's timestamp of the event
  bool seen = false, shown = false;
  int32_t toDue = 0, toRun = 0, toPicture = 0;
};

// Timestamps as SDL gives them, taken by an event watch, which SDL calls
// from SDL_PushEvent once the event is stamped.
std::mutex pressesMutex;
std::vector<Press> presses;

int watchPresses(void*, SDL_Event* event) {
  if (event->type != SDL_KEYDOWN && event->type != SDL_KEYUP) return 0;
  int key = keyIndex(event->key.keysym.sym);
  if (key < 0) return 0;
  std::lock_guard<std::mutex> lock(pressesMutex);
  Press p;
  p.key = key;
  p.stamp = event->key.timestamp;
  presses.push_back(p);
  return 0;
}

void pushPresses(unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> gap(shortestGapMicros, longestGapMicros);
  SDL_Delay(warmUpMillis);
  for (int i = 0; i < keyPresses; ++i) {
    std::this_thread::sleep_for(std::chrono::microseconds(gap(random)));
    SDL_Event event = {};
    bool down = (i / keyCount) % 2 == 0;
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = pressedCodes[i % keyCount];
    SDL_PushEvent(&event);
  }
}

// Runs the table's steps and frames, and notes when each press was first
// seen by a step and first shown by a frame.
class Measured : public LoopClient {
 public:
  Measured(TableRun& table, KeyState& tableKeys) : table_(table), tableKeys_(tableKeys) {}

  bool eventsRead(InputState&) override { return false; }
  bool step(const InputState& in, uint32_t due) override {
    uint32_t now = currentTicks();
    const GameKey keys[keyCount] = {KeyLpad, KeyRpad, KeyUp, KeyDown};
    {
      std::lock_guard<std::mutex> lock(pressesMutex);
      for (int k = 0; k < keyCount; ++k) {
        if (in.keys[keys[k]] == held_[k]) continue;
        held_[k] = in.keys[keys[k]];
        for (Press& p : presses) {
          if (p.key != k || p.seen) continue;
          p.seen = true;
          p.toDue = ticksSince(p.stamp, due);
          p.toRun = ticksSince(p.stamp, now);
          break;
        }
      }
    }
    tableKeys_ = in.keys;
    table_.world()->step(stepLength);
    ++steps;
    return !finished();
  }
  void stepRate(float) override {}
  void frame(const InputState& in) override {
    beginFrame();
    drawWorld(*table_.world(), in.draw);
    endFrame(in.draw);
    ++frames;
    uint32_t now = currentTicks();
    std::lock_guard<std::mutex> lock(pressesMutex);
    for (Press& p : presses) {
      if (!p.seen || p.shown) continue;
      p.shown = true;
      p.toPicture = ticksSince(p.stamp, now);
    }
  }

  int steps = 0, frames = 0;
  uint32_t deadline = 0;

 private:
  bool finished() {
    std::lock_guard<std::mutex> lock(pressesMutex);
    if (ticksSince(deadline, currentTicks()) > 0) return true;  // a press went astray
    if (presses.size() < size_t(keyPresses)) return false;
    for (const Press& p : presses)
      if (!p.shown) return false;
    return true;
  }

  TableRun& table_;
  KeyState& tableKeys_;
  bool held_[keyCount] = {};
};

// The loop as it was: read every event, run the steps due, draw, and wait
// for the next refresh.
void runFormerLoop(InputState& input, LoopClient& client) {
  uint32_t now = currentTicks();
  LoopClock clock;
  startLoopClock(clock, now);
  FramePace pace;
  startFramePace(pace, now, refreshRate);
  while (input.running) {
    pollEvents(input, currentTicks());
    now = currentTicks();
    ClockAdvance due = advanceLoopClock(clock, now);
    for (int i = 0; i < due.steps; ++i) {
      uint32_t stepDue = clock.stepClock - uint32_t((due.steps - 1 - i) * stepMilliseconds);
      if (!client.step(input, stepDue)) input.running = false;
    }
    client.frame(input);
    frameDrawn(pace, now);
    int32_t wait = ticksSince(currentTicks(), pace.due);
    if (wait > 0) SDL_Delay(uint32_t(wait));
  }
}

double cpuSeconds() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

struct Spread {
  int32_t smallest, median, largest;
};

// Over the presses that a frame showed; the others are counted apart.
template <class Field>
Spread spreadOf(Field field) {
  std::vector<int32_t> values;
  for (const Press& p : presses)
    if (p.shown) values.push_back(field(p));
  if (values.empty()) return {0, 0, 0};
  std::sort(values.begin(), values.end());
  return {values.front(), values[values.size() / 2], values.back()};
}

void measure(const char* name, TableRun& table, KeyState& tableKeys,
             void (*loop)(InputState&, LoopClient&)) {
  presses.clear();
  presses.reserve(keyPresses);
  InputState input;
  Measured client(table, tableKeys);
  client.deadline = currentTicks() + warmUpMillis + keyPresses * longestGapMicros / 1000 + 2000;
  double cpuStart = cpuSeconds();
  uint32_t start = currentTicks();
  std::thread pusher(pushPresses, 7u);
  {
    Silence quiet;  // the script's own lines
    loop(input, client);
  }
  pusher.join();
  double seconds = ticksSince(start, currentTicks()) * 0.001;
  double cpu = cpuSeconds() - cpuStart;

  Spread due = spreadOf([](const Press& p) { return p.toDue; });
  Spread run = spreadOf([](const Press& p) { return p.toRun; });
  Spread picture = spreadOf([](const Press& p) { return p.toPicture; });
  int lost = 0;
  for (const Press& p : presses) lost += !p.shown;
  std::printf(
      "bench_latency %s: %d keys (%d never shown), %.1f frames/s, %.0f steps/s, %.2f of a core\n",
      name, int(presses.size()), lost, client.frames / seconds, client.steps / seconds,
      cpu / seconds);
  std::printf(
      "  key to the due time of the first step that sees it: median %d ms, largest %d ms"
      " (smallest %d)\n",
      due.median, due.largest, due.smallest);
  std::printf("  key to when that step ran:                          median %d ms, largest %d ms\n",
              run.median, run.largest);
  std::printf("  key to picture (swap of the first frame after it):  median %d ms, largest %d ms\n",
              picture.median, picture.largest);
}

}  // namespace

int main() {
  if (!std::getenv("DISPLAY")) {
    std::printf("bench_latency: no display; skipped\n");
    return 0;
  }
  std::string built = std::string(ORVANE_BINARY_DIR) + "/default";
  setDataDirectory(built.c_str());
  keepPropertiesInMemory();
  bool opened;
  {
    Silence quiet;
    opened = initGraphics(true);
  }
  if (!opened) {
    std::printf("bench_latency: no window (%s); skipped\n", graphicsError());
    shutdownGraphics();
    return 0;
  }
  initPhysics();
  {
    TextureBackend backend;
    KeyState keys;
    std::unique_ptr<TableRun> table;
    {
      Silence quiet;  // the start-up lines
      table.reset(new TableRun({&backend, &keys, 300}));
    }
    if (table->progress() != TableRun::Loaded) {
      std::printf("bench_latency: build the default_table target first (%s); skipped\n",
                  built.c_str());
    } else {
      SDL_AddEventWatch(watchPresses, nullptr);
      measure("paced loop", *table, keys, runPacedLoop);
      measure("former loop", *table, keys, runFormerLoop);
      SDL_DelEventWatch(watchPresses, nullptr);
    }
  }
  closePhysics();
  shutdownGraphics();
  return 0;
}
