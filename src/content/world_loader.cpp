// Loading data.dat into the catalog: one front-to-back pass that prints a
// line per record, uploads textures and creates sounds through the backend.
//
// Damage rules. Every announced record is created, but a closed reader
// answers 0 for every count, so after the file ends only the loop that was
// running when it ended can still add empty records: the catalog stays
// within a few times 65535 records of what the file itself holds. Pixel and
// sound blocks are checked against the bytes left before anything is
// allocated; a block announced beyond the end closes the reader at once.
// Material records are counted against the bytes left, and only the whole
// ones are read.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include "content/archive_format.h"
#include "content/archive_reader.h"
#include "content/world_data.h"

namespace {

// Why the reader found path closed, for the author on standard error.
const char* openFault(const char* path) {
  if (!path || !*path) return "no path";
  struct stat info;
  if (stat(path, &info) != 0) return std::strerror(errno);
  if (!S_ISREG(info.st_mode)) return "not a regular file";
  FILE* probe = std::fopen(path, "rb");
  if (!probe) return std::strerror(errno);
  std::fclose(probe);
  return "unreadable";
}

// Reads the field types of archive_format.h; the names only serve the lister.
class FieldReader {
 public:
  explicit FieldReader(ArchiveReader& reader) : reader_(reader) {}

  void name(std::string& s) { s = reader_.readStr(); }
  void str(std::string& s, const char*) { s = reader_.readStr(); }
  template <class T>
  void u8(T& v, const char*) {
    v = T(reader_.readU8());
  }
  void u16(int& v, const char*) { v = reader_.readU16(); }
  void i16(int& v, const char*) { v = reader_.readI16(); }
  void f32(float& v, const char*) { v = reader_.readF32(); }
  void point(Float2& p, const char*) {
    p.x = reader_.readF32();
    p.y = reader_.readF32();
  }
  void flag(bool& b, const char*) { b = reader_.readU8() != 0; }
  template <class T>
  void kind(T& k, const char*) {
    k = T(reader_.readU8());
  }
  void group(int& g, const char*) { g = reader_.readU8(); }

