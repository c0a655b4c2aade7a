// One run of a game as the script sees it: math.random's seed, the saved
// properties it starts from, and at each world step the game keys and the
// values of fps. They come from the keyboard and the loop clock, or from a
// recording being replayed; a recording being made gets whatever the script
// saw, and the world's checksum every second of game time.
#pragma once

#include <cstdint>
#include <string>

#include "app/command_line.h"
#include "app/replay_file.h"
#include "script/game_keys.h"

class World;
struct lua_State;

class Session {
 public:
  // Opens the recording to replay and the one to make, and starts the
  // property store from the recording when replaying; false after printing
  // why not. Runs before the window opens and before the script exists; the
  // property file must already be named.
  bool open(const CommandLine& options);
  // The seed for math.random: the recording's, or a fresh one.
  uint64_t seed() const { return seed_; }
  // The world and the script state the steps run on.
  void attach(const World* world, lua_State* L);

  // The keys the script reads at the coming step.
  const KeyState& keys() const { return keys_; }
  bool replaying() const { return replaying_; }
  bool recording() const { return writer_.isOpen(); }
  // World steps run so far.
  int64_t stepsRun() const { return step_; }

  // Before each world step: this step's keys and fps, from the recording or
  // from live (the keyboard). False when no more steps are to run: -steps
  // have run, or a headless replay has ended.
  bool beforeStep(const KeyState& live);
  void afterStep();
  // A step-rate report of the loop clock; a replay keeps the recorded ones.
  void liveFps(float value);
  // The end mark of the recording being made.
  void finish();

 private:
  bool openReplay(const CommandLine& options);
  bool openRecording(const CommandLine& options);
  void setKeys(const KeyState& keys);
  void setFps(float value);
  void apply(const ReplayEvent& event);
  void endReplay(ReplayRead why);
  uint64_t checksum();
  // Runs write on the recording being made; a failed write is reported
  // once, and the game goes on unrecorded.
  template <class Write>
  void writeEvent(Write write) {
    if (!writer_.isOpen()) return;
    write();
    if (writer_.failed()) reportWriteFailure();
  }
  void reportWriteFailure();

  const World* world_ = nullptr;
  lua_State* L_ = nullptr;
  bool headless_ = false;
  int64_t stepLimit_ = -1;
  uint64_t seed_ = 0;
  KeyState keys_;
  int64_t step_ = 0;

  bool replaying_ = false;
  bool replayEnded_ = false;
  ReplayReader reader_;
  ReplayEvent pending_;
  bool hasPending_ = false;
  bool diverged_ = false;
  int64_t lastMatch_ = 0;

  ReplayWriter writer_;
  std::string recordFile_;
  int64_t checksumStep_ = -1;
  uint64_t checksum_ = 0;
};
