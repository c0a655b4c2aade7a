// Spawning, the HUD and scripts talk on stdout; a benchmark mutes them while
// it works so that its own figures stay readable.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

class Silence {
 public:
  Silence() {
    std::fflush(stdout);
    saved_ = dup(1);
    int devnull = open("/dev/null", O_WRONLY);
    if (devnull >= 0) {
      dup2(devnull, 1);
      close(devnull);
    }
  }
  ~Silence() {
    std::fflush(stdout);
    if (saved_ >= 0) {
      dup2(saved_, 1);
      close(saved_);
    }
  }
  Silence(const Silence&) = delete;
  Silence& operator=(const Silence&) = delete;

 private:
  int saved_;
};
