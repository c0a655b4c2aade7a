// Writes the default table's generated sources into a staging folder:
//   gen_default_table SOURCE_DIR STAGE_DIR
// The scene files are run (with their shapes.lua) to draw the art that has
// to match the colliders; then fonts, sounds, music and images are written.
#include <sys/stat.h>

#include <cstdio>
#include <string>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include "gen.h"

namespace {

std::string gSceneDir;

// include("file.lua") relative to the scenes folder, returning its result.
int luaInclude(lua_State* L) {
  const char* name = luaL_checkstring(L, 1);
  std::string path = gSceneDir + "/" + name;
  if (luaL_loadfile(L, path.c_str()) != 0) return lua_error(L);
  lua_call(L, 0, 1);
  return 1;
}

Pt readPoint(lua_State* L, int index) {
  Pt p;
  lua_rawgeti(L, index, 1);
  if (lua_isnumber(L, -1)) {
    p.x = float(lua_tonumber(L, -1));
    lua_rawgeti(L, index, 2);
    p.y = float(lua_tonumber(L, -1));
    lua_pop(L, 2);
    return p;
  }
  lua_pop(L, 1);
  lua_getfield(L, index, "x");
  lua_getfield(L, index, "y");
  p.x = float(lua_tonumber(L, -2));
  p.y = float(lua_tonumber(L, -1));
  lua_pop(L, 2);
  return p;
}

std::string field(lua_State* L, int index, const char* key) {
  lua_getfield(L, index, key);
  std::string s = lua_isstring(L, -1) ? lua_tostring(L, -1) : "";
  lua_pop(L, 1);
  return s;
}

int kindOf(lua_State* L, int index) {
  lua_getfield(L, index, "kind");
  int kind = 0;
  if (lua_isnumber(L, -1)) {
    kind = int(lua_tonumber(L, -1));
  } else if (lua_isstring(L, -1)) {
    std::string k = lua_tostring(L, -1);
    const char* names[] = {"static", "dynamic", "trigger", "marker", "prop"};
    for (int i = 0; i < 5; ++i)
      if (k == names[i]) kind = i;
  }
  lua_pop(L, 1);
  return kind;
}

bool loadScene(const std::string& file, std::vector<SceneObject>& out) {
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  lua_register(L, "include", luaInclude);
  bool ok = luaL_loadfile(L, file.c_str()) == 0 && lua_pcall(L, 0, 1, 0) == 0 && lua_istable(L, -1);
  if (!ok) {
    printf("gen: cannot run '%s': %s\n", file.c_str(),
           lua_isstring(L, -1) ? lua_tostring(L, -1) : "no table");
    lua_close(L);
    return false;
  }
  lua_getfield(L, -1, "objects");
  int n = int(lua_objlen(L, -1));
  for (int i = 1; i <= n; ++i) {
    lua_rawgeti(L, -1, i);
    int o = lua_gettop(L);
    SceneObject obj;
    obj.name = field(L, o, "name");
    obj.img = field(L, o, "img");
    obj.litImg = field(L, o, "litImg");
    obj.kind = kindOf(L, o);
    lua_getfield(L, o, "position");
    if (lua_istable(L, -1)) obj.position = readPoint(L, lua_gettop(L));
    lua_pop(L, 1);
    lua_getfield(L, o, "outline");
    if (lua_istable(L, -1)) {
      int t = lua_gettop(L), m = int(lua_objlen(L, t));
      for (int k = 1; k <= m; ++k) {
        lua_rawgeti(L, t, k);
        obj.outline.push_back(readPoint(L, lua_gettop(L)));
        lua_pop(L, 1);
      }
    }
    lua_pop(L, 2);
    out.push_back(obj);
  }
  lua_close(L);
  return true;
}

}  // namespace

bool writeText(const std::string& path, const std::string& text) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    printf("gen: cannot write '%s'\n", path.c_str());
    return false;
  }
  fwrite(text.data(), 1, text.size(), f);
  return fclose(f) == 0;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    printf("usage: %s SOURCE_DIR STAGE_DIR\n", argv[0]);
    return 2;
  }
  std::string src = argv[1], stage = argv[2];
  for (const char* sub : {"", "/images", "/sounds", "/music", "/fonts"})
    mkdir((stage + sub).c_str(), 0755);
  gSceneDir = src + "/scenes";
  std::vector<SceneObject> table;
  if (!loadScene(gSceneDir + "/table.lua", table)) return 1;
  bool ok = writeFonts(stage);
  ok = writeSounds(stage) && ok;
  ok = writeImages(stage, table) && ok;
  printf("gen: %s\n", ok ? "table assets written" : "FAILED");
  return ok ? 0 : 1;
}