 private:
  ArchiveReader& reader_;
};

// Handed to the backend for empty blocks so that it never sees a null pointer.
const unsigned char emptyBlock[4] = {};

// Pixel and sound blocks go through one buffer that only grows, so a big
// archive costs one allocation instead of one per record.
unsigned char* scratchBlock(std::vector<unsigned char>& scratch, size_t size) {
  if (scratch.size() < size) scratch.resize(size);
  return scratch.data();
}

void readTexture(ArchiveReader& reader, ContentBackend& backend, TextureDef& texture,
                 std::vector<unsigned char>& scratch) {
  FieldReader fields(reader);
  textureFields(fields, texture);
  std::printf("[WORLD(data)] Texture '%s', %d*%d\n", texture.name.c_str(), texture.width,
              texture.height);
  int64_t size = int64_t(texture.width) * texture.height * pixelBytes;
  if (size == 0) {
    texture.texture = backend.uploadTexture(texture.width, texture.height, emptyBlock);
    return;
  }
  if (size > reader.remaining()) {
    // Announced past the end: nothing to upload, and the size may not even
    // fit in memory. The record keeps its stated size and gets an empty image.
    reader.close();
    texture.texture = backend.uploadTexture(0, 0, emptyBlock);
    return;
  }
  unsigned char* pixels = scratchBlock(scratch, size_t(size));
  if (reader.readInto(pixels, size_t(size)))
    texture.texture = backend.uploadTexture(texture.width, texture.height, pixels);
  else
    texture.texture = backend.uploadTexture(0, 0, emptyBlock);
}

// Every record reaches the audio system, so a sound without data (after the
// file ended, or refused as damaged) gets the audio system's own complaint.
void readSound(ArchiveReader& reader, ContentBackend& backend, SoundDef& sound,
               std::vector<unsigned char>& scratch) {
  FieldReader fields(reader);
  soundFields(fields, sound);
  std::printf("[WORLD(data)] Sound '%s'\n", sound.name.c_str());
  uint32_t length = reader.readU32();
  if (int64_t(length) > reader.remaining() || length > uint32_t(std::numeric_limits<int>::max())) {
    // More than the file holds: the archive is damaged here, and half a
    // sound file is no sound.
    reader.close();
    length = 0;
  }
  const unsigned char* data = emptyBlock;
  if (length > 0) {
    unsigned char* buffer = scratchBlock(scratch, length);
    if (reader.readInto(buffer, length))
      data = buffer;
    else
      length = 0;  // the file shrank while we read it
  }
  sound.sound = backend.createSound(data, int(length));
}

void readFont(ArchiveReader& reader, FontDef& font) {
  FieldReader fields(reader);
  fontFields(fields, font);
  std::printf("[WORLD(data)] Font '%s'\n", font.name.c_str());
  font.glyphs.resize(reader.readU16());
  for (Glyph& glyph : font.glyphs) {
    glyphFields(fields, glyph);
    glyph.bitmap.assign(size_t(glyph.width) * glyph.height, 0);
    reader.readInto(glyph.bitmap.data(), glyph.bitmap.size());
    for (unsigned char& ink : glyph.bitmap) ink = ink != 0;
  }
}

void readObject(ArchiveReader& reader, const WorldData& catalog, ObjectDef& object) {
  FieldReader fields(reader);
  objectFields(fields, object);
  std::printf("[WORLD(data)]   Object '%s' (id: '%s', img: '%s')\n", object.name.c_str(),
              object.id.c_str(), object.img.c_str());
  object.outline.resize(reader.readU16());
  for (Float2& point : object.outline) fields.point(point, "outline");
  // An empty name means no image, even if some texture is named "".
  if (!object.img.empty()) object.imgTexture = catalog.findTexture(object.img.c_str());
  if (!object.litImg.empty()) object.litImgTexture = catalog.findTexture(object.litImg.c_str());
}

void readLink(ArchiveReader& reader, LinkDef& link) {
  FieldReader fields(reader);
  linkFields(fields, link);
  std::printf("[WORLD(data)]   Link '%s' (obj1: '%s', obj2: '%s')\n", link.name.c_str(),
              link.obj1.c_str(), link.obj2.c_str());
}

// At most this many lines about damaged material records; one more line
// counts the rest, so that a hostile block cannot flood the console.
constexpr unsigned mostMaterialWarnings = 8;

class MaterialWarnings {
 public:
  explicit MaterialWarnings(const char* path) : path_(path) {}
  void sayTheRest() {
    if (unsaid_ > 0)
      std::printf("[WORLD(data)] WARNING! '%s': %u more damaged materials ignored\n", path_,
                  unsaid_);
    unsaid_ = 0;
  }
  void say(const char* what) {
    if (said_ == mostMaterialWarnings) {
      ++unsaid_;
      return;
    }
    ++said_;
    std::printf("[WORLD(data)] WARNING! '%s': %s\n", path_, what);
  }

