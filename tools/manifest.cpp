// Turns the tables returned by a manifest and its scene files into packed
// records. Every value is checked here, where the file and object that hold
// it are known, so a refusal names them; tables are read with raw access so
// no metamethod can run (and raise) while C++ objects are alive.
#include "manifest.h"

#include <cfloat>
#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <set>

extern "C" {
#include <lua.h>
}

#include "font_source.h"
#include "image_source.h"
#include "scene_checks.h"
#include "source_state.h"
#include "tiled_scene.h"

namespace {

class SourceReader {
 public:
  SourceReader(lua_State* state, PackReport& report) : L(state), report_(report) {}

  bool fail(const std::string& where, const std::string& message) {
    error = where + ": " + message;
    return false;
  }
  void note(const std::string& line) { report_.notes.push_back(line); }

  // Pushes t[key] (t an absolute index).
  void field(int t, const char* key) {
    lua_pushstring(L, key);
    lua_rawget(L, t);
  }

  bool string(int t, const char* key, const std::string& where, std::string& out, bool required) {
    field(t, key);
    int type = lua_type(L, -1);
    bool ok = true;
    if (type == LUA_TSTRING) {
      size_t n = 0;
      const char* s = lua_tolstring(L, -1, &n);
      out.assign(s, n);
      if (n > 0xFFFF)
        ok = fail(where,
                  std::string(key) + " is " + std::to_string(n) + " bytes long (at most 65535)");
    } else if (type == LUA_TNIL && !required) {
      out.clear();
    } else {
      ok = fail(where, type == LUA_TNIL ? std::string("missing ") + key
                                        : std::string(key) + " must be a string, not a " +
                                              lua_typename(L, type));
    }
    lua_pop(L, 1);
    return ok;
  }

  // A finite number that fits a float.
  bool number(int t, const char* key, const std::string& where, float& out, float fallback) {
    double v = fallback;
    if (!wideNumber(t, key, where, v, fallback)) return false;
    if (!(std::fabs(v) <= FLT_MAX))
      return fail(where, std::string(key) + " is not a finite number");
    out = float(v);
    return true;
  }

  bool integer(int t, const char* key, const std::string& where, int& out, int fallback, int lo,
               int hi) {
    double v = fallback;
    if (!wideNumber(t, key, where, v, fallback)) return false;
    if (v != std::floor(v))
      return fail(where, std::string(key) + " " + numberText(v) + " is not a whole number");
    if (v < lo || v > hi)
      return fail(where, std::string(key) + " " + numberText(v) + " is outside " +
                             std::to_string(lo) + ".." + std::to_string(hi));
    out = int(v);
    return true;
  }

  bool flag(int t, const char* key, const std::string& where, bool& out) {
    field(t, key);
    int type = lua_type(L, -1);
    bool ok = true;
    if (type == LUA_TNIL)
      out = false;
    else if (type == LUA_TBOOLEAN)
      out = lua_toboolean(L, -1) != 0;
    else if (type == LUA_TNUMBER)
      out = lua_tonumber(L, -1) != 0;
    else
      ok = fail(where, std::string(key) + " must be true or false");
    lua_pop(L, 1);
    return ok;
  }

  // The value at absolute index i as a point {x, y} or {x = .., y = ..}.
  bool point(int i, const std::string& where, const std::string& what, Float2& out) {
    if (lua_type(L, i) != LUA_TTABLE) return fail(where, what + " must be a point {x, y}");
    double xy[2];
    for (int k = 0; k < 2; ++k) {
      lua_pushstring(L, k == 0 ? "x" : "y");
      lua_rawget(L, i);
      if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        lua_rawgeti(L, i, k + 1);
      }
      bool isNumber = lua_type(L, -1) == LUA_TNUMBER;
      xy[k] = isNumber ? lua_tonumber(L, -1) : 0;
      lua_pop(L, 1);
      if (!isNumber) return fail(where, what + " needs a number " + (k == 0 ? "x" : "y"));
      if (!(std::fabs(xy[k]) <= FLT_MAX)) return fail(where, what + " is not finite");
    }
    out = {float(xy[0]), float(xy[1])};
    return true;
  }

  bool pointField(int t, const char* key, const std::string& where, Float2& out) {
    field(t, key);
    bool ok = lua_isnil(L, -1) ? (out = Float2{}, true) : point(lua_gettop(L), where, key, out);
    lua_pop(L, 1);
    return ok;
  }

