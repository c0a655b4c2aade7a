// Tiled's XML form: maps (.tmx) and external tilesets (.tsx), read with
// tinyxml2. Errors carry the line of the element at fault.
#include <tinyxml2.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "tiled_map.h"

namespace {

using tinyxml2::XMLDocument;
using tinyxml2::XMLElement;

class TmxReader {
 public:
  explicit TmxReader(const std::string& file)
      : file_(file), folder_(std::filesystem::path(file).parent_path()) {}

  bool load(XMLDocument& doc) {
    doc.LoadFile(file_.c_str());
    if (doc.ErrorID() == tinyxml2::XML_ERROR_FILE_NOT_FOUND ||
        doc.ErrorID() == tinyxml2::XML_ERROR_FILE_COULD_NOT_BE_OPENED)
      return fail("cannot open the file");
    if (doc.Error())
      return failLine(doc.ErrorLineNum(), std::string("not valid XML (") + doc.ErrorName() + ")");
    return true;
  }

  bool fail(const std::string& message) {
    if (error.empty()) error = file_ + ": " + message;
    return false;
  }
  bool failAt(const XMLElement* e, const std::string& message) {
    return failLine(e->GetLineNum(), message);
  }
  bool failLine(int line, const std::string& message) {
    if (error.empty()) error = file_ + ":" + std::to_string(line) + ": " + message;
    return false;
  }

  // An optional number attribute; absent leaves out unchanged.
  bool number(const XMLElement* e, const char* name, double& out) {
    const char* text = e->Attribute(name);
    if (!text) return true;
    char* end = nullptr;
    double v = std::strtod(text, &end);
    if (end == text || *end != '\0')
      return failAt(e, std::string("attribute ") + name + "=\"" + text + "\" is not a number");
    out = v;
    return true;
  }
  bool integer(const XMLElement* e, const char* name, int& out) {
    double v = out;
    if (!number(e, name, v)) return false;
    if (wholeNumber(v, out)) return true;
    std::string owner = e->Name();
    if (e->Attribute("name")) owner += " '" + text(e, "name") + "'";
    return failAt(
        e, owner + ": attribute " + name + "=\"" + text(e, name) + "\" is not a whole number");
  }
  std::string text(const XMLElement* e, const char* name) {
    const char* t = e->Attribute(name);
    return t ? t : "";
  }

  bool properties(const XMLElement* owner, std::vector<TiledProperty>& out) {
    const XMLElement* list = owner->FirstChildElement("properties");
    if (!list) return true;
    for (const XMLElement* p = list->FirstChildElement("property"); p;
         p = p->NextSiblingElement("property")) {
      TiledProperty prop;
      prop.name = text(p, "name");
      prop.type = p->Attribute("type") ? text(p, "type") : "string";
      // A multi-line string is the element's text instead of its value.
      const char* value = p->Attribute("value");
      if (!value) value = p->GetText();
      prop.text = value ? value : "";
      if (prop.type == "int" || prop.type == "float" || prop.type == "object") {
        char* end = nullptr;
        prop.number = std::strtod(prop.text.c_str(), &end);
        if (end == prop.text.c_str() || *end != '\0')
          return failAt(p, "property '" + prop.name + "' is not a number");
      } else if (prop.type == "bool") {
        if (prop.text != "true" && prop.text != "false")
          return failAt(p, "property '" + prop.name + "' is neither true nor false");
        prop.number = prop.text == "true" ? 1 : 0;
      }
      out.push_back(prop);
    }
    return true;
  }

  bool points(const XMLElement* e, std::vector<TiledPoint>& out) {
    const char* list = e->Attribute("points");
    const char* s = list ? list : "";
    while (*s) {
      while (*s == ' ') ++s;
      if (!*s) break;
      char* end = nullptr;
      TiledPoint p;
      p.x = std::strtod(s, &end);
      if (end == s || *end != ',') return failAt(e, "points are not a list of x,y pairs");
      s = end + 1;
      p.y = std::strtod(s, &end);
      if (end == s || (*end != ' ' && *end != '\0'))
        return failAt(e, "points are not a list of x,y pairs");
      s = end;
      out.push_back(p);
    }
    return true;
  }

  bool object(const XMLElement* e, TiledObject& o) {
    o.name = text(e, "name");
    o.type = e->Attribute("type") ? text(e, "type") : text(e, "class");
    o.templateFile = text(e, "template");
    double gid = 0;
    if (!integer(e, "id", o.id) || !number(e, "x", o.x) || !number(e, "y", o.y) ||
        !number(e, "width", o.width) || !number(e, "height", o.height) ||
        !number(e, "rotation", o.rotation) || !number(e, "gid", gid))
      return false;
    if (!(gid >= 0 && gid <= 4294967295.0)) return failAt(e, "gid is out of range");
    o.gid = uint32_t(gid);
    if (o.gid) o.shape = TiledObject::Tile;
    if (e->FirstChildElement("ellipse")) o.shape = TiledObject::Ellipse;
    if (e->FirstChildElement("point")) o.shape = TiledObject::Point;
    if (e->FirstChildElement("text")) o.shape = TiledObject::Text;
    if (const XMLElement* p = e->FirstChildElement("polygon")) {
      o.shape = TiledObject::Polygon;
      if (!points(p, o.points)) return false;
    }
    if (const XMLElement* p = e->FirstChildElement("polyline")) {
      o.shape = TiledObject::Polyline;
      if (!points(p, o.points)) return false;
    }
    return properties(e, o.properties);
  }

