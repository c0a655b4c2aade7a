// Tiled's JSON form: maps (.tmj, or .json) and external tilesets (.tsj),
// read with nlohmann-json. Every value's type is checked before it is read,
// so a wrong file gives a message instead of an exception.
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "pack_content.h"
#include "tiled_map.h"

namespace {

using nlohmann::json;

class TmjReader {
 public:
  explicit TmjReader(const std::string& file)
      : file_(file), folder_(std::filesystem::path(file).parent_path()) {}

  bool load(json& doc) {
    std::vector<unsigned char> bytes;
    std::string nested;
    if (!readWholeFile(file_, bytes, nested)) return fail(nested);
    try {
      doc = json::parse(bytes.begin(), bytes.end());
    } catch (const json::exception& e) {
      return fail(std::string("not valid JSON (") + e.what() + ")");
    }
    if (!doc.is_object()) return fail("the file does not hold a JSON object");
    return true;
  }

  bool fail(const std::string& message) {
    if (error.empty()) error = file_ + ": " + message;
    return false;
  }

  // where names the element for messages, e.g. "layer 3" or "object 12".
  bool number(const json& j, const char* key, const std::string& where, double& out) {
    auto it = j.find(key);
    if (it == j.end()) return true;
    if (!it->is_number()) return fail(where + ": \"" + key + "\" is not a number");
    out = it->get<double>();
    return true;
  }
  bool integer(const json& j, const char* key, const std::string& where, int& out) {
    double v = out;
    if (!number(j, key, where, v)) return false;
    if (wholeNumber(v, out)) return true;
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return fail(where + ": \"" + key + "\" is not a whole number (" + text + ")");
  }
  bool string(const json& j, const char* key, const std::string& where, std::string& out) {
    auto it = j.find(key);
    if (it == j.end() || it->is_null()) return true;
    if (!it->is_string()) return fail(where + ": \"" + key + "\" is not a string");
    out = it->get<std::string>();
    return true;
  }
  // j[key] as an array (absent is empty); false when it is something else.
  bool array(const json& j, const char* key, const std::string& where, const json*& out) {
    static const json empty = json::array();
    auto it = j.find(key);
    out = &empty;
    if (it == j.end()) return true;
    if (!it->is_array()) return fail(where + ": \"" + key + "\" is not a list");
    out = &*it;
    return true;
  }

  bool properties(const json& owner, const std::string& where, std::vector<TiledProperty>& out) {
    const json* list;
    if (!array(owner, "properties", where, list)) return false;
    for (const json& p : *list) {
      if (!p.is_object()) return fail(where + ": a property is not an object");
      TiledProperty prop;
      prop.type = "string";
      if (!string(p, "name", where, prop.name) || !string(p, "type", where, prop.type))
        return false;
      std::string at = where + ": property '" + prop.name + "'";
      auto value = p.find("value");
      if (value == p.end()) return fail(at + " has no value");
      if (prop.type == "int" || prop.type == "float" || prop.type == "object") {
        if (!value->is_number()) return fail(at + " is not a number");
        prop.number = value->get<double>();
      } else if (prop.type == "bool") {
        if (!value->is_boolean()) return fail(at + " is neither true nor false");
        prop.number = value->get<bool>() ? 1 : 0;
      } else if (value->is_string()) {
        prop.text = value->get<std::string>();
      } else if (prop.type != "class") {
        return fail(at + " is not a string");
      }
      out.push_back(prop);
    }
    return true;
  }

  bool points(const json& j, const char* key, const std::string& where,
              std::vector<TiledPoint>& out) {
    const json* list;
    if (!array(j, key, where, list)) return false;
    for (const json& p : *list) {
      TiledPoint point;
      if (!p.is_object() || !p.contains("x") || !p.contains("y"))
        return fail(where + ": a point of \"" + key + "\" needs x and y");
      if (!number(p, "x", where, point.x) || !number(p, "y", where, point.y)) return false;
      out.push_back(point);
    }
    return true;
  }

  bool flag(const json& j, const char* key) {
    auto it = j.find(key);
    return it != j.end() && it->is_boolean() && it->get<bool>();
  }

