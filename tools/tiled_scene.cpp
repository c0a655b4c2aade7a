// A Tiled map becomes one scene. The map's coordinates are the scene's, its
// layers are ways of grouping objects (their properties are defaults for the
// objects inside), and every object becomes one record. The records are
// written topmost first, because the engine draws a scene's earlier objects
// over its later ones and the author should see in the engine what Tiled
// shows.
#include "tiled_scene.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "image_source.h"

namespace {

using Vec = OutlinePoint;

Vec operator+(Vec a, Vec b) {
  return {a.x + b.x, a.y + b.y};
}

// Tiled turns objects clockwise on screen (y down) about their x, y.
Vec rotated(Vec v, double degrees) {
  double a = degrees * M_PI / 180, c = std::cos(a), s = std::sin(a);
  return {v.x * c - v.y * s, v.x * s + v.y * c};
}

// Ellipses get about one point per 6 pixels of rim, at least 16.
int ellipseSegments(double w, double h) {
  double rim = M_PI * (3 * (w + h) / 2 - std::sqrt((3 * w + h) * (w + 3 * h)) / 2);
  return std::clamp(int(std::ceil(rim / 6)), 16, 64);
}

constexpr double kMaxCoordinate = 1e6;

const char* const kObjectProperties[] = {"kind",
                                         "id",
                                         "img",
                                         "litImg",
                                         "linkedTo",
                                         "imageScale",
                                         "imageOffsetX",
                                         "imageOffsetY",
                                         "layer",
                                         "blend",
                                         "collisionGroup",
                                         "immovableByOtherScenes",
                                         "mass",
                                         "inertiaRadius",
                                         "elasticity",
                                         "elasticityFalloff",
                                         "friction",
                                         "segments",
                                         "obj1",
                                         "obj2",
                                         "free"};

// One thing of the map that becomes a record: an object of an object layer,
// or an image layer. chain holds its layers, innermost first.
struct Item {
  const TiledObject* object = nullptr;
  const TiledLayer* imageLayer = nullptr;
  std::vector<const TiledLayer*> chain;
  Vec offset;
};

class SceneBuilder {
 public:
  SceneBuilder(const TiledMap& map, TexturePool& textures, PackReport& report)
      : map_(map), textures_(textures), report_(report) {}

  bool build(SceneDef& scene, std::vector<std::string>& where, std::vector<bool>& isFree) {
    scene.name = std::filesystem::path(map_.file).stem().string();
    for (const TiledProperty& p : map_.properties) {
      if (p.name != "name") {
        note(map_.file + ": map: unknown property '" + p.name + "' ignored");
      } else if (p.type != "string" || p.text.empty()) {
        return fail(map_.file + ": map: property 'name' must be a non-empty string");
      } else {
        scene.name = p.text;
      }
    }
    std::vector<const TiledLayer*> chain;
    gather(map_.layers, chain, Vec());
    for (const Item& item : items_) {
      if (!item.object) continue;
      const TiledObject& o = *item.object;
      if (!byId_.emplace(o.id, &o).second)
        return fail(map_.file + ": object " + std::to_string(o.id) + " '" + o.name +
                    "': another object has the same id");
      ++nameCount_[o.name];
    }
    for (const Item& item : items_) {
      where_ = map_.file + ": " + describe(item);
      size_t records = scene.objects.size();
      bool ok = item.imageLayer ? imageLayer(item, scene) : object(item, scene);
      if (!ok) return false;
      if (scene.objects.size() == records) continue;
      where.push_back(where_);
      bool objectFree = false;
      if (!flag(item, "free", objectFree)) return false;
      isFree.push_back(objectFree);
    }
    std::reverse(scene.objects.begin(), scene.objects.end());
    std::reverse(where.begin(), where.end());
    std::reverse(isFree.begin(), isFree.end());
    return true;
  }

  std::string error;

 private:
  bool fail(const std::string& message) {
    error = message;
    return false;
  }
  bool refuse(const std::string& message) { return fail(where_ + ": " + message); }
  void note(const std::string& line) { report_.notes.push_back(line); }

