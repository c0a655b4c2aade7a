// Process-wide set-up of the physics library.
#pragma once

// dInitODE2, this thread's ODE data, and the routing of ODE's message, debug
// and error handlers to short console lines (never a flood). A second call
// before closePhysics does nothing.
void initPhysics();
// dCloseODE, once per initPhysics that did the set-up.
void closePhysics();
