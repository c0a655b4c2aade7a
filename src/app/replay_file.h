// The recording of a game: what the script saw at each world step that can
// differ from one run to the next, written as the game goes and read back
// step by step. docs/replay.md describes the format.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "script/game_keys.h"

constexpr uint32_t replayVersion = 1;
// Steps between two checksums of the world: one second of game time. Each
// checksum also closes a block, so a crash loses at most that much.
constexpr int64_t replayCheckInterval = 300;

struct ReplayHeader {
  uint64_t seed = 0;         // math.random's seed
  uint64_t tableData = 0;    // checksum of data.dat
  uint64_t tableScript = 0;  // checksum of game.lua
  std::string properties;    // the property store as the game found it (a save.dat image)
};

enum class ReplayEventKind : uint8_t { Keys = 1, Fps = 2, Check = 3, End = 4 };

// One event, stamped with the number of world steps completed when it
// happened: keys and fps take effect before the next step, a check is the
// world's checksum after that many steps, and the end mark closes the game.
struct ReplayEvent {
  int64_t step = 0;
  ReplayEventKind kind = ReplayEventKind::End;
  KeyState keys;
  float fps = 0;
  uint64_t check = 0;
};

class ReplayWriter {
 public:
  ReplayWriter() = default;
  ~ReplayWriter();  // closes without an end mark, as a crash would
  ReplayWriter(const ReplayWriter&) = delete;
  ReplayWriter& operator=(const ReplayWriter&) = delete;

  // Creates (or replaces) the file and writes the header; false when that
  // fails, with the reason in error.
  bool open(const char* path, const ReplayHeader& header, std::string& error);
  bool isOpen() const { return file_ != nullptr; }
  // Events in step order. Each goes into the current block; a check ends the
  // block, which is then written and flushed.
  void keys(int64_t step, const KeyState& keys);
  void fps(int64_t step, float value);
  void check(int64_t step, uint64_t sum);
  // The end mark; writes what is left and closes the file.
  void finish(int64_t step);
  // After a failed write the writer is closed; error says why, once.
  bool failed() const { return failed_; }

 private:
  void event(int64_t step, ReplayEventKind kind);
  void writeBlock();
  void fail();

  std::FILE* file_ = nullptr;
  std::string block_;
  int64_t lastStep_ = 0;
  bool failed_ = false;
};

enum class ReplayRead {
  Event,     // event holds the next event
  End,       // the end mark: the game ended at event.step
  CutShort,  // the file stops without an end mark (the game was killed)
  Damaged,   // the next block cannot be trusted; problem() says why
};

class ReplayReader {
 public:
  ReplayReader() = default;
  ~ReplayReader();
  ReplayReader(const ReplayReader&) = delete;
  ReplayReader& operator=(const ReplayReader&) = delete;

  // Takes the file and reads the header; false with the reason in error.
  bool open(std::FILE* file, std::string& error);
  const ReplayHeader& header() const { return header_; }
  // The next event in step order. After anything but Event it keeps
  // answering the same, and step() is where the trustworthy part ended.
  ReplayRead next(ReplayEvent& event);
  int64_t step() const { return step_; }
  const std::string& problem() const { return problem_; }

 private:
  bool readBlock();
  ReplayRead stop(ReplayRead why, const char* problem);

  std::FILE* file_ = nullptr;
  ReplayHeader header_;
  std::string block_;
  size_t blockPos_ = 0;
  int64_t step_ = 0;
  ReplayRead stopped_ = ReplayRead::Event;
  std::string problem_;
};
