// The command line, the data directory and the joining of file names onto it.
#pragma once

// Sets the data directory to "default", then reads the arguments after the
// program name: an empty one is skipped, one not starting with '-' names the
// data directory, "-windowed" and "-fullscreen" set `windowed` (the last of
// each kind wins). Any other switch prints "Unknown parameter '%s'" and the
// parse fails at once.
bool parseCommandLine(int argc, char** argv);

// Replaces the data directory with a copy of dir; nullptr frees it.
void setDataDirectory(const char* dir);
// The current data directory, or nullptr.
const char* dataDirectory();
// "dir/name" in one shared buffer that the next call overwrites. Returns name
// itself when there is no data directory, and nullptr when name is nullptr or
// the joined path would not fit (length of dir + name + 2 reaching 1014).
const char* dataPath(const char* name);
