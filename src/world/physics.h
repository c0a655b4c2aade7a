// Process-wide set-up of the physics library.
#pragma once

// dInitODE2 and the routing of ODE's message, debug and error handlers to
// short console lines (never a flood, never an abort for bad data).
void initPhysics();
// dCloseODE.
void closePhysics();