  static std::string describe(const Item& item) {
    if (item.imageLayer)
      return "layer " + std::to_string(item.imageLayer->id) + " '" + item.imageLayer->name + "'";
    return "object " + std::to_string(item.object->id) + " '" + item.object->name + "'";
  }

  void noteUnknown(const std::vector<TiledProperty>& props, const std::string& owner) {
    for (const TiledProperty& p : props) {
      bool known = false;
      for (const char* k : kObjectProperties) known = known || p.name == k;
      if (!known) note(map_.file + ": " + owner + ": unknown property '" + p.name + "' ignored");
    }
  }

  void gather(const std::vector<TiledLayer>& layers, std::vector<const TiledLayer*>& chain,
              Vec offset) {
    for (const TiledLayer& layer : layers) {
      Vec at = offset + Vec{layer.offsetX, layer.offsetY};
      std::string owner = "layer " + std::to_string(layer.id) + " '" + layer.name + "'";
      noteUnknown(layer.properties, owner);
      chain.insert(chain.begin(), &layer);
      if (layer.kind == TiledLayer::Group) {
        gather(layer.layers, chain, at);
      } else if (layer.kind == TiledLayer::Image) {
        if (!layer.image.empty()) items_.push_back({nullptr, &layer, chain, at});
      } else if (layer.kind == TiledLayer::Tiles) {
        note(map_.file + ": " + owner + ": tile layers are not packed; ignored");
      } else {
        for (const TiledObject& o : layer.objects) {
          Item item{&o, nullptr, chain, at};
          if (o.shape == TiledObject::Text)
            note(map_.file + ": " + describe(item) + ": text objects are not packed; ignored");
          else
            items_.push_back(item);
        }
      }
      chain.erase(chain.begin());
    }
  }

  // The property of that name on the item, else on its layers, innermost
  // first; obj1, obj2 and the object's own fields are not inherited.
  const TiledProperty* find(const Item& item, const char* name, bool inherited = true) const {
    if (item.object)
      for (const TiledProperty& p : item.object->properties)
        if (p.name == name) return &p;
    if (!inherited && item.object) return nullptr;
    for (const TiledLayer* layer : item.chain)
      for (const TiledProperty& p : layer->properties)
        if (p.name == name) return &p;
    return nullptr;
  }

  bool text(const Item& item, const char* name, std::string& out) {
    const TiledProperty* p = find(item, name);
    if (!p) return true;
    if (p->type != "string" && p->type != "file")
      return refuse(std::string("property '") + name + "' must be a string");
    out = p->text;
    return true;
  }

  // A number property within [lo, hi] (whole when asked), or fallback.
  bool number(const Item& item, const char* name, double fallback, double lo, double hi, bool whole,
              double& out) {
    out = fallback;
    const TiledProperty* p = find(item, name);
    if (!p) return true;
    if (p->type == "int" || p->type == "float") {
      out = p->number;
    } else if (p->type == "string") {  // Tiled's default type: accept "3"
      char* end = nullptr;
      out = std::strtod(p->text.c_str(), &end);
      if (p->text.empty() || *end != '\0')
        return refuse(std::string("property '") + name + "' must be a number, not '" + p->text +
                      "'");
    } else {
      return refuse(std::string("property '") + name + "' must be a number");
    }
    char fault[96] = "";
    if (!(out >= lo && out <= hi))
      std::snprintf(fault, sizeof fault, "%g is out of range (%s%g to %g)", out,
                    whole ? "a whole number " : "", lo, hi);
    else if (whole && out != std::floor(out))
      std::snprintf(fault, sizeof fault, "%g is not a whole number", out);
    if (*fault) return refuse(std::string("property '") + name + "' " + fault);
    return true;
  }

