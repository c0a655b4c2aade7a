// The command line: the data directory and the switches.
#pragma once

#include <cstdint>
#include <string>

#include "app/tables.h"

struct CommandLine {
  std::string dataDirectory = defaultTable;
  bool windowed = false;      // false: full screen
  bool listTables = false;    // print the installed tables instead of playing
  bool showControls = false;  // print the controls in use instead of playing
  bool headless = false;      // no window, no sound, no waiting for the clock
  std::string recordFile;     // -record: empty when not given
  std::string replayFile;     // -replay
  std::string saveFile;       // -save: the properties file instead of the table's save.dat
  int64_t steps = -1;         // -steps: quit after that many world steps; -1 for no limit
  int rotation = 0;           // -rotate: the picture turned clockwise, in degrees
};

// Reads the arguments after the program name: an empty one is skipped, one
// not starting with '-' names the data directory, "-windowed" and
// "-fullscreen" set the display mode (the last of each kind wins), "-list"
// asks for the installed tables, "-controls" for the controls in use, and
// "-headless" drops the window and the sound. "-record", "-replay", "-save",
// "-steps" and "-rotate" (90, 180 or 270) take the next argument as their
// value. Any other switch prints "Unknown parameter '%s'", a switch without a
// usable value says so, and the parse fails at once.
bool parseCommandLine(int argc, char** argv, CommandLine& options);
