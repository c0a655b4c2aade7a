// SIGINT and SIGTERM as a stop request when no window runs: with one, SDL
// turns them into a quit event instead.
#pragma once

void watchStopSignals();
bool stopRequested();
