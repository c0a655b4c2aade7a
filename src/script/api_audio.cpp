// Script bindings for sound effects and music.
#include <cstdio>

#include "audio/audio_system.h"
#include "content/world_data.h"
#include "script/api_common.h"

namespace {

float volumeArg(lua_State* L) {
  return lua_gettop(L) >= 2 ? toFloat(L, 2) : 1.0f;
}

int soundPlay(lua_State* L) {
  checkArgCount(L, "SoundPlay", 1, 2);
  const char* name = lua_tostring(L, 1);
  if (!name) return raiseMessage(L, "Invalid sound name for 'SoundPlay'!");
  float volume = volumeArg(L);
  const WorldData* catalog = scriptCatalog();
  const char* lookup = toName(L, 1);
  const SoundDef* def = catalog && lookup ? catalog->findSound(lookup) : nullptr;
  if (def)
    AudioSystem::playSound(def->sound, volume);
  else
    printf("[AUDIO] Sound '%s' not found!\n", name);
  return 0;
}

int musicPlay(lua_State* L) {
  checkArgCount(L, "MusicPlay", 1, 2);
  const char* file = lua_tostring(L, 1);
  if (!file) return raiseMessage(L, "Invalid music file name for 'MusicPlay'!");
  AudioSystem::playMusic(file, volumeArg(L));
  return 0;
}

int musicStop(lua_State* L) {
  checkArgCount(L, "MusicStop", 0, 0);
  AudioSystem::playMusic(nullptr, 1.0f);
  return 0;
}

}  // namespace

const luaL_Reg audioApi[] = {{"MusicPlay", musicPlay},
                             {"MusicStop", musicStop},
                             {"SoundPlay", soundPlay},
                             {nullptr, nullptr}};
