// Process entry.
#include "app/engine.h"
int main(int argc, char** argv) {
  if (!parseCommandLine(argc, argv)) return 1;
  int code = runEngine();
  cleanup();
  return code;
}
