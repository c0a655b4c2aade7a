// The content catalog: every record of data.dat, loaded once and read-only
// afterwards. Other subsystems hold plain pointers into it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SoundHandle;  // owned by the audio system

struct Float2 {
  float x = 0, y = 0;
};

struct TextureDef {
  std::string name;
  int width = 0, height = 0;
  unsigned texture = 0;  // GL texture name made by the backend's uploadTexture
};

struct SoundDef {
  std::string name;
  SoundHandle* sound = nullptr;  // may be empty; released by the catalog
};

struct Glyph {
  unsigned char code = 0;
  int width = 0, height = 0;
  std::vector<unsigned char> bitmap;  // width*height, each 0 or 1, top row first
};

struct FontDef {
  std::string name;
  int spacing = 0;     // pixels after every glyph
  int spaceWidth = 0;  // advance of ' ', which has no glyph
  std::vector<Glyph> glyphs;
  int glyphCount() const { return int(glyphs.size()); }
};

// The archive's kind byte. Any other value is kept as read; the world gives
// such an object neither a shape nor a body.
enum ObjectKind : uint8_t {
  KindStatic = 0,
  KindDynamic = 1,
  KindTrigger = 2,
  KindMarker = 3,
  KindProp = 4
};

// How a contact with an object rebounds and slides. A pair of objects takes
// the larger rebound of the two and the geometric mean of their frictions;
// an object that sets none takes no part, and a pair where neither does has
// the engine's plain contact (a fifth of the impact speed back above
// 50 px/s, no friction).
struct Material {
  float elasticity = 0;         // share of the normal speed given back at low speed, 0..1
  float elasticityFalloff = 0;  // e = elasticity / (1 + falloff * speed / 1000 px/s), >= 0
  float friction = 0;           // Coulomb coefficient, 0..1
};
constexpr float mostElasticityFalloff = 10;
// What a script reads for an object that sets no material: the rebound and
// friction of the plain contact (its 50 px/s threshold is no material value).
constexpr Material plainContactMaterial = {0.2f, 0, 0};

// The values of a material as sources, the archive and scripts name them,
// each with the top of its range (every range starts at 0).
struct MaterialValue {
  const char* name;
  float Material::*field;
  float most;
};
inline constexpr MaterialValue materialValues[] = {
    {"elasticity", &Material::elasticity, 1},
    {"elasticityFalloff", &Material::elasticityFalloff, mostElasticityFalloff},
    {"friction", &Material::friction, 1}};

// The first value of m outside its range (NaN is outside), or nullptr.
const MaterialValue* materialFaultValue(const Material& m);
// The name of that value ("elasticity", "elasticityFalloff", "friction"), or
// nullptr.
const char* materialFault(const Material& m);

struct ObjectDef {
  std::string name, id, img, litImg, linkedTo;
  float imageScale = 0;
  Float2 imageOffset;
  int layer = 0, blend = 0;
  ObjectKind kind = KindStatic;
  int collisionGroup = 0;
  bool immovableByOtherScenes = false;
  float mass = 0, inertiaRadius = 0;
  bool hasMaterial = false;
  Material material;
  Float2 position;
  std::vector<Float2> outline;
  const TextureDef* imgTexture = nullptr;     // resolved at load time
  const TextureDef* litImgTexture = nullptr;  // resolved at load time
  int outlineCount() const { return int(outline.size()); }
};

struct LinkDef {
  std::string name, obj1, obj2;
  Float2 anchor;
};

struct SceneDef {
  std::string name;
  std::vector<ObjectDef> objects;
  std::vector<LinkDef> links;
  int objectCount() const { return int(objects.size()); }
  int linkCount() const { return int(links.size()); }
  // First object whose whole id equals id (kind 3 markers included).
  const ObjectDef* findObjectById(const char* id) const;
};

// What loading needs from graphics and audio; the engine passes the real
// ones, tests and tools pass stubs.
class ContentBackend {
 public:
  virtual ~ContentBackend() = default;
  virtual unsigned uploadTexture(int width, int height, const unsigned char* rgba) = 0;
  virtual SoundHandle* createSound(const unsigned char* data, int length) = 0;
  virtual void releaseSound(SoundHandle* sound) = 0;
};

// Uploads nothing and makes no sounds.
class NullContentBackend : public ContentBackend {
 public:
  unsigned uploadTexture(int, int, const unsigned char*) override { return 0; }
  SoundHandle* createSound(const unsigned char*, int) override { return nullptr; }
  void releaseSound(SoundHandle*) override {}
};

class WorldData {
 public:
  // Loads the archive at path (nullptr counts as a file that cannot be
  // opened). Never throws; loadFailed tells the outcome. A damaged archive
  // still yields every announced record (those after the damage empty), and
  // no pixel or sound block is allocated beyond the bytes left in the file.
  WorldData(const char* path, ContentBackend& backend);
  // An empty catalog for content made in code (tests, benchmarks): nothing
  // is read and nothing is said.
  explicit WorldData(ContentBackend& backend);
  ~WorldData();
  WorldData(const WorldData&) = delete;
  WorldData& operator=(const WorldData&) = delete;

  bool loadFailed = true;
  std::vector<TextureDef> textures;
  std::vector<SoundDef> sounds;
  std::vector<FontDef> fonts;
  std::vector<SceneDef> scenes;
  uint32_t collisionMasks[32] = {};

  int textureCount() const { return int(textures.size()); }
  int soundCount() const { return int(sounds.size()); }
  int fontCount() const { return int(fonts.size()); }
  int sceneCount() const { return int(scenes.size()); }

  // Exact, case-sensitive, first match in archive order; nullptr if none.
  const TextureDef* findTexture(const char* name) const;
  const SoundDef* findSound(const char* name) const;
  const FontDef* findFont(const char* name) const;
  const SceneDef* findScene(const char* name) const;

 private:
  ContentBackend& backend_;
};