  bool flag(const Item& item, const char* name, bool& out) {
    out = false;
    const TiledProperty* p = find(item, name);
    if (!p) return true;
    if (p->type == "bool" || p->type == "int") {
      out = p->number != 0;
      return true;
    }
    if (p->type == "string" && (p->text == "true" || p->text == "false")) {
      out = p->text == "true";
      return true;
    }
    return refuse(std::string("property '") + name + "' must be true or false");
  }

  // An object property (Tiled's reference to another object, 0 for none)
  // or a string naming an object. Either way it becomes the object's name,
  // which is how the engine finds it; so that name must be unique.
  bool reference(const Item& item, const char* name, bool inherited, std::string& out) {
    out.clear();
    const TiledProperty* p = find(item, name, inherited);
    if (!p) return true;
    std::string what = std::string("property '") + name + "'";
    if (p->type == "object") {
      if (p->number == 0) return true;
      int id = 0;
      auto it = wholeNumber(p->number, id) ? byId_.find(id) : byId_.end();
      if (it == byId_.end())
        return refuse(what + " refers to object " + numberText(p->number) +
                      ", which is not in the map");
      out = it->second->name;
      if (out.empty())
        return refuse(what + " refers to object " + numberText(p->number) + ", which has no name");
    } else if (p->type == "string") {
      out = p->text;
      if (out.empty()) return true;
      if (!nameCount_.count(out))
        return refuse(what + " names object '" + out + "', which is not in the map");
    } else {
      return refuse(what + " must refer to an object");
    }
    if (nameCount_[out] > 1)
      return refuse(what + " refers to '" + out + "', but " + std::to_string(nameCount_[out]) +
                    " objects have that name");
    return true;
  }

  static std::string numberText(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
  }

  bool kindOf(const Item& item, int fallback, ObjectKind& kind) {
    kind = ObjectKind(fallback);
    const TiledProperty* p = find(item, "kind", false);
    std::string name;
    if (p) {
      if (p->type == "int") {
        int number;
        if (p->number != std::floor(p->number))
          return refuse("kind " + numberText(p->number) + " is not a whole number");
        if (!wholeNumber(p->number, number) || number < 0 || number > 4)
          return refuse("kind " + numberText(p->number) + " is out of range (0 to 4)");
        kind = ObjectKind(number);
        return true;
      }
      if (p->type != "string") return refuse("property 'kind' must be a string");
      name = p->text;
    } else if (item.object && !item.object->type.empty()) {
      name = item.object->type;
    } else if ((p = find(item, "kind"))) {
      if (p->type != "string") return refuse("property 'kind' must be a string");
      name = p->text;
    } else {
      return true;
    }
    if (objectKindNamed(name, kind)) return true;
    return refuse("unknown kind '" + name +
                  "' (expected static, dynamic, trigger, marker or prop)");
  }

  // The fields every record takes from properties.
  bool fields(const Item& item, ObjectDef& o) {
    double layer, blend, group, mass, inertia, scale;
    // imageScale, mass and inertiaRadius need only fit a float here: their
    // ranges are checked with every other source's (scene_checks.h).
    bool ok = text(item, "id", o.id) &&
              number(item, "imageScale", 1, -FLT_MAX, FLT_MAX, false, scale) &&
              number(item, "layer", 0, 0, 255, true, layer) &&
              number(item, "blend", 0, 0, 255, true, blend) &&
              number(item, "collisionGroup", 0, 0, 31, true, group) &&
              flag(item, "immovableByOtherScenes", o.immovableByOtherScenes) &&
              number(item, "mass", 1, -FLT_MAX, FLT_MAX, false, mass) &&
              number(item, "inertiaRadius", 1, -FLT_MAX, FLT_MAX, false, inertia) &&
              reference(item, "linkedTo", true, o.linkedTo);
    if (!ok) return false;  // a refused value may be nan, which converts to nothing
    o.imageScale = float(scale);
    o.layer = int(layer);
    o.blend = int(blend);
    o.collisionGroup = int(group);
    o.mass = float(mass);
    o.inertiaRadius = float(inertia);
    return material(item, o);
  }

