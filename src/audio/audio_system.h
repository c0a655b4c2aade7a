// Sound effects and looping music over SDL_mixer. With no audio device every
// operation quietly does nothing.
#pragma once

struct SoundHandle;  // one decoded effect; empty handle = nullptr

namespace AudioSystem {

void init();      // a second call starts afresh
void shutdown();  // harmless when nothing runs
void update();    // once per frame
bool isReady();   // a system exists

// Decodes a copy of an encoded sound file image (WAV, OGG, ...).
SoundHandle* createSound(const void* data, int length);
void releaseSound(SoundHandle* sound);
void playSound(SoundHandle* sound, float volume);  // 1.0 = full volume
// Starts looping music from a file in the data directory, replacing any
// current music; name nullptr stops the music.
void playMusic(const char* name, float volume);

bool checkResult(int result);  // prints the error line for nonzero codes
const char* errorText(int result);  // "Unknown error." for unknown codes

// init() as if the linked SDL_mixer were mixerVersion (major << 16 |
// minor << 8 | patch); a release older than the supported minimum is refused.
void initWithVersion(unsigned mixerVersion);

}  // namespace AudioSystem
