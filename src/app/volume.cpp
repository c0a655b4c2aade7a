// The volume file: one whole number of tenths and a newline.
#include "app/volume.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "props/durable_file.h"

int readVolumeLevel(const std::string& path) {
  struct stat info;
  if (path.empty() || stat(path.c_str(), &info) != 0) return volumeSteps;
  std::string text;
  // Only a regular file of a few bytes: a pipe in its place would hold the start-up.
  if (S_ISREG(info.st_mode) && info.st_size <= 16) {
    std::ifstream in(path, std::ios::binary);
    std::getline(in, text);
  }
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
