// The data directory and the joining of file names onto it.
#pragma once

// Replaces the data directory with a copy of dir; nullptr frees it.
void setDataDirectory(const char* dir);
// The current data directory, or nullptr.
const char* dataDirectory();
// "dir/name" in one shared buffer that the next call overwrites. Returns name
// itself when there is no data directory, and nullptr when name is nullptr or
// the joined path would not fit (length of dir + name + 2 reaching 1014).
const char* dataPath(const char* name);
