// Process entry: the command line, the engine run, and the shutdown that
// follows a normal end and a failed start-up alike.
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/engine.h"
#include "app/paths.h"
#include "app/player_config.h"
#include "app/tables.h"
#include "audio/audio_system.h"
#include "gfx/graphics.h"

namespace {

// $HOME, or the home folder of the account when the variable is not set.
const char* homeFolder() {
  const char* home = std::getenv("HOME");
  if (home && home[0]) return home;
  const passwd* account = getpwuid(getuid());
  return account ? account->pw_dir : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  // Tests and pipes read the console as it comes.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  CommandLine options;
  if (!parseCommandLine(argc, argv, options)) return 1;
  std::string installed = installedTablesFolder(ORVANE_TABLES_FROM_EXECUTABLE);
  if (options.listTables) {
    printInstalledTables(installed);
    return 0;
  }
  PlayerConfig player =
      readPlayerConfig(userConfigFolder(std::getenv("XDG_CONFIG_HOME"), homeFolder()));
  if (options.showControls) {
    std::printf("%s", describeControls(player.controls, player.controlsFile).c_str());
    return 0;
  }
  Table table =
      chooseTable(options.dataDirectory, installed, std::getenv("XDG_DATA_HOME"), homeFolder());
  setDataDirectory(table.directory.c_str());
  int code = runEngine(options, table, player);
  std::printf("Cleaning up..\n");
  cleanup();
  AudioSystem::shutdown();
  shutdownGraphics();
  std::printf("Exiting; thanks for playing!\n");
  return code;
}