 private:
  const char* path_;
  unsigned said_ = 0, unsaid_ = 0;
};

// Why record cannot give its object a material, written to fault; the
// object it is for when it can.
ObjectDef* materialTarget(const MaterialRecord& record, std::vector<SceneDef>& scenes, char* fault,
                          size_t size) {
  if (size_t(record.scene) >= scenes.size()) {
    std::snprintf(fault, size, "names scene %d, but the archive has %zu", record.scene,
                  scenes.size());
    return nullptr;
  }
  SceneDef& scene = scenes[size_t(record.scene)];
  if (size_t(record.object) >= scene.objects.size()) {
    std::snprintf(fault, size, "names object %d of scene '%s', which has %d", record.object,
                  scene.name.c_str(), scene.objectCount());
    return nullptr;
  }
  ObjectDef& object = scene.objects[size_t(record.object)];
  if (object.hasMaterial) {
    std::snprintf(fault, size, "is a second one for object '%s' of scene '%s'", object.name.c_str(),
                  scene.name.c_str());
    return nullptr;
  }
  if (const MaterialValue* value = materialFaultValue(record.material)) {
    std::snprintf(fault, size, "for object '%s' of scene '%s' has %s %g, outside 0 to %g",
                  object.name.c_str(), scene.name.c_str(), value->name,
                  double(record.material.*value->field), double(value->most));
    return nullptr;
  }
  return &object;
}

// The block that may follow the scenes. Its damage never fails the load:
// the table plays on without the materials it lost, as an engine that knew
// no materials would have played it.
void readMaterials(ArchiveReader& reader, const char* path, std::vector<SceneDef>& scenes) {
  if (reader.remaining() < 4 || reader.readU32() != materialBlockTag) return;
  MaterialWarnings warnings(path);
  if (reader.remaining() < 4) {
    warnings.say("the materials block ends before its count; no materials");
    return;
  }
  uint32_t count = reader.readU32();
  int64_t whole = reader.remaining() / materialRecordBytes;
  char line[512];
  if (int64_t(count) > whole) {
    std::snprintf(line, sizeof line, "the materials block announces %u materials but holds %lld",
                  unsigned(count), static_cast<long long>(whole));
    warnings.say(line);
    count = uint32_t(whole);
  }
  FieldReader fields(reader);
  unsigned kept = 0;
  for (uint32_t i = 0; i < count; ++i) {
    MaterialRecord record;
    materialFields(fields, record);
    if (!reader.isOpen()) break;  // the file shrank under us: its zeros are no record
    char fault[400];
    ObjectDef* object = materialTarget(record, scenes, fault, sizeof fault);
    if (!object) {
      std::snprintf(line, sizeof line, "material %u %s; ignored", unsigned(i), fault);
      warnings.say(line);
      continue;
    }
    object->hasMaterial = true;
    object->material = record.material;
    ++kept;
  }
  warnings.sayTheRest();
  std::printf("[WORLD(data)] Materials of %u objects\n", kept);
}

}  // namespace

WorldData::WorldData(const char* path, ContentBackend& backend) : backend_(backend) {
  loadFailed = true;
  std::printf("Loading world data from '%s'..\n", path ? path : "");
  ArchiveReader reader(path);
  if (!reader.isOpen()) {
    std::printf("Error opening the world data file!\n");
    std::fprintf(stderr, "Cannot open the world data file '%s': %s\n", path ? path : "",
                 openFault(path));
    return;
  }
  if (reader.readU16() != archiveVersion) {
    std::printf("Invalid world data version!\n");
    return;
  }

  std::vector<unsigned char> scratch;
  textures.resize(reader.readU16());
  for (TextureDef& texture : textures) readTexture(reader, backend_, texture, scratch);

  sounds.resize(reader.readU16());
  for (SoundDef& sound : sounds) readSound(reader, backend_, sound, scratch);
  scratch = std::vector<unsigned char>();

  fonts.resize(reader.readU16());
  for (FontDef& font : fonts) readFont(reader, font);

  unsigned maskCount = reader.readU16();
  for (unsigned i = 0; i < maskCount; ++i) {
    uint32_t mask = reader.readU32();
    if (i < 32) collisionMasks[i] = mask;
  }

  // Objects keep pointers into textures, which no longer change size here.
  scenes.resize(reader.readU16());
  for (SceneDef& scene : scenes) {
    FieldReader fields(reader);
    sceneFields(fields, scene);
    std::printf("[WORLD(data)] Scene '%s'\n", scene.name.c_str());
    scene.objects.resize(reader.readU16());
    for (ObjectDef& object : scene.objects) readObject(reader, *this, object);
    scene.links.resize(reader.readU16());
    for (LinkDef& link : scene.links) readLink(reader, link);
  }

  if (!reader.isOpen()) {
    std::printf("Error loading the world data!\n");
    return;
  }
  readMaterials(reader, path, scenes);
  loadFailed = false;
  std::printf("World data loaded!\n");
}
