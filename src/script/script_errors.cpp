// Script errors told the way a table author can act on them: the place and a
// short traceback of each runtime error, the parser's message of a syntax
// error, the script's files named as in the data directory. All of it goes
// to standard error and the error panel; the console lines stay as they are.
#include <cstring>

#include "script/error_log.h"
#include "script/script_host.h"
#include "script/script_internal.h"

const char* scriptCallContext = nullptr;

namespace {

ErrorLog errorLog(stderr);

// One Lua frame of a traceback, copied while the stack still stands.
struct Frame {
  char shortSrc[LUA_IDSIZE];  // the name Lua puts in its position prefixes
  char file[192];             // the name as the author knows it
  char name[64];              // empty when Lua does not know it
  int line, defined;
  bool mainChunk;
};

constexpr int maxFrames = 8;
// Levels looked at, C functions included: a stack overflow leaves thousands.
constexpr int maxLevels = 24;

// What the message handler saw of the last error, until it is reported.
struct Capture {
  bool taken = false;
  bool complete = false;  // the frames reach the bottom of the stack
  int frameCount = 0;
  Frame frames[maxFrames];
  const char* context = nullptr;
} capture;

char handlerKey;

void copyText(char* out, size_t size, const char* text) {
  std::snprintf(out, size, "%s", text);
}

// Lua 5.1's abbreviation of a chunk name in its messages (luaO_chunkid).
void chunkId(char* out, const char* source, size_t size) {
  if (*source == '=') {
    copyText(out, size, source + 1);
  } else if (*source == '@') {
    ++source;
    size_t room = size - sizeof(" '...' ");
    size_t length = strlen(source);
    if (length > room)
      std::snprintf(out, size, "...%s", source + (length - room));
    else
      copyText(out, size, source);
  } else {
    size_t length = strcspn(source, "\n\r");
    size_t room = size - sizeof(" [string \"...\"] ");
    bool cut = length > room || source[length] != '\0';
    if (length > room) length = room;
    std::snprintf(out, size, "[string \"%.*s%s\"]", int(length), source, cut ? "..." : "");
  }
}

// A chunk's name as the author knows it: a file of the data directory by
// its path inside it, any other chunk as Lua abbreviates it.
void authorName(const StateInfo& info, const char* source, const char* shortSrc, char* out,
                size_t size) {
  const char* file = nullptr;
  if (source[0] == '@')
    file = source + 1;
  else if (!info.scriptPath.empty() && info.scriptPath == source)
    file = source;
  if (!file) {
    copyText(out, size, shortSrc);
    return;
  }
  const std::string& dir = info.directory;
  if (!dir.empty() && strncmp(file, dir.c_str(), dir.size()) == 0 && file[dir.size()] == '/')
    file += dir.size() + 1;
  copyText(out, size, file);
}

// The message handler of every protected call of the host. It allocates
// nothing in Lua, so that it cannot fail, and returns the error value
// unchanged, so that what the call returns is what it returned without it.
// Level 1 is where the error was raised: an API function or `error` for
// errors that carry no position, whose place is the Lua frame calling it.
int messageHandler(lua_State* L) {
  const StateInfo& info = stateInfo(L);
  capture.taken = true;
  capture.complete = false;
  capture.frameCount = 0;
  capture.context = scriptCallContext;
  lua_Debug ar;
  for (int level = 1; level <= maxLevels; ++level) {
    if (!lua_getstack(L, level, &ar)) {
      capture.complete = true;
      break;
    }
    if (!lua_getinfo(L, "Sln", &ar) || ar.what[0] == 'C' || ar.currentline < 0) continue;
    if (capture.frameCount == maxFrames) break;
    Frame& f = capture.frames[capture.frameCount++];
    copyText(f.shortSrc, sizeof f.shortSrc, ar.short_src);
    authorName(info, ar.source, ar.short_src, f.file, sizeof f.file);
    copyText(f.name, sizeof f.name, ar.name && ar.namewhat[0] ? ar.name : "");
    f.line = ar.currentline;
    f.defined = ar.linedefined;
    f.mainChunk = strcmp(ar.what, "main") == 0;
  }
  return 1;
}

std::string frameLine(const Frame& f, const char* name) {
  char line[512];
  if (f.mainChunk)
    std::snprintf(line, sizeof line, "\t%s:%d: in main chunk\n", f.file, f.line);
  else if (name[0])
    std::snprintf(line, sizeof line, "\t%s:%d: in function '%s'\n", f.file, f.line, name);
  else
    std::snprintf(line, sizeof line, "\t%s:%d: in function <%s:%d>\n", f.file, f.line, f.file,
                  f.defined);
  return line;
}

// The place, traceback and renamed message of the captured error.
void describeCapture(ScriptError& error) {
  if (capture.frameCount == 0) {
    // No script line to blame: the engine's call itself failed.
    if (capture.context)
      error.traceback = "\t[engine]: calling '" + std::string(capture.context) + "'\n";
    return;
  }
  const Frame& top = capture.frames[0];
  error.place = std::string(top.file) + ":" + std::to_string(top.line);
  for (int i = 0; i < capture.frameCount; ++i) {
    const Frame& f = capture.frames[i];
    // An entry point is called from the engine, so Lua has no name for it.
    bool entry = capture.complete && i == capture.frameCount - 1 && capture.context;
    error.traceback += frameLine(f, f.name[0] || !entry ? f.name : capture.context);
  }
  if (!capture.complete) error.traceback += "\t...\n";
  for (int i = 0; i < capture.frameCount; ++i) {
    const Frame& f = capture.frames[i];
    size_t length = strlen(f.shortSrc);
    if (error.message.compare(0, length, f.shortSrc) == 0 && error.message[length] == ':') {
      error.message.replace(0, length, f.file);
      break;
    }
  }
}

int tableOf(lua_State* L) {
  return L ? stateInfo(L).id : 0;
}

}  // namespace