  bool outline(int t, const char* key, const std::string& where, std::vector<Float2>& out) {
    out.clear();
    field(t, key);
    int list = lua_gettop(L);
    bool ok = true;
    if (lua_type(L, list) == LUA_TTABLE) {
      size_t n = lua_objlen(L, list);
      if (n > 0xFFFF)
        ok =
            fail(where, std::string(key) + " has " + std::to_string(n) + " points (at most 65535)");
      for (size_t i = 1; ok && i <= n; ++i) {
        lua_rawgeti(L, list, int(i));
        Float2 p;
        ok = point(lua_gettop(L), where, std::string(key) + "[" + std::to_string(i) + "]", p);
        out.push_back(p);
        lua_pop(L, 1);
      }
    } else if (!lua_isnil(L, list)) {
      ok = fail(where, std::string(key) + " must be a list of points");
    }
    lua_pop(L, 1);
    return ok;
  }

  // Pushes t[key] when it is a list (or nil, as an empty table). Returns its
  // length, or -1 after failing.
  int list(int t, const char* key, const std::string& where) {
    field(t, key);
    if (lua_isnil(L, -1)) {
      lua_pop(L, 1);
      lua_newtable(L);
    }
    if (lua_type(L, -1) != LUA_TTABLE) {
      lua_pop(L, 1);
      fail(where, std::string(key) + " must be a list");
      return -1;
    }
    size_t n = lua_objlen(L, -1);
    if (n > 0xFFFF) {
      lua_pop(L, 1);
      fail(where, std::string(key) + " has " + std::to_string(n) + " entries (at most 65535)");
      return -1;
    }
    return int(n);
  }

  // Notes keys of table t that are not in known (likely typos); refuses the
  // first one instead when strict.
  bool unknownKeys(int t, std::initializer_list<const char*> known, const std::string& where,
                   bool strict = false) {
    lua_pushnil(L);
    while (lua_next(L, t) != 0) {
      lua_pop(L, 1);
      if (lua_type(L, -1) != LUA_TSTRING) continue;
      std::string key = lua_tostring(L, -1);
      bool found = false;
      for (const char* k : known) found = found || key == k;
      if (found) continue;
      if (strict) {
        lua_pop(L, 1);
        return fail(where, "unknown key '" + key + "'");
      }
      note(where + ": unknown field '" + key + "' ignored");
    }
    return true;
  }

  lua_State* L;
  std::string error;

 private:
  bool wideNumber(int t, const char* key, const std::string& where, double& out, double fallback) {
    field(t, key);
    int type = lua_type(L, -1);
    bool ok = true;
    if (type == LUA_TNUMBER)
      out = lua_tonumber(L, -1);
    else if (type == LUA_TNIL)
      out = fallback;
    else
      ok = fail(where, std::string(key) + " must be a number, not a " + lua_typename(L, type));
    lua_pop(L, 1);
    if (ok && std::isnan(out)) ok = fail(where, std::string(key) + " is not a number (nan)");
    return ok;
  }

  static std::string numberText(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14g", v);
    return buf;
  }

  PackReport& report_;
};

// Reads kind as a number 0..4 or one of the kind names.
bool readKind(SourceReader& r, int t, const std::string& where, ObjectKind& kind) {
  lua_State* L = r.L;
  r.field(t, "kind");
  int type = lua_type(L, -1);
  std::string name = type == LUA_TSTRING ? lua_tostring(L, -1) : "";
  lua_pop(L, 1);
  if (type != LUA_TSTRING) {
    int number = KindStatic;
    bool ok = r.integer(t, "kind", where, number, KindStatic, 0, 4);
    kind = ObjectKind(number);
    return ok;
  }
  if (objectKindNamed(name, kind)) return true;
  return r.fail(where, "unknown kind '" + name +
                           "' (expected static, dynamic, trigger, marker, prop or 0..4)");
}

// An object that gives any of the material's values has a material; the
// values it leaves out are 0. Their ranges are checked with checkScene.
bool readMaterial(SourceReader& r, int t, const std::string& where, ObjectDef& o) {
  for (const MaterialValue& value : materialValues) {
    r.field(t, value.name);
    bool given = !lua_isnil(r.L, -1);
    lua_pop(r.L, 1);
    if (!r.number(t, value.name, where, o.material.*value.field, 0)) return false;
    o.hasMaterial = o.hasMaterial || given;
  }
  return true;
}

