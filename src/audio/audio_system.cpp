// The audio system over SDL_mixer: the mixer device, decoded effects, the one
// looping music stream, and the console lines for every failure.
//
// SDL keeps its last error until something overwrites it, so every call
// whose message may be printed is preceded by SDL_ClearError: a stale
// message from elsewhere must not be reported as this call's failure.
#include "audio/audio_system.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>

#include "audio/audio_results.h"
#include "audio/channel_table.h"
#include "audio/sound_data_check.h"

struct SoundHandle {
  Mix_Chunk* chunk = nullptr;
};

namespace AudioSystem {

namespace {

constexpr int mixRate = 44100;
constexpr int mixChannels = 2;
constexpr int mixChunkFrames = 1024;         // about 23 ms of latency
constexpr int musicHeaderBytes = 64 * 1024;  // what the header check reads of a music file

bool ready = false;               // the mixer is open: a system exists
bool ownsAudioSubsystem = false;  // we started SDL's audio and must stop it
Mix_Music* music = nullptr;
SDL_RWops* musicSource = nullptr;  // the open music file; the stream reads it
ChannelTable channels;
MusicLocator locateMusic = nullptr;
float masterVolume = 1;  // the player's level over the script's volumes
float musicVolume = 1;   // the volume the script gave its music

void releaseMusic() {
  if (!music) return;
  Mix_FreeMusic(music);  // halts it first when it plays
  music = nullptr;
  SDL_RWclose(musicSource);
  musicSource = nullptr;
}

// The header check on the start of a music file; the stream is rewound.
bool musicHeaderIsSafe(SDL_RWops* source) {
  static unsigned char header[musicHeaderBytes];
  const Sint64 fileLength = SDL_RWseek(source, 0, RW_SEEK_END);
  SDL_RWseek(source, 0, RW_SEEK_SET);
  const size_t have = SDL_RWread(source, header, 1, musicHeaderBytes);
  SDL_RWseek(source, 0, RW_SEEK_SET);
  const char* problem = soundDataProblem(header, have, fileLength > 0 ? size_t(fileLength) : have);
  if (problem) SDL_SetError("%s", problem);
  return !problem;
}

// Opens the music file ourselves and keeps it: Mix_LoadMUS leaks its open
// file when it cannot tell the format (a directory, an unreadable file).
Mix_Music* openMusic(const char* path) {
  SDL_RWops* source = SDL_RWFromFile(path, "rb");
  if (!source) return nullptr;
  Mix_Music* opened = musicHeaderIsSafe(source) ? Mix_LoadMUSType_RW(source, MUS_NONE, 0) : nullptr;
  if (!opened) {
    SDL_RWclose(source);
    return nullptr;
  }
  musicSource = source;
  return opened;
}

}  // namespace

void initWithVersion(unsigned mixerVersion) {
  shutdown();

  if (!SDL_WasInit(SDL_INIT_AUDIO)) {
    SDL_ClearError();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0) {
      reportResult(resultDeviceFailed, SDL_GetError());
      return;
    }
    ownsAudioSubsystem = true;
  }

  if (!isSupportedVersion(mixerVersion)) {
    std::printf("[AUDIO] Too old version of SDL_mixer (%08x), at least version %08x is required!",
                mixerVersion, minimumMixerVersion);
    shutdown();
    return;
  }

  SDL_ClearError();
  if (Mix_OpenAudio(mixRate, MIX_DEFAULT_FORMAT, mixChannels, mixChunkFrames) < 0) {
    reportResult(resultDeviceFailed, Mix_GetError());
    shutdown();
    return;
  }
  ready = true;
  Mix_AllocateChannels(ChannelTable::channelCount);
  channels.reset();
  setMasterVolume(masterVolume);
}

void init() {
  const SDL_version* linked = Mix_Linked_Version();
  initWithVersion(packVersion(linked->major, linked->minor, linked->patch));
}

