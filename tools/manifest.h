// Reading a content manifest: runs it and its scene files in a Lua state of
// their own and gathers textures, sounds, fonts, masks and scenes.
#pragma once

#include <string>
#include <vector>

#include "pack_content.h"

struct PackOptions {
  bool fixWinding = false;  // reverse wrongly wound outlines instead of refusing them
};

struct PackReport {
  std::vector<std::string> notes;   // warnings and fixes, one line each
  std::vector<std::string> inputs;  // every file read, manifest first
};

// Fills content from the manifest at path. On bad sources returns false with
// a message naming the file (and line or object) at fault.
bool loadManifest(const std::string& path, const PackOptions& options, PackContent& content,
                  PackReport& report, std::string& error);

// Sum of x_i*y_(i+1) - x_(i+1)*y_i over the closed outline. Negative means the
// edge normals (-d.y, d.x) point out of the shape, as the collider needs.
double shoelaceSum(const std::vector<Float2>& outline);
