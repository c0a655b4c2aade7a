// The command line: single-dash switches, matched exactly.
#include "app/command_line.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int64_t maxSteps = int64_t(1) << 53;

// The argument after a switch that needs one; nullptr (with its line) when
// there is none, or when the next argument is a switch itself.
const char* valueOf(int argc, char** argv, int& i) {
  const char* name = argv[i];
  if (i + 1 >= argc || !argv[i + 1] || argv[i + 1][0] == '\0' || argv[i + 1][0] == '-') {
    std::printf("Missing value for parameter '%s'\n", name);
    return nullptr;
  }
  return argv[++i];
}

// The option a switch that names a file sets, or nullptr.
std::string* fileSwitch(const char* arg, CommandLine& options) {
  if (std::strcmp(arg, "-record") == 0) return &options.recordFile;
  if (std::strcmp(arg, "-replay") == 0) return &options.replayFile;
  if (std::strcmp(arg, "-save") == 0) return &options.saveFile;
  return nullptr;
}

// The line for a value that the switch cannot use.
bool invalidValue(const char* value, const char* name) {
  std::printf("Invalid value '%s' for parameter '%s'\n", value, name);
  return false;
}

// Degrees clockwise, for a display on its side: 90, 180 or 270 exactly.
bool parseTurn(const char* text, int& degrees) {
  for (const char* turn : {"90", "180", "270"}) {
    if (std::strcmp(text, turn) != 0) continue;
    degrees = std::atoi(turn);
    return true;
  }
  return false;
}

// Digits only, at most 2^53.
bool parseSteps(const char* text, int64_t& steps) {
  int64_t value = 0;
  for (const char* c = text; *c; ++c) {
    if (*c < '0' || *c > '9') return false;
    value = value * 10 + (*c - '0');
    if (value > maxSteps) return false;
  }
  steps = value;
  return true;
}

}  // namespace

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
    } else if (std::strcmp(arg, "-controls") == 0) {
      options.showControls = true;
    } else if (std::strcmp(arg, "-headless") == 0) {
      options.headless = true;
    } else if (std::string* file = fileSwitch(arg, options)) {
      const char* value = valueOf(argc, argv, i);
      if (!value) return false;
      *file = value;
    } else if (std::strcmp(arg, "-steps") == 0) {
      const char* value = valueOf(argc, argv, i);
      if (!value) return false;
      if (!parseSteps(value, options.steps)) return invalidValue(value, arg);
    } else if (std::strcmp(arg, "-rotate") == 0) {
      const char* value = valueOf(argc, argv, i);
      if (!value) return false;
      if (!parseTurn(value, options.rotation)) return invalidValue(value, arg);
    } else {
      std::printf("Unknown parameter '%s'\n", arg);
      return false;
    }
  }
  return true;
}
