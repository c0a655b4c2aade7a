// Frames per second of drawing a full table: about 100 sprites in two layers
// and the HUD grid of 100 x 20 cells, on whatever OpenGL the display offers.
// bench/love_draw draws the same scene with LOVE for comparison; run both in
// turn on the same display and compare medians:
//   tests/run_in_xvfb.sh env LIBGL_ALWAYS_SOFTWARE=1 build/bench/bench_draw
//   tests/run_in_xvfb.sh env LIBGL_ALWAYS_SOFTWARE=1 love bench/love_draw
#include <GL/gl.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "app/loop_clock.h"
#include "content/world_data.h"
#include "gfx/draw_world.h"
#include "gfx/graphics.h"
#include "world/physics.h"
#include "world/world.h"

// Counts C++ heap allocations so the run can show that drawing makes none.
static long allocations = 0;
void* operator new(size_t size) {
  ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, size_t) noexcept {
  std::free(p);
}

namespace {

constexpr int spriteCount = 100;
constexpr int warmUpFrames = 30;
constexpr double minimumSeconds = 3.0;

void addTexture(WorldData& data, const char* name, int size, unsigned char r, unsigned char g,
                unsigned char b) {
  std::vector<unsigned char> pixels(size_t(size) * size * 4);
  for (size_t i = 0; i < pixels.size(); i += 4) {
    pixels[i] = r;
    pixels[i + 1] = g;
    pixels[i + 2] = b;
    pixels[i + 3] = (i / 4) % 3 ? 255 : 128;  // some translucency
  }
  TextureDef def;
  def.name = name;
  def.width = def.height = size;
  def.texture = uploadTexture(size, size, pixels.data());
  data.textures.push_back(def);
}

// CPU seconds of the whole process, the rasteriser's threads included: less
// swayed by other work on the machine than frames per second.
double cpuSeconds() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

}  // namespace

int main() {
  if (!std::getenv("DISPLAY")) {
    printf("bench_draw: no display; skipped\n");
    return 0;
  }
  if (!initGraphics(true)) {
    printf("bench_draw: no window (%s); skipped\n", graphicsError());
    shutdownGraphics();
    return 0;
  }
  initPhysics();
  // The figure means little without knowing what rasterised it.
  printf("bench_draw renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

  NullContentBackend backend;
  {
    WorldData data(backend);
    data.textures.reserve(8);
    addTexture(data, "Images\\hud-lit.png", 8, 255, 160, 0);
    addTexture(data, "Images\\hud-unlit.png", 8, 60, 30, 0);
    addTexture(data, "ball", 32, 200, 200, 220);
    addTexture(data, "lamp", 24, 255, 40, 40);
    addTexture(data, "lampLit", 24, 255, 255, 80);
    addTexture(data, "wall", 64, 90, 90, 120);

    SceneDef scene;
    scene.name = "table";
    for (int i = 0; i < spriteCount; ++i) {
      ObjectDef def;
      def.name = "o" + std::to_string(i);
      def.kind = KindProp;
      def.imageScale = 1 + (i % 3) * 0.5f;
      def.position = {float(40 + (i % 10) * 75), float(180 + (i / 10) * 40)};
      // Balls, lamps (with a lit image) and walls, from the table above.
      const int images[4] = {2, 3, 5, 3};
      def.imgTexture = &data.textures[size_t(images[i % 4])];
      if (images[i % 4] == 3) def.litImgTexture = &data.textures[4];
      def.layer = i % 2;
      def.blend = i % 5 == 0 ? 1 : 0;
      scene.objects.push_back(def);
    }
    data.scenes.push_back(scene);

    World world(data);
    int number = world.spawnScene(&data.scenes[0], 0, 0);
    int slot = 0;
    world.forEachObject([&slot](WorldObject& object) { object.lit = slot++ % 2; });
    Hud& hud = world.hud();
    hud.setPlayers(4);
    for (int i = 0; i < 4; ++i) hud.setScore(i, 1234567 * (i + 1));
    hud.update(stepLength);
    world.camera = {10, 5};

    for (int i = 0; i < warmUpFrames; ++i) {
      beginFrame();
      drawWorld(world);
      endFrame();
    }
    long allocationsBefore = allocations;
    int frames = 0;
    auto start = std::chrono::steady_clock::now();
    double cpuStart = cpuSeconds();
    double seconds = 0;
    while (seconds < minimumSeconds) {
      beginFrame();
      drawWorld(world);
      endFrame();
      ++frames;
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    glFinish();
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double cpuPerFrame = (cpuSeconds() - cpuStart) / frames;
    long frameAllocations = allocations - allocationsBefore;

    // The grid is rebuilt on every world step, about 333 times a second, so
    // its rebuild should not allocate either once the score text has grown.
    constexpr int hudSteps = 3000;
    long stepAllocationsBefore = allocations;
    for (int i = 0; i < hudSteps; ++i) hud.update(stepLength);
    long stepAllocations = allocations - stepAllocationsBefore;

    printf(
        "bench_draw scene=%d sprites=%d hud=%dx%d frames=%d frames_per_s=%.1f "
        "cpu_ms_per_frame=%.2f allocations_per_frame=%.2f hud_update_allocations_per_step=%.2f "
        "setup_allocations=%ld\n",
        number, world.objectCount(), hud.columns, hud.rows, frames, frames / seconds,
        cpuPerFrame * 1000, double(frameAllocations) / frames, double(stepAllocations) / hudSteps,
        allocationsBefore);  // shows the counter is live
  }
  closePhysics();
  shutdownGraphics();
  return 0;
}
