// Stops runaway scripts without slowing normal ones: a watchdog thread
// watches the start time of the current script call and, once it is over
// the limit, sets a count hook that raises an error at the next
// instruction. Hooks are never set while a script runs normally.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "script/script_host.h"
#include "script/script_internal.h"

namespace {

using Clock = std::chrono::steady_clock;

// Never destroyed: the detached watchdog may still take it while the process
// exits.
std::mutex& guard = *new std::mutex;
bool threadStarted = false;
lua_State* armedState = nullptr;
int callDepth = 0;
Clock::time_point armedAt;
bool closing = false;  // a state is being closed: its finalizers run
Clock::time_point closeAt;
bool stopping = false;
Clock::time_point stopAt;
std::atomic<bool> stopRequested{false};
std::atomic<int> limitMs{defaultScriptTimeLimitMs};
std::atomic<int> graceMs{defaultScriptGraceMs};

// The coroutines being resumed, innermost last: a stop must reach the thread
// that runs, and a hook set on the main thread does not.
constexpr int maxTracked = 256;
lua_State* running[maxTracked];
int runningDepth = 0;

void stopHook(lua_State* L, lua_Debug*) {
  if (!stopRequested.load(std::memory_order_relaxed)) {
    lua_sethook(L, nullptr, 0, 0);
    return;
  }
  luaL_error(L, "script stopped: it ran longer than %d ms", limitMs.load());
}

// Called with guard held. Re-arming every round defeats a script that
// removes the hook with debug.sethook.
void armHooks() {
  lua_sethook(armedState, stopHook, LUA_MASKCOUNT, 1);
  int depth = runningDepth < maxTracked ? runningDepth : maxTracked;
  for (int i = 0; i < depth; ++i) lua_sethook(running[i], stopHook, LUA_MASKCOUNT, 1);
}

void watch() {
  for (;;) {
    int limit = limitMs.load();
    int poll = limit / 5;
    if (poll < 2) poll = 2;
    if (poll > 100) poll = 100;
    std::this_thread::sleep_for(std::chrono::milliseconds(poll));

    std::lock_guard<std::mutex> lock(guard);
    Clock::time_point now = Clock::now();
    // Finalizers run with hooks off, and the state is being freed: all that
    // can be done about one that never returns is to end the process.
    if (closing && now - closeAt > std::chrono::milliseconds(limit + graceMs.load())) {
      printf("Lua error: a finalizer does not return; ending the engine\n");
      fflush(stdout);
      _exit(1);
    }
    if (!armedState) continue;
    if (!stopping && now - armedAt > std::chrono::milliseconds(limit)) {
      stopping = true;
      stopAt = now;
      stopRequested.store(true);
    }
    if (!stopping) continue;
    armHooks();
    // Loops in error handlers run with hooks off; they cannot be stopped.
    if (now - stopAt > std::chrono::milliseconds(graceMs.load())) {
      printf("Lua error: script does not stop; ending the engine\n");
      fflush(stdout);
      _exit(1);
    }
  }
}

// Called with guard held.
void startWatchdog() {
  if (threadStarted) return;
  threadStarted = true;
  std::thread(watch).detach();
}

}  // namespace

void beginScriptCall(lua_State* L) {
  std::lock_guard<std::mutex> lock(guard);
  if (callDepth++ == 0) {
    armedState = L;
    armedAt = Clock::now();
  }
  startWatchdog();
}

void endScriptCall(lua_State* L) {
  std::lock_guard<std::mutex> lock(guard);
  if (--callDepth > 0) return;
  callDepth = 0;
  if (stopping) {
    if (lua_gethook(L) == stopHook) lua_sethook(L, nullptr, 0, 0);
    stopping = false;
    stopRequested.store(false);
  }
  armedState = nullptr;
  runningDepth = 0;
}

void beginScriptClose() {
  std::lock_guard<std::mutex> lock(guard);
  closing = true;
  closeAt = Clock::now();
  startWatchdog();
}

void endScriptClose() {
  std::lock_guard<std::mutex> lock(guard);
  closing = false;
}

void enterCoroutine(lua_State* co) {
  std::lock_guard<std::mutex> lock(guard);
  if (runningDepth < maxTracked) running[runningDepth] = co;
  ++runningDepth;
  // A coroutine suspended with the hook from an earlier stop runs freely
  // again; one resumed during a stop is stopped at once.
  if (stopping)
    lua_sethook(co, stopHook, LUA_MASKCOUNT, 1);
  else if (lua_gethook(co) == stopHook)
    lua_sethook(co, nullptr, 0, 0);
}

void leaveCoroutine() {
  std::lock_guard<std::mutex> lock(guard);
  if (runningDepth > 0) --runningDepth;
}

void setScriptTimeLimit(int limit, int grace) {
  limitMs.store(limit > 0 ? limit : 1);
  graceMs.store(grace > 0 ? grace : 0);
}