  // As in Lua scene files: any of the three values gives the object a
  // material, the others 0. A layer's value is a default like any other.
  bool material(const Item& item, ObjectDef& o) {
    for (const MaterialValue& value : materialValues) {
      double v;
      if (!number(item, value.name, 0, -FLT_MAX, FLT_MAX, false, v)) return false;
      o.material.*value.field = float(v);
      o.hasMaterial = o.hasMaterial || find(item, value.name);
    }
    return true;
  }

  bool image(const Item& item, const char* name, std::string& texture, int& w, int& h) {
    std::string file;
    if (!text(item, name, file)) return false;
    if (file.empty()) return true;
    std::string
        path = (std::filesystem::path(map_.file).parent_path() / file).lexically_normal().string(),
        nested;
    if (!textures_.use(path, report_, texture, w, h, nested))
      return refuse(std::string("property '") + name + "': " + nested);
    return true;
  }

  // The sprite's centre sits on the centre of what the author drew, moved by
  // imageOffsetX and imageOffsetY.
  bool images(const Item& item, Vec position, Vec drawnCentre, ObjectDef& o) {
    int w = 0, h = 0;
    double dx, dy;
    if (!image(item, "img", o.img, w, h) || !image(item, "litImg", o.litImg, w, h) ||
        !number(item, "imageOffsetX", 0, -1e6, 1e6, false, dx) ||
        !number(item, "imageOffsetY", 0, -1e6, 1e6, false, dy))
      return false;
    if (o.img.empty() && o.litImg.empty()) return true;
    o.imageOffset = {float(drawnCentre.x - position.x + dx),
                     float(drawnCentre.y - position.y + dy)};
    return true;
  }

  bool imageLayer(const Item& item, SceneDef& scene) {
    const TiledLayer& layer = *item.imageLayer;
    ObjectDef o;
    o.name = layer.name;
    int w = 0, h = 0;
    ObjectKind kind;
    std::string nested;
    if (!kindOf(item, KindProp, kind) || !fields(item, o)) return false;
    if (kind != KindProp)
      return refuse(std::string("an image layer is a sprite, not a ") + objectKindNames[kind] +
                    " object (kind must be prop)");
    o.kind = kind;
    if (!textures_.use(layer.image, report_, o.img, w, h, nested)) return refuse(nested);
    if (std::fabs(item.offset.x) > kMaxCoordinate || std::fabs(item.offset.y) > kMaxCoordinate)
      return refuse("coordinates are out of range (beyond 1000000 pixels)");
    o.position = {float(item.offset.x + w / 2.0), float(item.offset.y + h / 2.0)};
    int litW, litH;
    if (!image(item, "litImg", o.litImg, litW, litH)) return false;
    scene.objects.push_back(std::move(o));
    return true;
  }

  // The world points of a shape and the position of its record.
  bool shape(const Item& item, int kind, std::vector<Vec>& points, Vec& position, Vec& centre) {
    const TiledObject& t = *item.object;
    Vec origin = item.offset + Vec{t.x, t.y};
    auto place = [&](Vec local) { return origin + rotated(local, t.rotation); };
    centre = place({t.width / 2, t.height / 2});
    position = centre;
    switch (t.shape) {
      case TiledObject::Rectangle:
        points = {place({0, 0}), place({t.width, 0}), place({t.width, t.height}),
                  place({0, t.height})};
        break;
      case TiledObject::Ellipse: {
        double segments;
        if (!number(item, "segments", ellipseSegments(t.width, t.height), 3, 1024, true, segments))
          return false;
        for (int i = 0; i < int(segments); ++i) {
          double a = (i + 0.5) * 2 * M_PI / segments;
          points.push_back(
              place({t.width / 2 * (1 + std::cos(a)), t.height / 2 * (1 + std::sin(a))}));
        }
        break;
      }
      case TiledObject::Polygon: {
        position = origin;
        double x0 = DBL_MAX, y0 = DBL_MAX, x1 = -DBL_MAX, y1 = -DBL_MAX;
        for (const TiledPoint& p : t.points) {
          points.push_back(place({p.x, p.y}));
          x0 = std::min(x0, points.back().x), x1 = std::max(x1, points.back().x);
          y0 = std::min(y0, points.back().y), y1 = std::max(y1, points.back().y);
        }
        centre = points.empty() ? origin : Vec{(x0 + x1) / 2, (y0 + y1) / 2};
        break;
      }
      case TiledObject::Point:
        position = centre = origin;
        break;
      case TiledObject::Polyline:
        return refuse("a polyline is open; close it into a polygon");
      default:
        break;
    }
    if (kind == KindMarker || kind == KindProp) {
      points.clear();
      return true;
    }
    if (t.shape == TiledObject::Point)
      return refuse(std::string("a point has no outline; a ") + objectKindNames[kind] +
                    " object needs a polygon, rectangle or ellipse");
    if (t.shape == TiledObject::Polygon && points.size() < 3)
      return refuse("polygon has " + std::to_string(points.size()) +
                    " points; an outline needs at least 3");
    std::string fault = settleOutline(points);
    if (!fault.empty()) return refuse(fault);
    // In map coordinates, before they are made relative and rounded to float.
    if (kind == KindStatic) points = subdivided(points, kMaxStaticEdge);
    return true;
  }

