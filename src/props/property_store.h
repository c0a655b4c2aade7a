// Named text properties kept across runs in one file, save.dat. Keys and
// values are byte strings (zero bytes included).
#pragma once

#include <cstddef>
#include <string>

// Whether a save may create the missing folders of the store's file.
enum class SaveFolder { mustExist, create };

// The file the store reads on first use and rewrites after every change; the
// shell names it before the script runs. nullptr: no file can be named, so
// every save reports that it failed. While that file does not exist, `seed`
// (when given) is read in its place and never written: the save.dat shipped
// with an installed table starts each player's own. With SaveFolder::create
// the first save makes the folders of `path` (a player's save folder).
void setPropertyFile(const char* path, const char* seed = nullptr,
                     SaveFolder folder = SaveFolder::mustExist);
// No file at all: nothing is read, and changes stay in memory without a word.
void keepPropertiesInMemory();
// The store as it would be written to save.dat; loads it first.
std::string propertiesImage();
// Fills the store from an image of save.dat instead of its file, as the first
// use would (a damaged image keeps what precedes the damage). Later changes
// go to the file as usual.
void startPropertiesFrom(const unsigned char* image, size_t size);

// The value of key, or nullptr (also for key == nullptr); valid until the
// store next changes. Loads save.dat on first use.
const std::string* getProperty(const char* key, size_t keyLength);
// Sets key to value, or deletes it when value is nullptr, then rewrites
// save.dat. With key == nullptr nothing happens.
void setProperty(const char* key, size_t keyLength, const char* value, size_t valueLength);
// Reads save.dat once per run; later calls do nothing.
void loadProperties();
// Replaces save.dat with the whole store. The file on disk is always either
// the previous store or this one, never a mix.
void saveProperties();
