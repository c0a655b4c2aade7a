// Turns a Tiled map into one scene: shapes become outlines, points markers
// or joints, images sprites, and custom properties the record fields.
// docs/tiled.md is the author's side of this mapping.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "manifest.h"
#include "pack_content.h"
#include "tiled_map.h"

// The textures that maps name by file. Each image file is packed once, under
// its path relative to the manifest's folder, unless the manifest already
// packed that file under a name of its own.
class TexturePool {
 public:
  TexturePool(std::vector<PackTexture>& textures, const std::string& manifestFolder);

  // The manifest packed file as textures[index].
  void remember(const std::string& file, size_t index);
  // The name of the texture of the image at file (packing it on first use),
  // and its size. false with a message naming the file.
  bool use(const std::string& file, PackReport& report, std::string& name, int& width, int& height,
           std::string& error);

 private:
  std::string key(const std::string& file) const;

  std::vector<PackTexture>& textures_;
  std::string folder_;
  std::map<std::string, size_t> byFile_;  // normalised path -> index in textures_
};

// Fills scene from map, where with what names each of its objects in
// messages ("file: object 7 'Wall'"), ready for checkScene, and isFree with
// their property 'free' for warnAboutScene. Refusals name the file, the
// object (its Tiled id and name) and what is wrong; notes go to report.notes.
bool sceneFromTiledMap(const TiledMap& map, TexturePool& textures, SceneDef& scene,
                       std::vector<std::string>& where, std::vector<bool>& isFree,
                       PackReport& report, std::string& error);
