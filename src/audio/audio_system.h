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
// Turns a music file name into the path to open, or nullptr when no path can
// be formed (reported as a name too long). The shell hands in its join onto
// the data directory; without a locator a name is opened as given.
using MusicLocator = const char* (*)(const char* name);
void setMusicLocator(MusicLocator locate);
// Starts looping music from the file the locator finds for name, replacing
// any current music; name nullptr stops the music.
void playMusic(const char* name, float volume);
// The player's level (0 to 1) over every effect and the music; kept across
// init() and applied when the mixer opens.
void setMasterVolume(float volume);
// Holds every playing effect and the music where they are, or lets them go on.
void pause(bool paused);

bool checkResult(int result);       // prints the error line for nonzero codes
const char* errorText(int result);  // "Unknown error." for unknown codes

// init() as if the linked SDL_mixer were mixerVersion (major << 16 |
// minor << 8 | patch); a release older than the supported minimum is refused.
void initWithVersion(unsigned mixerVersion);

}  // namespace AudioSystem
