// Result codes of the audio system, their console line, and the small
// conversions (library version, volume) that decide what reaches the mixer.
#pragma once

namespace AudioSystem {

enum AudioResult {
  resultOk = 0,
  resultDeviceFailed = 1,  // the audio device could not be opened
  resultSoundFailed = 2,   // an effect could not be decoded
  resultMusicFailed = 3,   // a music file could not be opened
  resultPlayFailed = 4,    // playback could not start
  resultPathTooLong = 5,   // a music file name does not fit the data path
  resultCount
};

// Oldest mixer release known to work: 2.6.0, the first whose
// Mix_PlayChannel is a function of the library rather than a macro.
constexpr unsigned minimumMixerVersion = 0x00020600;

// major << 16 | minor << 8 | patch, so that releases compare as integers.
unsigned packVersion(int major, int minor, int patch);
bool isSupportedVersion(unsigned version);

// Mixer volume 0..128 for a volume where 1.0 is full; NaN and negative
// volumes are silent, louder than full is full.
int mixerVolume(float volume);

// Prints the error line for a nonzero code, with detail (the mixer's own
// message) when it has one and the table's text otherwise. True for 0.
bool reportResult(int result, const char* detail);

}  // namespace AudioSystem
