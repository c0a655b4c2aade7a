// Process-wide set-up of ODE, with its console output kept to a trickle.
#include "world/physics.h"

#include <ode/ode.h>

#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "world/ode_memory.h"
#include "world/polygon_geom.h"

namespace {

// One short line per kind and second at most; the rest are only counted and
// the count is shown with the next line of that kind.
struct Throttle {
  std::time_t lastSecond = -1;
  long suppressed = 0;
};
Throttle messages, debugs, errors;

std::time_t wallSeconds() {
  return std::time(nullptr);
}
SecondsClock messageClock = &wallSeconds;

void report(Throttle& t, const char* kind, int number, const char* format, va_list ap, bool fatal) {
  std::time_t now = messageClock();
  if (!fatal && now == t.lastSecond) {
    ++t.suppressed;
    return;
  }
  t.lastSecond = now;
  char text[160];
  std::vsnprintf(text, sizeof text, format, ap);
  if (t.suppressed > 0) {
    std::printf("[WORLD] ODE %s %d: %s (%ld more not shown)\n", kind, number, text, t.suppressed);
  } else {
    std::printf("[WORLD] ODE %s %d: %s\n", kind, number, text);
  }
  t.suppressed = 0;
  // ODE ends the process after an error or debug trap; the line must get out.
  if (fatal) std::fflush(stdout);
}

void onMessage(int number, const char* format, va_list ap) {
  report(messages, "message", number, format, ap, false);
}
// Reached only when a check failed; ODE aborts when these return, and
// unwinding out of ODE is not possible, so the world keeps bad numbers away
// from it instead.
void onDebug(int number, const char* format, va_list ap) {
  report(debugs, "internal error", number, format, ap, true);
}
void onError(int number, const char* format, va_list ap) {
  report(errors, "error", number, format, ap, true);
}

// dInitODE2 may not run again before dCloseODE, and dCloseODE only after it.
bool ready = false;

}  // namespace

void initPhysics() {
  if (ready) return;
  installOdeMemory();
  if (!dInitODE2(0)) std::printf("[WORLD] ODE failed to initialise\n");
  // Collision detection refuses to run on a thread without its data.
  if (!dAllocateODEDataForThread(dAllocateMaskAll)) {
    std::printf("[WORLD] ODE failed to set up its thread data\n");
  }
  dSetMessageHandler(&onMessage);
  dSetDebugHandler(&onDebug);
  dSetErrorHandler(&onError);
  ready = true;
}

void closePhysics() {
  if (!ready) return;
  dCloseODE();
  forgetPolygonGeomClass();
  ready = false;
}

void setPhysicsMessageClock(SecondsClock clock) {
  messageClock = clock ? clock : &wallSeconds;
}
