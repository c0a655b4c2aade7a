// Result texts, the error line, version comparison and volume mapping.
#include "audio/audio_results.h"

#include <cmath>
#include <cstdio>

#include "audio/audio_system.h"

namespace AudioSystem {

namespace {

const char* const resultTexts[resultCount] = {
    "No errors.",
    "The audio device could not be opened.",
    "The sound could not be created.",
    "The music file could not be opened.",
    "The sound could not be played.",
    "The music file name is too long.",
};

}  // namespace

const char* errorText(int result) {
  if (result < 0 || result >= resultCount) return "Unknown error.";
  return resultTexts[result];
}

bool reportResult(int result, const char* detail) {
  if (result == resultOk) return true;
  const char* text = (detail && *detail) ? detail : errorText(result);
  std::printf("[AUDIO] SDL_mixer error (%d): %s\n", result, text);
  return false;
}

bool checkResult(int result) {
  return reportResult(result, nullptr);
}

unsigned packVersion(int major, int minor, int patch) {
  return (unsigned(major) & 0xffffu) << 16 | (unsigned(minor) & 0xffu) << 8 |
         (unsigned(patch) & 0xffu);
}

bool isSupportedVersion(unsigned version) {
  return version >= minimumMixerVersion;
}

int mixerVolume(float volume) {
  // The comparison form lets NaN fall through to silence.
  if (!(volume > 0.0f)) return 0;
  if (volume >= 1.0f) return 128;
  return int(std::lround(volume * 128.0f));
}

}  // namespace AudioSystem
