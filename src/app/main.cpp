// Process entry: the command line, the engine run, and the shutdown that
// follows a normal end and a failed start-up alike.
#include <cstdio>

#include "app/engine.h"
#include "app/paths.h"
#include "audio/audio_system.h"
#include "gfx/graphics.h"

int main(int argc, char** argv) {
  // Tests and pipes read the console as it comes.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  CommandLine options;
  if (!parseCommandLine(argc, argv, options)) return 1;
  setDataDirectory(options.dataDirectory.c_str());
  int code = runEngine(options);
  std::printf("Cleaning up..\n");
  cleanup();
  AudioSystem::shutdown();
  shutdownGraphics();
  std::printf("Exiting; thanks for playing!\n");
  return code;
}
