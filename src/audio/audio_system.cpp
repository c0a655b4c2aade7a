// Placeholder audio.
#include "audio/audio_system.h"
namespace AudioSystem {
void init() {}
void shutdown() {}
void update() {}
bool isReady() { return false; }
SoundHandle* createSound(const void*, int) { return nullptr; }
void releaseSound(SoundHandle*) {}
void playSound(SoundHandle*, float) {}
void playMusic(const char*, float) {}
bool checkResult(int result) { return result == 0; }
const char* errorText(int) { return "Unknown error."; }
}  // namespace AudioSystem
