// The catalog's lookups and its release order. Loading lives in
// world_loader.cpp.
#include "content/world_data.h"

#include <cstring>

namespace {

// Whole-name equality: the query ends at its NUL, so a stored name with an
// embedded zero byte can never equal it.
bool sameName(const std::string& stored, const char* query) {
  size_t length = std::strlen(query);
  return stored.size() == length && std::memcmp(stored.data(), query, length) == 0;
}

// The first record whose field equals name.
template <typename Record>
const Record* findFirst(const std::vector<Record>& records, std::string Record::*field,
                        const char* name) {
  if (!name) return nullptr;
  for (const Record& record : records)
    if (sameName(record.*field, name)) return &record;
  return nullptr;
}

template <typename Record>
const Record* findByName(const std::vector<Record>& records, const char* name) {
  return findFirst(records, &Record::name, name);
}

}  // namespace

const ObjectDef* SceneDef::findObjectById(const char* id) const {
  return findFirst(objects, &ObjectDef::id, id);
}

const TextureDef* WorldData::findTexture(const char* name) const {
  return findByName(textures, name);
}

const SoundDef* WorldData::findSound(const char* name) const {
  return findByName(sounds, name);
}

const FontDef* WorldData::findFont(const char* name) const {
  return findByName(fonts, name);
}

const SceneDef* WorldData::findScene(const char* name) const {
  return findByName(scenes, name);
}

WorldData::WorldData(ContentBackend& backend) : loadFailed(false), backend_(backend) {}

WorldData::~WorldData() {
  // Scenes first (they point at textures), sounds while the audio system
  // still runs, textures last. GL names die with the context.
  scenes.clear();
  fonts.clear();
  for (SoundDef& sound : sounds)
    if (sound.sound) backend_.releaseSound(sound.sound);
  sounds.clear();
  textures.clear();
}

const MaterialValue* materialFaultValue(const Material& m) {
  for (const MaterialValue& value : materialValues) {
    float v = m.*value.field;
    if (!(v >= 0 && v <= value.most)) return &value;
  }
  return nullptr;
}

const char* materialFault(const Material& m) {
  const MaterialValue* value = materialFaultValue(m);
  return value ? value->name : nullptr;
}
