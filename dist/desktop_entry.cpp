// A table's desktop entry, written at build time from the same names that
// `orvane -list` prints.
//   orvane-desktop-entry TABLE ICON OUT.desktop
#include <cstdio>
#include <fstream>

#include "app/tables.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: orvane-desktop-entry TABLE ICON OUT.desktop\n");
    return 2;
  }
  std::ofstream out(argv[3], std::ios::binary);
  out << tableDesktopEntry(argv[1], argv[2]);
  if (!out.flush()) {
    std::fprintf(stderr, "orvane-desktop-entry: cannot write '%s'\n", argv[3]);
    return 1;
  }
  return 0;
}
