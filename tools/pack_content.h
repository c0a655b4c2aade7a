// What orvane-pack writes: the records of one data.dat in archive order, and
// their encoding into the layout of content/archive_format.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "content/archive_format.h"
#include "content/world_data.h"

struct PackTexture {
  std::string name;
  int width = 0, height = 0;
  std::vector<unsigned char> rgba;  // width*height*4, top row first
};

struct PackSound {
  std::string name;
  std::vector<unsigned char> data;  // the sound file image, unchanged
};

// Fonts, scenes, objects and links reuse the engine's own records, so the
// packer writes exactly the fields the loader reads back.
struct PackContent {
  std::vector<PackTexture> textures;
  std::vector<PackSound> sounds;
  std::vector<FontDef> fonts;
  std::vector<uint32_t> masks;
  std::vector<SceneDef> scenes;
};

// Appends the archive image of content to out. Returns false (out unusable)
// with a message naming the record when a value does not fit its field.
bool encodeArchive(const PackContent& content, std::vector<unsigned char>& out, std::string& error);

// Reads a whole file; false with "cannot open '<path>'" when it cannot.
bool readWholeFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& error);

// Writes bytes to a temporary file beside path and renames it over path, so
// a failed run never leaves a half-written file. Creates missing folders.
bool writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes,
                         std::string& error);