  // A tile object: a sprite of a tile of an image-collection tileset.
  bool tile(const Item& item, ObjectDef& o, int kind) {
    const TiledObject& t = *item.object;
    if (kind != KindProp)
      return refuse(std::string("an image object is a sprite, not a ") + objectKindNames[kind] +
                    " object; to draw an image on a shape, give the shape an img property");
    if (t.gid & 0xF0000000u) return refuse("the image is flipped; flip the image file instead");
    if (t.rotation != 0)
      return refuse("the image is rotated; sprites are drawn unturned, so turn the image file");
    const TiledTileset* set = nullptr;
    for (const TiledTileset& ts : map_.tilesets)
      if (ts.firstGid <= t.gid && (!set || ts.firstGid > set->firstGid)) set = &ts;
    if (!set) return refuse("gid " + std::to_string(t.gid) + " is in no tileset");
    const TiledTile* found = nullptr;
    for (const TiledTile& tl : set->tiles)
      if (uint32_t(tl.id) == t.gid - set->firstGid) found = &tl;
    if (!found)
      return refuse(set->atlasImage.empty()
                        ? "tile " + std::to_string(t.gid - set->firstGid) + " of tileset '" +
                              set->name + "' has no image"
                        : "tileset '" + set->name +
                              "' is cut from one image; use an image collection tileset");
    int w = 0, h = 0;
    std::string nested;
    if (!textures_.use(found->image, report_, o.img, w, h, nested)) return refuse(nested);
    if (w <= 0 || h <= 0) return refuse("the image has no pixels");
    double sx = t.width / w, sy = t.height / h;
    if (std::fabs(sx - sy) > 1e-3 * std::max(sx, sy))
      return refuse("the image is stretched unevenly (" + numberText(t.width) + "x" +
                    numberText(t.height) + " for a " + std::to_string(w) + "x" + std::to_string(h) +
                    " image); sprites scale the same both ways");
    o.imageScale *= float(sx);
    Vec origin = item.offset + Vec{t.x, t.y};
    o.position = {float(origin.x + t.width / 2), float(origin.y - t.height / 2)};
    int litW, litH;
    return image(item, "litImg", o.litImg, litW, litH);
  }

  bool joint(const Item& item, SceneDef& scene) {
    LinkDef l;
    l.name = item.object->name;
    if (!reference(item, "obj1", false, l.obj1) || !reference(item, "obj2", false, l.obj2))
      return false;
    if (l.obj1.empty() && l.obj2.empty()) return refuse("a joint needs obj1 or obj2");
    l.anchor = {float(item.offset.x + item.object->x), float(item.offset.y + item.object->y)};
    scene.links.push_back(l);
    return true;
  }

