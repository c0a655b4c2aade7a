// A Tiled map as the packer sees it, the same whichever of Tiled's two file
// forms it came from: the XML form (.tmx, with .tsx tilesets) and the JSON
// form (.tmj or .json, with .tsj tilesets). The readers only gather; what the
// content means is decided when the map becomes a scene (tiled_scene.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TiledProperty {
  std::string name;
  std::string type;   // string, int, float, bool, color, file, object or class
  std::string text;   // string, file and color values
  double number = 0;  // int, float and object values (an object id); bool is 0 or 1
};

struct TiledPoint {
  double x = 0, y = 0;
};

struct TiledObject {
  enum Shape { Rectangle, Ellipse, Point, Polygon, Polyline, Text, Tile };
  int id = 0;
  std::string name, type;  // type is what Tiled 1.8 calls the object's Type
  double x = 0, y = 0, width = 0, height = 0, rotation = 0;
  Shape shape = Rectangle;
  std::vector<TiledPoint> points;  // polygon and polyline, relative to x, y
  uint32_t gid = 0;                // tile objects, flag bits included
  std::string templateFile;        // set when the object still uses a template
  std::vector<TiledProperty> properties;
};

struct TiledLayer {
  enum Kind { Objects, Image, Tiles, Group };
  Kind kind = Objects;
  int id = 0;
  std::string name;
  double offsetX = 0, offsetY = 0;
  std::string image;  // image layers: the file, joined to the map's folder
  std::vector<TiledProperty> properties;
  std::vector<TiledObject> objects;  // object layers, in Tiled's order
  std::vector<TiledLayer> layers;    // group layers, bottom first
};

struct TiledTile {
  int id = 0;
  std::string image;  // joined to the folder of the file that names it
  int imageWidth = 0, imageHeight = 0;
};

struct TiledTileset {
  uint32_t firstGid = 0;
  std::string name;
  std::string file;        // where it was read: the map, or its own .tsx/.tsj
  std::string atlasImage;  // set for a tileset cut from one image
  std::vector<TiledTile> tiles;
};

// Deeper nesting of group layers is refused rather than followed.
constexpr int kMaxGroupDepth = 64;

struct TiledMap {
  std::string file;
  std::vector<TiledProperty> properties;
  std::vector<TiledTileset> tilesets;
  std::vector<TiledLayer> layers;  // bottom first
};

// Reads the map at path by its extension: .tmx as XML, .tmj and .json as
// JSON. External tilesets are read too. false with a message naming the file.
bool readTiledMap(const std::string& path, TiledMap& map, std::string& error);
bool isTiledMapFile(const std::string& path);

// The two forms; each reads its own kind of map and tileset file.
bool readTmxMap(const std::string& path, TiledMap& map, std::string& error);
bool readTmjMap(const std::string& path, TiledMap& map, std::string& error);
bool readTsxTileset(const std::string& path, TiledTileset& tileset, std::string& error);
bool readTsjTileset(const std::string& path, TiledTileset& tileset, std::string& error);

// Reads an external tileset by its extension (.tsx, else JSON).
bool readTiledTileset(const std::string& path, TiledTileset& tileset, std::string& error);

// v as an int when it is a whole number an int holds. The range is tested
// first: converting a huge or nan value would be undefined.
bool wholeNumber(double v, int& out);

// Adds to map the tileset a map file lists with firstGid: read from the
// external file source (relative to the map's folder) when source is set,
// else by readEmbedded. false with a message for the reader to place; empty
// when readEmbedded failed, since it reported already.
bool addMapTileset(TiledMap& map, int firstGid, const std::string& source,
                   const std::function<bool(TiledTileset&)>& readEmbedded, std::string& message);