  bool layers(const XMLElement* parent, std::vector<TiledLayer>& out, int depth = 0) {
    if (depth > kMaxGroupDepth) return failAt(parent, "group layers nested more than 64 deep");

    for (const XMLElement* e = parent->FirstChildElement(); e; e = e->NextSiblingElement()) {
      const char* tag = e->Name();
      TiledLayer layer;
      if (!std::strcmp(tag, "objectgroup"))
        layer.kind = TiledLayer::Objects;
      else if (!std::strcmp(tag, "imagelayer"))
        layer.kind = TiledLayer::Image;
      else if (!std::strcmp(tag, "layer"))
        layer.kind = TiledLayer::Tiles;
      else if (!std::strcmp(tag, "group"))
        layer.kind = TiledLayer::Group;
      else
        continue;
      layer.name = text(e, "name");
      if (!integer(e, "id", layer.id) || !number(e, "offsetx", layer.offsetX) ||
          !number(e, "offsety", layer.offsetY) || !properties(e, layer.properties))
        return false;
      if (layer.kind == TiledLayer::Image) {
        const XMLElement* image = e->FirstChildElement("image");
        std::string source = image ? text(image, "source") : "";
        if (!source.empty()) layer.image = (folder_ / source).lexically_normal().string();
      }
      if (layer.kind == TiledLayer::Objects) {
        for (const XMLElement* o = e->FirstChildElement("object"); o;
             o = o->NextSiblingElement("object")) {
          layer.objects.emplace_back();
          if (!object(o, layer.objects.back())) return false;
        }
      }
      if (layer.kind == TiledLayer::Group && !layers(e, layer.layers, depth + 1)) return false;
      out.push_back(std::move(layer));
    }
    return true;
  }

  // The tiles of a tileset element: an image collection has an image per
  // tile; a tileset cut from one image has a single <image>.
  bool tileset(const XMLElement* e, TiledTileset& ts) {
    ts.name = text(e, "name");
    ts.file = file_;
    const XMLElement* atlas = e->FirstChildElement("image");
    if (atlas && !text(atlas, "source").empty())
      ts.atlasImage = (folder_ / text(atlas, "source")).lexically_normal().string();
    for (const XMLElement* t = e->FirstChildElement("tile"); t; t = t->NextSiblingElement("tile")) {
      const XMLElement* image = t->FirstChildElement("image");
      if (!image) continue;
      TiledTile tile;
      if (!integer(t, "id", tile.id) || !integer(image, "width", tile.imageWidth) ||
          !integer(image, "height", tile.imageHeight))
        return false;
      if (!text(image, "source").empty())
        tile.image = (folder_ / text(image, "source")).lexically_normal().string();
      ts.tiles.push_back(tile);
    }
    return true;
  }

  bool map(XMLElement* root, TiledMap& m) {
    if (!root || std::strcmp(root->Name(), "map") != 0)
      return failLine(1, "the root element is not <map>");
    m.file = file_;
    if (!properties(root, m.properties)) return false;
    for (const XMLElement* e = root->FirstChildElement("tileset"); e;
         e = e->NextSiblingElement("tileset")) {
      int firstGid = 0;
      std::string message;
      if (!integer(e, "firstgid", firstGid)) return false;
      if (!addMapTileset(
              m, firstGid, text(e, "source"), [&](TiledTileset& ts) { return tileset(e, ts); },
              message))
        return failAt(e, message);
    }
    return layers(root, m.layers);
  }

  std::string error;

 private:
  std::string file_;
  std::filesystem::path folder_;
};

}  // namespace

bool readTmxMap(const std::string& path, TiledMap& map, std::string& error) {
  TmxReader reader(path);
  XMLDocument doc;
  bool ok = reader.load(doc) && reader.map(doc.RootElement(), map);
  error = reader.error;
  return ok;
}

bool readTsxTileset(const std::string& path, TiledTileset& tileset, std::string& error) {
  TmxReader reader(path);
  XMLDocument doc;
  bool ok = reader.load(doc);
  XMLElement* root = ok ? doc.RootElement() : nullptr;
  if (ok && (!root || std::strcmp(root->Name(), "tileset") != 0))
    ok = reader.failLine(1, "the root element is not <tileset>");
  ok = ok && reader.tileset(root, tileset);
  error = reader.error;
  return ok;
}
