// Placeholder event pump.
#include "app/engine.h"
void pollEvents() {}
