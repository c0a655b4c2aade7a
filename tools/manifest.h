// Reading a content manifest: runs it and its scene files in a Lua state of
// their own and gathers textures, sounds, fonts, masks and scenes.
#pragma once

#include <string>
#include <vector>

#include "pack_content.h"
#include "scene_checks.h"

struct PackReport {
  std::vector<std::string> notes;     // fixes and things ignored, one line each
  std::vector<std::string> warnings;  // mistakes that pack but play wrong
  std::vector<std::string> inputs;    // every file read, manifest first
};

// Fills content from the manifest at path; every scene, Lua or Tiled, passes
// checkScene. On bad sources returns false with a message naming the file
// (and line or object) at fault.
bool loadManifest(const std::string& path, PackContent& content, PackReport& report,
                  std::string& error);
