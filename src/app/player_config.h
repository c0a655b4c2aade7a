// The player's own settings, kept apart from any table: the controls, the
// controller mappings and the volume.
#pragma once

#include <string>

#include "app/controls.h"
#include "app/volume.h"

// The folder of those settings: $XDG_CONFIG_HOME/orvane, or
// $HOME/.config/orvane; "" when neither can be named.
std::string userConfigFolder(const char* xdgConfigHome, const char* home);

// What the player set up in that folder: the controls file ("controls"),
// SDL's controller mappings ("gamecontrollerdb.txt", as SDL games take it)
// and the volume the volume keys last set ("volume", see volume.h).
struct PlayerConfig {
  std::string controlsFile, controllerMappings, volumeFile;  // "" when there is no folder
  Controls controls = defaultControls();
  int volume = volumeSteps;  // as the volume keys last left it
};
PlayerConfig readPlayerConfig(const std::string& folder);
