// The master volume the player sets with the minus and plus keys, in tenths,
// kept in the player's config folder for the next start.
#pragma once

#include <string>

constexpr int volumeSteps = 10;  // 10: full volume, 0: muted

// The level kept at path; full volume when there is no file. A file that does
// not hold a level says so in one line, and full volume is used.
int readVolumeLevel(const std::string& path);
// Keeps the level at path, making the folder when needed; false on failure.
bool writeVolumeLevel(const std::string& path, int level);
// The level one step up or down, within 0..volumeSteps.
int stepVolume(int level, int change);
// The console line for the level: "Volume 7/10", "Volume 0/10 (muted)".
std::string volumeLine(int level);
