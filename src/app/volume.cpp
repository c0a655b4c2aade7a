// The volume file: one whole number of tenths and a newline.
#include "app/volume.h"

#include <algorithm>
#include <cstdio>

#include "app/small_file.h"
#include "props/durable_file.h"

int readVolumeLevel(const std::string& path) {
  constexpr size_t maxBytes = 16;  // a level and a newline, with room to spare
  std::string text;
  SmallFile found = readSmallFile(path, maxBytes, text);
  if (found == SmallFile::missing) return volumeSteps;
  text = text.substr(0, text.find('\n'));
  int level = -1;
  char after = 0;
  if (std::sscanf(text.c_str(), "%d%c", &level, &after) != 1 || level < 0 || level > volumeSteps) {
    std::printf("[VOLUME] '%s' holds no level from 0 to %d; the volume is %d/%d\n", path.c_str(),
                volumeSteps, volumeSteps, volumeSteps);
    return volumeSteps;
  }
  return level;
}

bool writeVolumeLevel(const std::string& path, int level) {
  return !path.empty() &&
         replaceFile(path, std::to_string(level) + "\n", true) == ReplaceResult::replaced;
}

int stepVolume(int level, int change) {
  return std::clamp(level + change, 0, volumeSteps);
}

std::string volumeLine(int level) {
  return "Volume " + std::to_string(level) + "/" + std::to_string(volumeSteps) +
         (level == 0 ? " (muted)" : "");
}