void shutdown() {
  releaseMusic();
  if (ready) {
    Mix_HaltChannel(-1);
    Mix_CloseAudio();
    ready = false;
  }
  if (ownsAudioSubsystem) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    ownsAudioSubsystem = false;
  }
}

// SDL_mixer mixes on SDL's audio thread; nothing needs pumping per frame.
void update() {}

bool isReady() {
  return ready;
}

void setMusicLocator(MusicLocator locate) {
  locateMusic = locate;
}

SoundHandle* createSound(const void* data, int length) {
  if (!ready) return nullptr;
  if (!data || length <= 0) {
    std::printf("[AUDIO] Invalid sound data; unable to create the sound!");
    return nullptr;
  }
  if (const char* problem =
          soundDataProblem(static_cast<const unsigned char*>(data), size_t(length))) {
    reportResult(resultSoundFailed, problem);
    return nullptr;
  }
  SDL_ClearError();
  // The chunk is decoded into the mixer's own buffer; the caller's bytes are
  // not referenced once this returns.
  SDL_RWops* source = SDL_RWFromConstMem(data, length);
  Mix_Chunk* chunk = source ? Mix_LoadWAV_RW(source, 1) : nullptr;
  if (!chunk) {
    reportResult(resultSoundFailed, Mix_GetError());
    return nullptr;
  }
  SoundHandle* sound = new SoundHandle;
  sound->chunk = chunk;
  return sound;
}

void releaseSound(SoundHandle* sound) {
  if (!sound) return;
  // Mix_FreeChunk halts every channel still playing the chunk.
  if (sound->chunk) Mix_FreeChunk(sound->chunk);
  delete sound;
}

void playSound(SoundHandle* sound, float volume) {
  if (!ready || !sound || !sound->chunk) return;
  // Choosing the channel here rather than through Mix_PlayChannel(-1) lets
  // the oldest effect give way when every channel is busy; music has its own
  // stream and is never taken.
  const int channel = channels.pick([](int c) { return Mix_Playing(c) != 0; });
  if (Mix_Playing(channel)) Mix_HaltChannel(channel);
  Mix_Volume(channel, mixerVolume(volume));
  SDL_ClearError();
  if (Mix_PlayChannel(channel, sound->chunk, 0) < 0) {
    reportResult(resultPlayFailed, Mix_GetError());
    return;
  }
  channels.started(channel);
}

void playMusic(const char* name, float volume) {
  if (!ready) return;
  if (!name && !music) return;
  releaseMusic();
  if (!name) {
    std::printf("[AUDIO] Stopping music\n");
    return;
  }

  const char* path = locateMusic ? locateMusic(name) : name;
  if (!path) {
    reportResult(resultPathTooLong, nullptr);
    return;
  }
  std::printf("[AUDIO] Starting music '%s'\n", path);
  SDL_ClearError();
  music = openMusic(path);
  if (!music) {
    reportResult(resultMusicFailed, Mix_GetError());
    return;
  }
  // Set before playing so the first mixed chunk already has the volume. When
  // playback fails the stream stays loaded until replaced or shut down.
  musicVolume = volume;
  Mix_VolumeMusic(mixerVolume(musicVolume * masterVolume));
  SDL_ClearError();
  if (Mix_PlayMusic(music, -1) < 0) reportResult(resultPlayFailed, Mix_GetError());
}

void pause(bool paused) {
  if (!ready) return;
  if (paused) {
    Mix_Pause(-1);
    Mix_PauseMusic();
  } else {
    Mix_Resume(-1);
    Mix_ResumeMusic();
  }
}

void setMasterVolume(float volume) {
  masterVolume = volume;
  if (!ready) return;
  // The mixer's master volume leaves the music out, so the music gets its own.
  Mix_MasterVolume(mixerVolume(masterVolume));
  Mix_VolumeMusic(mixerVolume(musicVolume * masterVolume));
}

}  // namespace AudioSystem
