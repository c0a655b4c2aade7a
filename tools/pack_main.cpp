// Entry of orvane-pack; the work is in the packlib library.
#include <cstdio>

#include "pack_cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return runPackTool(args, stdout, stderr);
}
