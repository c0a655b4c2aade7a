// The command line: the data directory and the switches.
#pragma once

#include <string>

struct CommandLine {
  std::string dataDirectory = "default";
  bool windowed = false;    // false: full screen
  bool listTables = false;  // print the installed tables instead of playing
};

// Reads the arguments after the program name: an empty one is skipped, one
// not starting with '-' names the data directory, "-windowed" and
// "-fullscreen" set the display mode (the last of each kind wins), "-list"
// asks for the installed tables. Any other switch prints "Unknown parameter
// '%s'" and the parse fails at once.
bool parseCommandLine(int argc, char** argv, CommandLine& options);
