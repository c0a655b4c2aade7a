// The data directory and the one shared path buffer.
#include "app/paths.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

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

const char* dataDirectory() {
  return directory;
}

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
