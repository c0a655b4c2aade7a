// Placeholder physics set-up.
#include "world/physics.h"
#include <ode/ode.h>
void initPhysics() { dInitODE2(0); }
void closePhysics() { dCloseODE(); }
