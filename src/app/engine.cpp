// Placeholder start-up.
#include "app/engine.h"
bool parseCommandLine(int, char**) { return true; }
int runEngine() { return 0; }
void cleanup() {}
