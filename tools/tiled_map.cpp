// Which reader a Tiled file goes to, and the paths inside Tiled files, which
// are relative to the file that holds them.
#include "tiled_map.h"

namespace {

bool endsWith(const std::string& s, const char* suffix) {
  std::string end(suffix);
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

bool isTiledMapFile(const std::string& path) {
  return endsWith(path, ".tmx") || endsWith(path, ".tmj") || endsWith(path, ".json");
}

bool readTiledMap(const std::string& path, TiledMap& map, std::string& error) {
  map = TiledMap();
  return endsWith(path, ".tmx") ? readTmxMap(path, map, error) : readTmjMap(path, map, error);
}

bool readTiledTileset(const std::string& path, TiledTileset& tileset, std::string& error) {
  return endsWith(path, ".tsx") ? readTsxTileset(path, tileset, error)
                                : readTsjTileset(path, tileset, error);
}

std::string joinTiledPath(const std::string& folder, const std::string& file) {
  if (file.empty() || file[0] == '/' || folder.empty()) return file;
  return folder + "/" + file;
}

std::string folderOfPath(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}