bool readObject(SourceReader& r, int t, const std::string& file, int index, ObjectDef& o,
                bool& isFree) {
  lua_State* L = r.L;
  std::string where = file + ": objects[" + std::to_string(index) + "]";
  if (lua_type(L, t) != LUA_TTABLE) return r.fail(where, "an object must be a table");
  if (!r.string(t, "name", where, o.name, true)) return false;
  where = file + ": object '" + o.name + "'";
  r.unknownKeys(t,
                {"name",
                 "id",
                 "img",
                 "litImg",
                 "linkedTo",
                 "imageScale",
                 "imageOffset",
                 "layer",
                 "blend",
                 "kind",
                 "collisionGroup",
                 "immovableByOtherScenes",
                 "mass",
                 "inertiaRadius",
                 "elasticity",
                 "elasticityFalloff",
                 "friction",
                 "position",
                 "outline",
                 "free"},
                where);
  bool ok = r.string(t, "id", where, o.id, false) && r.string(t, "img", where, o.img, false) &&
            r.string(t, "litImg", where, o.litImg, false) &&
            r.string(t, "linkedTo", where, o.linkedTo, false) &&
            r.number(t, "imageScale", where, o.imageScale, 1) &&
            r.pointField(t, "imageOffset", where, o.imageOffset) &&
            r.integer(t, "layer", where, o.layer, 0, 0, 255) &&
            r.integer(t, "blend", where, o.blend, 0, 0, 255) && readKind(r, t, where, o.kind) &&
            r.integer(t, "collisionGroup", where, o.collisionGroup, 0, 0, 31) &&
            r.flag(t, "immovableByOtherScenes", where, o.immovableByOtherScenes) &&
            r.number(t, "mass", where, o.mass, 1) &&
            r.number(t, "inertiaRadius", where, o.inertiaRadius, 1) &&
            readMaterial(r, t, where, o) && r.pointField(t, "position", where, o.position) &&
            r.outline(t, "outline", where, o.outline) && r.flag(t, "free", where, isFree);
  if (!ok || o.outline.size() < 3) return ok;
  std::vector<OutlinePoint> points;
  for (Float2 p : o.outline) points.push_back({p.x, p.y});
  std::string fault = settleOutline(points);
  if (!fault.empty()) return r.fail(where, fault);
  o.outline.clear();
  for (OutlinePoint p : points) o.outline.push_back({float(p.x), float(p.y)});
  return true;
}

bool readLink(SourceReader& r, int t, const std::string& file, int index, LinkDef& l) {
  std::string where = file + ": links[" + std::to_string(index) + "]";
  if (lua_type(r.L, t) != LUA_TTABLE) return r.fail(where, "a link must be a table");
  if (!r.string(t, "name", where, l.name, false)) return false;
  if (!l.name.empty()) where = file + ": link '" + l.name + "'";
  r.unknownKeys(t, {"name", "obj1", "obj2", "anchor"}, where);
  return r.string(t, "obj1", where, l.obj1, false) && r.string(t, "obj2", where, l.obj2, false) &&
         r.pointField(t, "anchor", where, l.anchor);
}

// Notes references that name nothing: they load silently as empty ones.
void checkReferences(SourceReader& r, const SceneDef& scene, const std::string& file,
                     const std::set<std::string>& textures) {
  std::set<std::string> objects;
  for (const ObjectDef& o : scene.objects) objects.insert(o.name);
  for (const ObjectDef& o : scene.objects) {
    std::string where = file + ": object '" + o.name + "'";
    if (!o.img.empty() && !textures.count(o.img))
      r.note(where + ": img '" + o.img + "' is not a texture of the manifest");
    if (!o.litImg.empty() && !textures.count(o.litImg))
      r.note(where + ": litImg '" + o.litImg + "' is not a texture of the manifest");
    if (!o.linkedTo.empty() && !objects.count(o.linkedTo))
      r.note(where + ": linkedTo '" + o.linkedTo + "' is not an object of the scene");
  }
  for (const LinkDef& l : scene.links) {
    std::string where = file + ": link '" + l.name + "'";
    if (!l.obj1.empty() && !objects.count(l.obj1))
      r.note(where + ": obj1 '" + l.obj1 + "' is not an object of the scene");
    if (!l.obj2.empty() && !objects.count(l.obj2))
      r.note(where + ": obj2 '" + l.obj2 + "' is not an object of the scene");
  }
}

