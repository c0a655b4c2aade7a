// Start-up, main loop and shutdown of the engine.
#pragma once

#include "app/command_line.h"
#include "app/input.h"
#include "app/player_config.h"
#include "app/tables.h"

// Start-up in its fixed order, then the main loop until input.running clears;
// the data directory is already set to table.directory; the player's
// controls map the keyboard and controllers to game keys. 0 when the main loop
// ended, 1 when start-up failed.
int runEngine(const CommandLine& options, const Table& table, const PlayerConfig& player);
// Closes the script state, destroys the world and the catalog and closes the
// physics library; each only if present, so a second call does nothing.
void cleanup();
