// The handlers only set a flag; the main loop reads it between iterations
// and shuts down the normal way.
#include "app/stop_signals.h"

#include <signal.h>

namespace {

volatile sig_atomic_t stopFlag = 0;

void onStopSignal(int) {
  stopFlag = 1;
}

}  // namespace

void watchStopSignals() {
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool stopRequested() {
  return stopFlag != 0;
}
