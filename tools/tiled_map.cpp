// Which reader a Tiled file goes to, and what both readers do alike: whole
// numbers and the tilesets a map lists.
#include "tiled_map.h"

#include <filesystem>

namespace {

std::string extensionOf(const std::string& path) {
  return std::filesystem::path(path).extension().string();
}

}  // namespace

bool isTiledMapFile(const std::string& path) {
  std::string ext = extensionOf(path);
  return ext == ".tmx" || ext == ".tmj" || ext == ".json";
}

bool readTiledMap(const std::string& path, TiledMap& map, std::string& error) {
  map = TiledMap();
  return extensionOf(path) == ".tmx" ? readTmxMap(path, map, error) : readTmjMap(path, map, error);
}

bool readTiledTileset(const std::string& path, TiledTileset& tileset, std::string& error) {
  return extensionOf(path) == ".tsx" ? readTsxTileset(path, tileset, error)
                                     : readTsjTileset(path, tileset, error);
}

bool wholeNumber(double v, int& out) {
  if (!(v >= -2147483648.0 && v <= 2147483647.0) || v != double(int(v))) return false;
  out = int(v);
  return true;
}

bool addMapTileset(TiledMap& map, int firstGid, const std::string& source,
                   const std::function<bool(TiledTileset&)>& readEmbedded, std::string& message) {
  message.clear();
  if (firstGid <= 0) {
    message = "tileset firstgid must be positive";
    return false;
  }
  TiledTileset ts;
  if (!source.empty()) {
    std::string
        file = (std::filesystem::path(map.file).parent_path() / source).lexically_normal().string(),
        nested;
    if (!readTiledTileset(file, ts, nested)) {
      message = "tileset: " + nested;
      return false;
    }
  } else if (!readEmbedded(ts)) {
    return false;
  }
  ts.firstGid = uint32_t(firstGid);
  map.tilesets.push_back(std::move(ts));
  return true;
}