void installMessageHandler(lua_State* L) {
  lua_pushlightuserdata(L, &handlerKey);
  lua_pushcfunction(L, messageHandler);
  lua_rawset(L, LUA_REGISTRYINDEX);
}

int pushMessageHandler(lua_State* L) {
  lua_pushlightuserdata(L, &handlerKey);
  lua_rawget(L, LUA_REGISTRYINDEX);
  if (lua_tocfunction(L, -1) != messageHandler) {
    lua_pop(L, 1);
    return 0;
  }
  return lua_gettop(L);
}

void noteScriptError(lua_State* L, int status, const char* text, int valueType) {
  ScriptError error;
  error.message = text;
  if (status == LUA_ERRRUN && valueType != LUA_TSTRING && valueType != LUA_TNUMBER)
    error.message = valueType == LUA_TNONE ? "(no error value)"
                                           : std::string("(error value is a ") +
                                                 lua_typename(L, valueType) + " value)";
  if (status == LUA_ERRRUN && capture.taken) describeCapture(error);
  capture.taken = false;
  errorLog.add(tableOf(L), error);
}

void noteSyntaxError(lua_State* L, const char* chunkName) {
  char shortSrc[LUA_IDSIZE];
  char file[192];
  chunkId(shortSrc, chunkName, sizeof shortSrc);
  authorName(stateInfo(L), chunkName, shortSrc, file, sizeof file);
  ScriptError error;
  error.place = file;
  error.message = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : "syntax error";
  size_t length = strlen(shortSrc);
  if (error.message.compare(0, length, shortSrc) == 0 && error.message[length] == ':') {
    error.message.replace(0, length, file);
    size_t digits = error.message.find_first_not_of("0123456789", strlen(file) + 1);
    if (digits != std::string::npos && digits > strlen(file) + 1 && error.message[digits] == ':')
      error.place = error.message.substr(0, digits);
  }
  // Written at every load: after F5 the author looks for it again.
  errorLog.add(tableOf(L), error, true);
}

void noteScriptStep() {
  errorLog.step();
}

void forgetScriptErrors(lua_State* L) {
  errorLog.forget(tableOf(L));
}

std::string scriptErrorPanelText(lua_State* L) {
  return L ? errorLog.panelText(tableOf(L)) : "";
}

void reportScriptErrorTotal() {
  std::string line = errorLog.summary();
  if (!line.empty()) std::fprintf(stderr, "%s\n", line.c_str());
}
