// The command line: single-dash switches, matched exactly.
#include "app/command_line.h"

#include <cstdio>
#include <cstring>

bool parseCommandLine(int argc, char** argv, CommandLine& options) {
  options = CommandLine();
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (!arg || arg[0] == '\0') continue;
    if (arg[0] != '-') {
      options.dataDirectory = arg;
    } else if (std::strcmp(arg, "-windowed") == 0) {
      options.windowed = true;
    } else if (std::strcmp(arg, "-fullscreen") == 0) {
      options.windowed = false;
    } else if (std::strcmp(arg, "-list") == 0) {
      options.listTables = true;
    } else {
      std::printf("Unknown parameter '%s'\n", arg);
      return false;
    }
  }
  return true;
}