  bool object(const Item& item, SceneDef& scene) {
    const TiledObject& t = *item.object;
    noteUnknown(t.properties, describe(item));
    if (!t.templateFile.empty())
      return refuse("uses the template '" + t.templateFile +
                    "'; detach it in Tiled (or export with --detach-templates)");
    // Far beyond any table, and beyond what a float keeps apart.
    bool near =
        std::fabs(item.offset.x) <= kMaxCoordinate && std::fabs(item.offset.y) <= kMaxCoordinate;
    for (double v : {t.x, t.y, t.width, t.height}) near = near && std::fabs(v) <= kMaxCoordinate;
    for (const TiledPoint& p : t.points)
      near = near && std::fabs(p.x) <= kMaxCoordinate && std::fabs(p.y) <= kMaxCoordinate;
    if (!near) return refuse("coordinates are out of range (beyond 1000000 pixels)");
    bool isJoint = find(item, "obj1", false) || find(item, "obj2", false);
    if (isJoint && t.shape != TiledObject::Point)
      return refuse("obj1 and obj2 belong on a point, the joint's anchor");
    if (isJoint) return joint(item, scene);

    int fallback = t.shape == TiledObject::Point  ? KindMarker
                   : t.shape == TiledObject::Tile ? KindProp
                                                  : KindStatic;
    ObjectDef o;
    o.name = t.name;
    if (!kindOf(item, fallback, o.kind) || !fields(item, o)) return false;
    if (t.shape == TiledObject::Tile) {
      if (!tile(item, o, o.kind)) return false;
      scene.objects.push_back(std::move(o));
      return true;
    }
    std::vector<Vec> points;
    Vec position, centre;
    if (!shape(item, o.kind, points, position, centre)) return false;
    o.position = {float(position.x), float(position.y)};
    for (const Vec& p : points)
      o.outline.push_back({float(p.x - position.x), float(p.y - position.y)});
    if (!images(item, position, centre, o)) return false;
    scene.objects.push_back(std::move(o));
    return true;
  }

  const TiledMap& map_;
  TexturePool& textures_;
  PackReport& report_;
  std::vector<Item> items_;
  std::map<int, const TiledObject*> byId_;
  std::map<std::string, int> nameCount_;
  std::string where_;
};

}  // namespace

TexturePool::TexturePool(std::vector<PackTexture>& textures, const std::string& manifestFolder)
    : textures_(textures), folder_(manifestFolder) {}

std::string TexturePool::key(const std::string& file) const {
  std::error_code ec;
  return std::filesystem::absolute(file, ec).lexically_normal().string();
}

void TexturePool::remember(const std::string& file, size_t index) {
  byFile_.emplace(key(file), index);
}

bool TexturePool::use(const std::string& file, PackReport& report, std::string& name, int& width,
                      int& height, std::string& error) {
  std::string k = key(file);
  auto it = byFile_.find(k);
  if (it == byFile_.end()) {
    PackTexture texture;
    std::vector<unsigned char> bytes;
    if (!readWholeFile(file, bytes, error) || !decodePng(bytes, file, texture, error)) return false;
    report.inputs.push_back(file);
    std::error_code ec;
    namespace fs = std::filesystem;
    fs::path base = fs::absolute(folder_.empty() ? "." : folder_, ec).lexically_normal();
    texture.name = fs::path(k).lexically_relative(base).generic_string();
    if (texture.name.empty()) texture.name = fs::path(file).generic_string();
    textures_.push_back(std::move(texture));
    it = byFile_.emplace(k, textures_.size() - 1).first;
  }
  const PackTexture& t = textures_[it->second];
  name = t.name;
  width = t.width;
  height = t.height;
  return true;
}

bool sceneFromTiledMap(const TiledMap& map, TexturePool& textures, SceneDef& scene,
                       std::vector<std::string>& where, std::vector<bool>& isFree,
                       PackReport& report, std::string& error) {
  SceneBuilder builder(map, textures, report);
  bool ok = builder.build(scene, where, isFree);
  error = builder.error;
  return ok;
}