// The scene table is on top of the stack. where names each object for
// checkScene.
bool readScene(SourceReader& r, const std::string& file, SceneDef& scene,
               std::vector<std::string>& where, std::vector<bool>& isFree) {
  lua_State* L = r.L;
  int t = lua_gettop(L);
  if (lua_type(L, t) != LUA_TTABLE) return r.fail(file, "a scene file must return a table");
  if (!r.string(t, "name", file, scene.name, true)) return false;
  r.unknownKeys(t, {"name", "objects", "links"}, file);
  int n = r.list(t, "objects", file);
  if (n < 0) return false;
  int objects = lua_gettop(L);
  scene.objects.resize(size_t(n));
  for (int i = 1; i <= n; ++i) {
    lua_rawgeti(L, objects, i);
    ObjectDef& o = scene.objects[size_t(i - 1)];
    bool objectFree = false;
    bool ok = readObject(r, lua_gettop(L), file, i, o, objectFree);
    lua_pop(L, 1);
    if (!ok) return false;
    where.push_back(file + ": object '" + o.name + "'");
    isFree.push_back(objectFree);
  }
  lua_pop(L, 1);
  n = r.list(t, "links", file);
  if (n < 0) return false;
  int links = lua_gettop(L);
  scene.links.resize(size_t(n));
  for (int i = 1; i <= n; ++i) {
    lua_rawgeti(L, links, i);
    bool ok = readLink(r, lua_gettop(L), file, i, scene.links[size_t(i - 1)]);
    lua_pop(L, 1);
    if (!ok) return false;
  }
  lua_pop(L, 1);
  return true;
}

// Reads entry {name = .., file = ..} of a manifest list into name and path.
bool namedFile(SourceReader& r, int t, const std::string& where,
               const std::filesystem::path& folder, std::string& name, std::string& path) {
  if (lua_type(r.L, t) != LUA_TTABLE)
    return r.fail(where, "an entry must be a table {name = .., file = ..}");
  r.unknownKeys(t, {"name", "file"}, where);
  std::string file;
  if (!r.string(t, "name", where, name, true) || !r.string(t, "file", where, file, true))
    return false;
  path = (folder / file).lexically_normal().string();
  return true;
}

// The engine's score display draws with these; without them it shows nothing
// and says nothing, so the author hears of it here.
void warnAboutHud(const PackContent& content, const std::string& manifest,
                  std::vector<std::string>& warnings) {
  std::vector<std::string> missing;
  for (const char* font : {"Small.txt", "Big.txt"}) {
    bool found = false;
    for (const FontDef& f : content.fonts) found = found || f.name == font;
    if (!found) missing.push_back(std::string("font '") + font + "'");
  }
  for (const char* image : {"Images\\hud-lit.png", "Images\\hud-unlit.png"}) {
    bool found = false;
    for (const PackTexture& t : content.textures) found = found || t.name == image;
    if (!found) missing.push_back(std::string("texture '") + image + "'");
  }
  if (missing.empty()) return;
  std::string line = manifest + ": no ";
  for (size_t i = 0; i < missing.size(); ++i) line += (i ? ", " : "") + missing[i];
  warnings.push_back(line + "; the engine's score display uses them and shows nothing without");
}

