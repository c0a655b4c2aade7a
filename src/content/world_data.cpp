// Placeholder catalog.
#include "content/world_data.h"
WorldData::WorldData(const char*, ContentBackend& backend) : backend_(backend) {}
WorldData::~WorldData() {}
const TextureDef* WorldData::findTexture(const char*) const { return nullptr; }
const SoundDef* WorldData::findSound(const char*) const { return nullptr; }
const FontDef* WorldData::findFont(const char*) const { return nullptr; }
const SceneDef* WorldData::findScene(const char*) const { return nullptr; }
const ObjectDef* SceneDef::findObjectById(const char*) const { return nullptr; }
