// Start-up, main loop and shutdown of the engine.
#pragma once

bool parseCommandLine(int argc, char** argv);
int runEngine();  // 0 when the main loop ended, 1 when start-up failed
void cleanup();
// Drains the SDL event queue into the key state and flags.
void pollEvents();
