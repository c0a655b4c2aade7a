// Process-wide set-up of the physics library.
#pragma once

#include <ctime>

// dInitODE2, this thread's ODE data, and the routing of ODE's message, debug
// and error handlers to short console lines (never a flood). A second call
// before closePhysics does nothing.
void initPhysics();
// dCloseODE, once per initPhysics that did the set-up.
void closePhysics();

// The clock that paces ODE's console lines, in whole seconds: std::time
// unless a test hands in its own, to pass a second without waiting for one.
// nullptr puts std::time back.
using SecondsClock = std::time_t (*)();
void setPhysicsMessageClock(SecondsClock clock);
