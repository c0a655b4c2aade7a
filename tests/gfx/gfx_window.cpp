// The shared window environment and the table and pixel helpers of the
// drawing tests.
#include "gfx_window.h"

#include <GL/gl.h>

#include <cstdlib>
#include <ostream>
#include <vector>

#include "gfx/draw_world.h"
#include "gfx/graphics.h"
#include "world/physics.h"

// The X11 client library keeps a few blocks for the life of the process
// (visual lists, atom names), and so does the D-Bus connection SDL opens;
// they are not ours to free.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libX11.so\nleak:_dlerror_run\nleak:libdbus-1.so\n";
}

namespace {

bool ready = false;

class WindowEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    // The test runner hands over a display only once its server accepts
    // clients, so one attempt tells.
    ready = initGraphics(true);
    if (!ready) {
      printf("No window: %s\n", graphicsError());
      shutdownGraphics();
    }
    initPhysics();
  }
  void TearDown() override {
    closePhysics();
    shutdownGraphics();
  }
};

::testing::Environment* const windowEnvironment =
    ::testing::AddGlobalTestEnvironment(new WindowEnvironment);

std::vector<unsigned char> solidPixels(int width, int height, Rgb top, Rgb bottom, int alpha) {
  std::vector<unsigned char> pixels;
  pixels.reserve(size_t(width) * height * 4);
  for (int row = 0; row < height; ++row) {
    Rgb c = row < height / 2 ? top : bottom;
    for (int column = 0; column < width; ++column) {
      pixels.push_back((unsigned char)c.r);
      pixels.push_back((unsigned char)c.g);
      pixels.push_back((unsigned char)c.b);
      pixels.push_back((unsigned char)alpha);
    }
  }
  return pixels;
}

const TextureDef* addTextureRecord(WorldData& data, const std::string& name, int width, int height,
                                   const std::vector<unsigned char>& pixels) {
  TextureDef def;
  def.name = name;
  def.width = width;
  def.height = height;
  def.texture = uploadTexture(width, height, pixels.data());
  data.textures.push_back(def);
  return &data.textures.back();
}

}  // namespace

std::ostream& operator<<(std::ostream& out, Rgb c) {
  return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

bool near(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

Rgb pixelAt(int x, int y) {
  unsigned char rgba[4] = {};
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, 599 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  return Rgb{rgba[0], rgba[1], rgba[2]};
}

bool colourNear(int x, int y, Rgb colour, int radius) {
  for (int dy = -radius; dy <= radius; ++dy)
    for (int dx = -radius; dx <= radius; ++dx)
      if (near(pixelAt(x + dx, y + dy), colour)) return true;
  return false;
}

std::vector<unsigned char> readPicture() {
  std::vector<unsigned char> rgba(size_t(screenWidth) * size_t(screenHeight) * 4);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, screenWidth, screenHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  return rgba;
}

int differingBytes(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
  if (a.size() != b.size()) return -1;
  int differing = 0;
  for (size_t i = 0; i < a.size(); ++i) differing += a[i] != b[i];
  return differing;
}

bool windowReady() {
  return ready;
}

Table::Table() {
  // Records point at each other, so the vectors must never move.
  data.textures.reserve(32);
  data.scenes.reserve(8);
}

Table::~Table() {
  world.reset();
}

const TextureDef* Table::addTexture(const std::string& name, int width, int height, Rgb colour,
                                    int alpha) {
  return addTextureRecord(data, name, width, height,
                          solidPixels(width, height, colour, colour, alpha));
}

const TextureDef* Table::addSplitTexture(const std::string& name, int width, int height, Rgb top,
                                         Rgb bottom) {
  return addTextureRecord(data, name, width, height, solidPixels(width, height, top, bottom, 255));
}

const TextureDef* Table::addPatternTexture(const std::string& name, int width, int height, int seed,
                                           bool opaque) {
  std::vector<unsigned char> pixels;
  pixels.reserve(size_t(width) * height * 4);
  for (int i = 0; i < width * height; ++i) {
    pixels.push_back((unsigned char)(seed + 37 * i));
    pixels.push_back((unsigned char)(255 - 11 * i));
    pixels.push_back((unsigned char)(seed * 3 + 5 * i));
    pixels.push_back((unsigned char)(opaque ? 255 : i % 4 == 0 ? 96 : 255 - i));
  }
  return addTextureRecord(data, name, width, height, pixels);
}

void Table::addHudImages(Rgb lit, Rgb unlit) {
  addTexture("Images\\hud-lit.png", 8, 8, lit);
  addTexture("Images\\hud-unlit.png", 8, 8, unlit);
}

SceneDef& Table::addScene(const std::string& name) {
  data.scenes.emplace_back();
  data.scenes.back().name = name;
  data.scenes.back().objects.reserve(16);
  return data.scenes.back();
}

ObjectDef& Table::addObject(SceneDef& scene, const std::string& name, const TextureDef* image,
                            float x, float y) {
  ObjectDef def;
  def.name = name;
  def.id = name;
  def.kind = KindProp;
  def.imageScale = 1;
  def.position = {x, y};
  def.imgTexture = image;
  scene.objects.push_back(def);
  return scene.objects.back();
}

World& Table::build() {
  world = std::make_unique<World>(data);
  return *world;
}

int Table::spawn(const SceneDef& scene, float x, float y) {
  return world->spawnScene(&scene, x, y);
}

WorldObject* Table::object(int scene, const char* name) {
  return world->findObjectByName(scene, name);
}

void Table::drawFrame() {
  beginFrame();
  drawWorld(*world, flags);
  glFinish();
}

void Table::finishFrame() {
  endFrame(flags);
}
