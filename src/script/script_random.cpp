// math.random and math.randomseed on a generator owned by each script state.
// Lua's own use C's rand(), one hidden state per process that any library
// may reseed or draw from; a game has to be a function of its seed and its
// keys, so that a recording plays back the same, and so it gets its own.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "script/script_host.h"
#include "script/script_internal.h"

namespace {

// xoshiro256** (Blackman and Vigna): fast, small, and the same on every
// platform, which rand() is not.
struct Generator {
  uint64_t s[4];
};

uint64_t rotl(uint64_t x, int k) {
  return (x << k) | (x >> (64 - k));
}

uint64_t next(Generator& g) {
  uint64_t* s = g.s;
  const uint64_t result = rotl(s[1] * 5, 7) * 9;
  const uint64_t t = s[1] << 17;
  s[2] ^= s[0];
  s[3] ^= s[1];
  s[1] ^= s[2];
  s[0] ^= s[3];
  s[2] ^= t;
  s[3] = rotl(s[3], 45);
  return result;
}

// splitmix64 spreads any seed, 0 included, over the whole state.
void seed(Generator& g, uint64_t value) {
  for (uint64_t& word : g.s) {
    value += 0x9e3779b97f4a7c15ull;
    uint64_t z = value;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    word = z ^ (z >> 31);
  }
}

// A double in [0, 1) from the top 53 bits.
double uniform(Generator& g) {
  return double(next(g) >> 11) * 0x1.0p-53;
}

char generatorKey;

Generator* generatorOf(lua_State* L) {
  lua_pushlightuserdata(L, &generatorKey);
  lua_rawget(L, LUA_REGISTRYINDEX);
  Generator* g = static_cast<Generator*>(lua_touserdata(L, -1));
  lua_pop(L, 1);
  return g;
}

// The generator travels as an upvalue, so a script that empties the
// registry through the debug library cannot take it away from the functions.
Generator& upvalueGenerator(lua_State* L) {
  return *static_cast<Generator*>(lua_touserdata(L, lua_upvalueindex(1)));
}

// The arguments and messages of Lua 5.1's math.random; ranges are computed
// in doubles, so extreme bounds cannot overflow.
int mathRandom(lua_State* L) {
  const double r = uniform(upvalueGenerator(L));
  switch (lua_gettop(L)) {
    case 0:
      lua_pushnumber(L, r);
      return 1;
    case 1: {
      int upper = luaL_checkint(L, 1);
      luaL_argcheck(L, 1 <= upper, 1, "interval is empty");
      lua_pushnumber(L, std::floor(r * upper) + 1);
      return 1;
    }
    case 2: {
      int lower = luaL_checkint(L, 1);
      int upper = luaL_checkint(L, 2);
      luaL_argcheck(L, lower <= upper, 2, "interval is empty");
      lua_pushnumber(L, std::floor(r * (double(upper) - lower + 1)) + lower);
      return 1;
    }
    default:
      return luaL_error(L, "wrong number of arguments");
  }
}

int mathRandomseed(lua_State* L) {
  double value = luaL_checknumber(L, 1);
  // Whole numbers seed by their value; anything else by its bits.
  uint64_t bits = 0;
  if (value == std::trunc(value) && std::fabs(value) < 0x1.0p63) {
    bits = uint64_t(int64_t(value));
  } else {
    std::memcpy(&bits, &value, sizeof bits);
  }
  seed(upvalueGenerator(L), bits);
  return 0;
}

}  // namespace

void installRandom(lua_State* L) {
  Generator* g = static_cast<Generator*>(lua_newuserdata(L, sizeof(Generator)));
  seed(*g, 0);
  lua_pushlightuserdata(L, &generatorKey);
  lua_pushvalue(L, -2);
  lua_rawset(L, LUA_REGISTRYINDEX);

  lua_getfield(L, LUA_GLOBALSINDEX, LUA_MATHLIBNAME);
  lua_pushvalue(L, -2);
  lua_pushcclosure(L, mathRandom, 1);
  lua_setfield(L, -2, "random");
  lua_pushvalue(L, -2);
  lua_pushcclosure(L, mathRandomseed, 1);
  lua_setfield(L, -2, "randomseed");
  lua_pop(L, 2);
}

void seedScriptRandom(lua_State* L, uint64_t value) {
  if (!L) return;
  if (Generator* g = generatorOf(L)) seed(*g, value);
}