  bool object(const json& j, TiledObject& o) {
    if (!j.is_object()) return fail("an object is not a JSON object");
    auto name = j.find("name");
    bool named = name != j.end() && name->is_string() && !name->get<std::string>().empty();
    if (!integer(j, "id", named ? "object '" + name->get<std::string>() + "'" : "an object", o.id))
      return false;
    std::string where = "object " + std::to_string(o.id);
    double gid = 0;
    if (!string(j, "name", where, o.name) || !string(j, "type", where, o.type) ||
        (o.type.empty() && !string(j, "class", where, o.type)) ||
        !string(j, "template", where, o.templateFile) || !number(j, "x", where, o.x) ||
        !number(j, "y", where, o.y) || !number(j, "width", where, o.width) ||
        !number(j, "height", where, o.height) || !number(j, "rotation", where, o.rotation) ||
        !number(j, "gid", where, gid))
      return false;
    if (!(gid >= 0 && gid <= 4294967295.0)) return fail(where + ": gid is out of range");
    o.gid = uint32_t(gid);
    if (o.gid) o.shape = TiledObject::Tile;
    if (flag(j, "ellipse")) o.shape = TiledObject::Ellipse;
    if (flag(j, "point")) o.shape = TiledObject::Point;
    if (j.contains("text")) o.shape = TiledObject::Text;
    if (j.contains("polygon")) {
      o.shape = TiledObject::Polygon;
      if (!points(j, "polygon", where, o.points)) return false;
    }
    if (j.contains("polyline")) {
      o.shape = TiledObject::Polyline;
      if (!points(j, "polyline", where, o.points)) return false;
    }
    return properties(j, where, o.properties);
  }

  bool layers(const json& parent, std::vector<TiledLayer>& out, int depth = 0) {
    if (depth > kMaxGroupDepth) return fail("group layers nested more than 64 deep");

    const json* list;
    if (!array(parent, "layers", "the map", list)) return false;
    for (const json& j : *list) {
      if (!j.is_object()) return fail("a layer is not a JSON object");
      TiledLayer layer;
      std::string type;
      if (!integer(j, "id", "a layer", layer.id)) return false;
      std::string where = "layer " + std::to_string(layer.id);
      if (!string(j, "type", where, type) || !string(j, "name", where, layer.name) ||
          !number(j, "offsetx", where, layer.offsetX) ||
          !number(j, "offsety", where, layer.offsetY) || !properties(j, where, layer.properties))
        return false;
      if (type == "objectgroup") {
        layer.kind = TiledLayer::Objects;
        const json* objects;
        if (!array(j, "objects", where, objects)) return false;
        for (const json& o : *objects) {
          layer.objects.emplace_back();
          if (!object(o, layer.objects.back())) return false;
        }
      } else if (type == "imagelayer") {
        layer.kind = TiledLayer::Image;
        std::string image;
        if (!string(j, "image", where, image)) return false;
        if (!image.empty()) layer.image = (folder_ / image).lexically_normal().string();
      } else if (type == "tilelayer") {
        layer.kind = TiledLayer::Tiles;
      } else if (type == "group") {
        layer.kind = TiledLayer::Group;
        if (!layers(j, layer.layers, depth + 1)) return false;
      } else {
        continue;
      }
      out.push_back(std::move(layer));
    }
    return true;
  }

  bool tileset(const json& j, TiledTileset& ts) {
    ts.file = file_;
    std::string atlas;
    if (!string(j, "name", "a tileset", ts.name) || !string(j, "image", "a tileset", atlas))
      return false;
    std::string where = "tileset '" + ts.name + "'";
    if (!atlas.empty()) ts.atlasImage = (folder_ / atlas).lexically_normal().string();
    const json* tiles;
    if (!array(j, "tiles", where, tiles)) return false;
    for (const json& t : *tiles) {
      if (!t.is_object()) return fail(where + ": a tile is not a JSON object");
      TiledTile tile;
      std::string image;
      if (!integer(t, "id", where, tile.id) || !string(t, "image", where, image) ||
          !integer(t, "imagewidth", where, tile.imageWidth) ||
          !integer(t, "imageheight", where, tile.imageHeight))
        return false;
      if (image.empty()) continue;
      tile.image = (folder_ / image).lexically_normal().string();
      ts.tiles.push_back(tile);
    }
    return true;
  }

  bool map(const json& root, TiledMap& m) {
    m.file = file_;
    if (!properties(root, "the map", m.properties)) return false;
    const json* tilesets;
    if (!array(root, "tilesets", "the map", tilesets)) return false;
    for (const json& j : *tilesets) {
      if (!j.is_object()) return fail("a tileset is not a JSON object");
      int firstGid = 0;
      std::string source, message;
      if (!integer(j, "firstgid", "a tileset", firstGid) ||
          !string(j, "source", "a tileset", source))
        return false;
      if (!addMapTileset(
              m, firstGid, source, [&](TiledTileset& ts) { return tileset(j, ts); }, message))
        return fail(message);
    }
    return layers(root, m.layers);
  }

  std::string error;

 private:
  std::string file_;
  std::filesystem::path folder_;
};

}  // namespace

bool readTmjMap(const std::string& path, TiledMap& map, std::string& error) {
  TmjReader reader(path);
  json doc;
  bool ok = reader.load(doc) && reader.map(doc, map);
  error = reader.error;
  return ok;
}

bool readTsjTileset(const std::string& path, TiledTileset& tileset, std::string& error) {
  TmjReader reader(path);
  json doc;
  bool ok = reader.load(doc) && reader.tileset(doc, tileset);
  error = reader.error;
  return ok;
}
