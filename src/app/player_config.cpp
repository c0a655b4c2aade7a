// The player's config folder as the XDG base directory rules name it.
#include "app/player_config.h"

std::string userConfigFolder(const char* xdgConfigHome, const char* home) {
  // The XDG rules ignore a relative XDG_CONFIG_HOME.
  if (xdgConfigHome && xdgConfigHome[0] == '/') return std::string(xdgConfigHome) + "/orvane";
  if (home && home[0] == '/') return std::string(home) + "/.config/orvane";
  return "";
}

PlayerConfig readPlayerConfig(const std::string& folder) {
  PlayerConfig config;
  if (folder.empty()) return config;
  config.controlsFile = folder + "/controls";
  config.controllerMappings = folder + "/gamecontrollerdb.txt";
  config.volumeFile = folder + "/volume";
  readControlsFile(config.controls, config.controlsFile);
  config.volume = readVolumeLevel(config.volumeFile);
  return config;
}
