// Sets up the Lua state of the packer. The shape helpers are plain Lua so
// content authors can read what they do; include() is C because it resolves
// paths against the file of its caller.
#include "source_state.h"

#include <cstring>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

namespace {

const char* const kIncludedKey = "orvane.pack.included";

// Outlines are wound so that each edge normal (-d.y, d.x) points out of the
// shape: with y down the screen, that is a negative shoelace sum.
const char* const kHelpers = R"LUA(
local fail = ...
local function px(p) if type(p) ~= "table" then fail("a point must be a table") end
  local x = p.x or p[1]; if type(x) ~= "number" then fail("a point needs a number x") end return x end
local function py(p) if type(p) ~= "table" then fail("a point must be a table") end
  local y = p.y or p[2]; if type(y) ~= "number" then fail("a point needs a number y") end return y end
local function need(v, what, fname)
  if type(v) ~= "number" then fail(fname .. ": " .. what .. " must be a number") end
end
local function needPoints(pts, fname)
  if type(pts) ~= "table" then fail(fname .. ": points must be a table of points") end
end
local function plain(pts)
  local r = {}
  for i = 1, #pts do r[i] = { px(pts[i]), py(pts[i]) } end
  return r
end
local function shoelace(pts)
  local s, n = 0, #pts
  for i = 1, n do
    local a, b = pts[i], pts[i % n + 1]
    s = s + a[1] * b[2] - b[1] * a[2]
  end
  return s
end
local function reversed(pts)
  local r = {}
  for i = #pts, 1, -1 do r[#r + 1] = pts[i] end
  return r
end

function circle(radius, segments, cx, cy)
  need(radius, "radius", "circle"); need(segments, "segments", "circle")
  if segments < 3 or segments ~= math.floor(segments) then fail("circle: segments must be a whole number of at least 3") end
  cx, cy = cx or 0, cy or 0
  local pts = {}
  for i = segments - 1, 0, -1 do  -- decreasing angles: counter-clockwise on screen
    local a = math.rad((i + 0.5) * 360 / segments)
    pts[#pts + 1] = { cx + radius * math.cos(a), cy + radius * math.sin(a) }
  end
  return pts
end

function box(x0, y0, x1, y1)
  need(x0, "x0", "box"); need(y0, "y0", "box"); need(x1, "x1", "box"); need(y1, "y1", "box")
  if x1 < x0 then x0, x1 = x1, x0 end
  if y1 < y0 then y0, y1 = y1, y0 end
  return { { x0, y0 }, { x0, y1 }, { x1, y1 }, { x1, y0 } }
end

function rect(width, height, cx, cy)
  need(width, "width", "rect"); need(height, "height", "rect")
  cx, cy = cx or 0, cy or 0
  return box(cx - width / 2, cy - height / 2, cx + width / 2, cy + height / 2)
end

function polygon(points)
  needPoints(points, "polygon")
  local pts = plain(points)
  if #pts >= 3 and shoelace(pts) > 0 then pts = reversed(pts) end
  return pts
end

function subdivide(outline, maxEdge)
  needPoints(outline, "subdivide"); need(maxEdge, "maxEdge", "subdivide")
  if maxEdge <= 0 then fail("subdivide: maxEdge must be positive") end
  local pts, r = plain(outline), {}
  local n = #pts
  for i = 1, n do
    local a = pts[i]
    r[#r + 1] = a
    if n >= 2 then
      local b = pts[i % n + 1]
      local len = math.sqrt((b[1] - a[1]) ^ 2 + (b[2] - a[2]) ^ 2)
      local parts = math.ceil(len / maxEdge)
      for k = 1, parts - 1 do
        local t = k / parts
        r[#r + 1] = { a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t }
      end
    end
  end
  return r
end

function arc(cx, cy, radius, fromDegrees, toDegrees, segments)
  need(cx, "cx", "arc"); need(cy, "cy", "arc"); need(radius, "radius", "arc")
  need(fromDegrees, "fromDegrees", "arc"); need(toDegrees, "toDegrees", "arc"); need(segments, "segments", "arc")
  if segments < 1 or segments ~= math.floor(segments) then fail("arc: segments must be a whole number of at least 1") end
  local pts = {}
  for i = 0, segments do
    local a = math.rad(fromDegrees + (toDegrees - fromDegrees) * i / segments)
    pts[#pts + 1] = { cx + radius * math.cos(a), cy + radius * math.sin(a) }
  end
  return pts
end

function thick_path(points, thickness, segmentLength)
  needPoints(points, "thick_path"); need(thickness, "thickness", "thick_path")
  segmentLength = segmentLength or 40
  need(segmentLength, "segmentLength", "thick_path")
  if thickness <= 0 or segmentLength <= 0 then fail("thick_path: thickness and segmentLength must be positive") end
  local pts = {}
  for _, p in ipairs(plain(points)) do  -- drop repeated points: they have no direction
    local last = pts[#pts]
    if not last or last[1] ~= p[1] or last[2] ~= p[2] then pts[#pts + 1] = p end
  end
  if #pts < 2 then fail("thick_path: needs at least two distinct points") end
  local function normal(a, b)
    local dx, dy = b[1] - a[1], b[2] - a[2]
    local len = math.sqrt(dx * dx + dy * dy)
    return -dy / len, dx / len
  end
  local h, left, right = thickness / 2, {}, {}
  for i = 1, #pts do
    local nx, ny
    if i == 1 then nx, ny = normal(pts[1], pts[2])
    elseif i == #pts then nx, ny = normal(pts[i - 1], pts[i])
    else
      local ax, ay = normal(pts[i - 1], pts[i])
      local bx, by = normal(pts[i], pts[i + 1])
      local mx, my = ax + bx, ay + by
      local len = math.sqrt(mx * mx + my * my)
      if len < 1e-6 then nx, ny = ax, ay  -- the path turns back on itself
      else
        mx, my = mx / len, my / len
        local scale = 1 / math.max(mx * ax + my * ay, 0.25)  -- mitre, capped at 4x
        nx, ny = mx * scale, my * scale
      end
    end
    local p = pts[i]
    left[i] = { p[1] + nx * h, p[2] + ny * h }
    right[i] = { p[1] - nx * h, p[2] - ny * h }
  end
  local outline = left
  for i = #right, 1, -1 do outline[#outline + 1] = right[i] end
  return subdivide(polygon(outline), segmentLength)
end
)LUA";

// fail(message): raises message located at the content line that called a
// helper, not at the helper's own line.
int luaHelperError(lua_State* L) {
  const char* message = luaL_checkstring(L, 1);
  lua_Debug ar;
  for (int level = 1; lua_getstack(L, level, &ar); ++level) {
    lua_getinfo(L, "Sl", &ar);
    if (ar.currentline > 0 && std::strcmp(ar.source, "=helpers") != 0) {
      lua_pushfstring(L, "%s:%d: %s", ar.short_src, ar.currentline, message);
      return lua_error(L);
    }
  }
  lua_pushstring(L, message);
  return lua_error(L);
}

// include("file"): runs file, relative to the file of the caller, and
// returns its first result. Holds no C++ objects: lua_error longjmps.
int luaInclude(lua_State* L) {
  const char* file = luaL_checkstring(L, 1);
  char path[4096];
  size_t baseLen = 0;
  const char* base = "";
  lua_Debug ar;
  if (file[0] != '/' && lua_getstack(L, 1, &ar) && lua_getinfo(L, "S", &ar) &&
      ar.source[0] == '@') {
    const char* slash = std::strrchr(ar.source + 1, '/');
    if (slash) {
      base = ar.source + 1;
      baseLen = size_t(slash - base) + 1;
    }
  }
  size_t fileLen = std::strlen(file);
  if (baseLen + fileLen + 1 > sizeof path) return luaL_error(L, "include: path too long");
  std::memcpy(path, base, baseLen);
  std::memcpy(path + baseLen, file, fileLen + 1);

  lua_getfield(L, LUA_REGISTRYINDEX, kIncludedKey);
  lua_pushstring(L, path);
  lua_rawseti(L, -2, int(lua_objlen(L, -2)) + 1);
  lua_pop(L, 1);

  if (luaL_loadfile(L, path) != 0) {
    return luaL_error(L, "include: %s", lua_tostring(L, -1));
  }
  lua_call(L, 0, 1);
  return 1;
}

}  // namespace

lua_State* newSourceState() {
  lua_State* L = luaL_newstate();
  if (!L) return nullptr;
  const lua_CFunction libs[] = {luaopen_base, luaopen_string, luaopen_table, luaopen_math};
  for (lua_CFunction open : libs) {
    lua_pushcfunction(L, open);
    lua_call(L, 0, 0);
  }
  lua_newtable(L);
  lua_setfield(L, LUA_REGISTRYINDEX, kIncludedKey);
  lua_register(L, "include", luaInclude);
  if (luaL_loadbuffer(L, kHelpers, std::strlen(kHelpers), "=helpers") != 0 ||
      (lua_pushcfunction(L, luaHelperError), lua_pcall(L, 1, 0, 0)) != 0) {
    lua_close(L);
    return nullptr;
  }
  return L;
}

bool runSourceFile(lua_State* L, const std::string& path, std::string& error) {
  if (luaL_loadfile(L, path.c_str()) != 0 || lua_pcall(L, 0, 1, 0) != 0) {
    const char* message = lua_tostring(L, -1);
    error = message ? message : "error object is not a string";
    lua_pop(L, 1);
    return false;
  }
  return true;
}

std::vector<std::string> includedFiles(lua_State* L) {
  std::vector<std::string> files;
  lua_getfield(L, LUA_REGISTRYINDEX, kIncludedKey);
  int n = int(lua_objlen(L, -1));
  for (int i = 1; i <= n; ++i) {
    lua_rawgeti(L, -1, i);
    if (lua_type(L, -1) == LUA_TSTRING) files.push_back(lua_tostring(L, -1));
    lua_pop(L, 1);
  }
  lua_pop(L, 1);
  return files;
}
