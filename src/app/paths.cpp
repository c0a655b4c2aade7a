// The command line, the data directory and the one shared path buffer.
#include "app/paths.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/input.h"

namespace {

constexpr size_t pathLimit = 1014;
char* directory = nullptr;
char pathBuffer[pathLimit];

// Frees the directory at process exit when the shell did not.
struct DirectoryGuard {
  ~DirectoryGuard() { setDataDirectory(nullptr); }
} directoryGuard;

}  // namespace

void setDataDirectory(const char* dir) {
  std::free(directory);
  directory = dir ? strdup(dir) : nullptr;
}

const char* dataDirectory() { return directory; }

const char* dataPath(const char* name) {
  if (!name) return nullptr;
  if (!directory) return name;
  size_t dirLength = std::strlen(directory), nameLength = std::strlen(name);
  if (dirLength + nameLength + 2 >= pathLimit) return nullptr;
  // Lengths are checked above, so plain copies do the join.
  std::memcpy(pathBuffer, directory, dirLength);
  pathBuffer[dirLength] = '/';
  std::memcpy(pathBuffer + dirLength + 1, name, nameLength + 1);
  return pathBuffer;
}

bool parseCommandLine(int argc, char** argv) {
  setDataDirectory("default");
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (!arg || arg[0] == '\0') continue;
    if (arg[0] != '-') {
      setDataDirectory(arg);
    } else if (std::strcmp(arg, "-windowed") == 0) {
      windowed = true;
    } else if (std::strcmp(arg, "-fullscreen") == 0) {
      windowed = false;
    } else {
      std::printf("Unknown parameter '%s'\n", arg);
      return false;
    }
  }
  return true;
}