bool readManifestTable(SourceReader& r, const std::string& manifest, PackContent& content,
                       PackReport& report) {
  lua_State* L = r.L;
  int top = lua_gettop(L);
  if (lua_type(L, top) != LUA_TTABLE) return r.fail(manifest, "the manifest must return a table");
  if (!r.unknownKeys(top, {"textures", "sounds", "fonts", "masks", "scenes"}, manifest, true))
    return false;
  const std::filesystem::path folder = std::filesystem::path(manifest).parent_path();
  std::string error;
  TexturePool pool(content.textures, folder.string());

  int n = r.list(top, "textures", manifest);
  if (n < 0) return false;
  for (int i = 1; i <= n; ++i) {
    lua_rawgeti(L, -1, i);
    PackTexture texture;
    std::string path;
    std::vector<unsigned char> bytes;
    std::string where = manifest + ": textures[" + std::to_string(i) + "]";
    bool ok = namedFile(r, lua_gettop(L), where, folder, texture.name, path);
    lua_pop(L, 1);
    if (!ok) return false;
    report.inputs.push_back(path);
    if (!readWholeFile(path, bytes, error) || !decodePng(bytes, path, texture, error))
      return r.fail(where, error);
    content.textures.push_back(std::move(texture));
    pool.remember(path, content.textures.size() - 1);
  }
  lua_pop(L, 1);

  n = r.list(top, "sounds", manifest);
  if (n < 0) return false;
  for (int i = 1; i <= n; ++i) {
    lua_rawgeti(L, -1, i);
    PackSound sound;
    std::string path;
    std::string where = manifest + ": sounds[" + std::to_string(i) + "]";
    bool ok = namedFile(r, lua_gettop(L), where, folder, sound.name, path);
    lua_pop(L, 1);
    if (!ok) return false;
    report.inputs.push_back(path);
    if (!readWholeFile(path, sound.data, error)) return r.fail(where, error);
    if (sound.data.size() >= 0x80000000u) return r.fail(where, path + " is 2 GiB or more");
    content.sounds.push_back(std::move(sound));
  }
  lua_pop(L, 1);

  n = r.list(top, "fonts", manifest);
  if (n < 0) return false;
  for (int i = 1; i <= n; ++i) {
    lua_rawgeti(L, -1, i);
    FontDef font;
    std::string path;
    std::string where = manifest + ": fonts[" + std::to_string(i) + "]";
    bool ok = namedFile(r, lua_gettop(L), where, folder, font.name, path);
    lua_pop(L, 1);
    if (!ok) return false;
    report.inputs.push_back(path);
    std::string name = font.name;
    if (!loadFontFile(path, font, error, report.notes)) {
      r.error = error;  // already "file:line: message"
      return false;
    }
    font.name = name;
    content.fonts.push_back(std::move(font));
  }
  lua_pop(L, 1);

  n = r.list(top, "masks", manifest);
  if (n < 0) return false;
  for (int i = 1; i <= n; ++i) {
    lua_rawgeti(L, -1, i);
    bool isNumber = lua_type(L, -1) == LUA_TNUMBER;
    double v = isNumber ? lua_tonumber(L, -1) : -1;
    lua_pop(L, 1);
    if (!isNumber || v != std::floor(v) || v < 0 || v > 4294967295.0)
      return r.fail(manifest,
                    "masks[" + std::to_string(i) + "] must be a whole number 0..0xFFFFFFFF");
    content.masks.push_back(uint32_t(v));
  }
  lua_pop(L, 1);
  if (n > 32) r.note(manifest + ": only the first 32 masks are used by the engine");

  n = r.list(top, "scenes", manifest);
  if (n < 0) return false;
  int scenes = lua_gettop(L);
  for (int i = 1; i <= n; ++i) {
    lua_rawgeti(L, scenes, i);
    std::string file = manifest;
    SceneDef scene;
    std::vector<std::string> where;  // names scene.objects[i] in messages
    std::vector<bool> isFree;        // scene.objects[i] is meant to move freely
    if (lua_type(L, -1) == LUA_TSTRING && isTiledMapFile(lua_tostring(L, -1))) {
      file = (folder / lua_tostring(L, -1)).lexically_normal().string();
      lua_pop(L, 1);
      report.inputs.push_back(file);
      TiledMap map;
      bool read = readTiledMap(file, map, error);
      for (const TiledTileset& ts : map.tilesets)
        if (ts.file != file) report.inputs.push_back(ts.file);
      if (!read || !sceneFromTiledMap(map, pool, scene, where, isFree, report, error) ||
          !checkScene(scene, where, error)) {
        r.error = error;  // already names the file
        return false;
      }
      warnAboutScene(scene, where, isFree, report.warnings);
      content.scenes.push_back(std::move(scene));
      continue;
    }
    if (lua_type(L, -1) == LUA_TSTRING) {  // a scene file; an inline table also works
      file = (folder / lua_tostring(L, -1)).lexically_normal().string();
      lua_pop(L, 1);
      report.inputs.push_back(file);
      if (!runSourceFile(L, file, error))
        return r.fail(manifest, "scenes[" + std::to_string(i) + "]: " + error);
    } else if (lua_type(L, -1) != LUA_TTABLE) {
      lua_pop(L, 1);
      return r.fail(manifest, "scenes[" + std::to_string(i) + "] must be a scene file name");
    }
    bool ok = readScene(r, file, scene, where, isFree);
    lua_pop(L, 1);
    if (!ok) return false;
    if (!checkScene(scene, where, error)) {
      r.error = error;
      return false;
    }
    std::set<std::string> textureNames;
    for (const PackTexture& t : content.textures) textureNames.insert(t.name);
    checkReferences(r, scene, file, textureNames);
    warnAboutScene(scene, where, isFree, report.warnings);
    content.scenes.push_back(std::move(scene));
  }
  lua_pop(L, 1);
  if (content.scenes.empty())
    return r.fail(manifest, "no scenes to pack (the list 'scenes' is empty)");
  warnAboutHud(content, manifest, report.warnings);
  return true;
}

}  // namespace

bool loadManifest(const std::string& path, PackContent& content, PackReport& report,
                  std::string& error) {
  content = PackContent();
  lua_State* L = newSourceState();
  if (!L) {
    error = "cannot start Lua";
    return false;
  }
  report.inputs.push_back(path);
  SourceReader reader(L, report);
  bool ok = runSourceFile(L, path, error);
  if (ok) {
    ok = readManifestTable(reader, path, content, report);
    if (!ok) error = reader.error;
  }
  for (const std::string& f : includedFiles(L)) report.inputs.push_back(f);
  lua_close(L);
  return ok;
}
