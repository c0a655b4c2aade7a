// One window for the whole test binary (SDL opens one at a time), and the
// helpers that build small tables and read frames back.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "content/world_data.h"
#include "gfx/graphics.h"
#include "world/world.h"

struct Rgb {
  int r = 0, g = 0, b = 0;
};

inline bool operator==(Rgb a, Rgb b) {
  return a.r == b.r && a.g == b.g && a.b == b.b;
}
std::ostream& operator<<(std::ostream& out, Rgb c);

// True when every channel is within tolerance.
bool near(Rgb a, Rgb b, int tolerance = 3);

// Screen pixel (x right, y down from the top-left corner) of the frame being
// drawn, read from the back buffer before the swap.
Rgb pixelAt(int x, int y);
// Whether any pixel within radius of (x, y) is near the colour.
bool colourNear(int x, int y, Rgb colour, int radius = 1);

// The whole picture of the frame being drawn, RGBA, bottom row first.
std::vector<unsigned char> readPicture();
// How many bytes of two pictures differ.
int differingBytes(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b);

// Whether the shared window opened.
bool windowReady();

// Without a display the drawing tests skip themselves; with one, a window
// that would not open is a failure, so that a lost X server never passes
// for a green run.
#define REQUIRE_WINDOW()                                                  \
  do {                                                                    \
    if (windowReady()) break;                                             \
    if (std::getenv("DISPLAY")) FAIL() << "DISPLAY is set but no window"; \
    GTEST_SKIP() << "no display";                                         \
  } while (0)

// A catalog and world made by hand: textures are uploaded for real, scenes
// and objects are plain records, and the world spawns them.
class Table {
 public:
  Table();
  ~Table();

  // A texture of one colour, or of two colours, top half and bottom half.
  const TextureDef* addTexture(const std::string& name, int width, int height, Rgb colour,
                               int alpha = 255);
  const TextureDef* addSplitTexture(const std::string& name, int width, int height, Rgb top,
                                    Rgb bottom);
  // A texture whose texels all differ, some translucent unless opaque, so
  // that a texel mixed with its neighbour or out of place shows.
  const TextureDef* addPatternTexture(const std::string& name, int width, int height, int seed,
                                      bool opaque = false);
  // A solid 8x8 lit and unlit dot, which give the world's HUD a 100-column grid.
  void addHudImages(Rgb lit, Rgb unlit);

  SceneDef& addScene(const std::string& name);
  // A prop (kind 4) at position with the given image, scale 1, layer 0.
  ObjectDef& addObject(SceneDef& scene, const std::string& name, const TextureDef* image, float x,
                       float y);

  // Creates the world; records must not be added afterwards.
  World& build();
  int spawn(const SceneDef& scene, float x = 0, float y = 0);
  WorldObject* object(int scene, const char* name);

  // beginFrame and drawWorld; the caller reads pixels, then finishFrame.
  void drawFrame();
  void finishFrame();

  NullContentBackend backend;
  WorldData data{nullptr, backend};
  std::unique_ptr<World> world;
  DrawFlags flags;  // what drawFrame and finishFrame draw with
};
