// The script errors of a run as a table author reads them on standard error
// and on the screen's error panel. Plain code: the script host feeds it.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// One failure, with the script's files named as in the data directory.
struct ScriptError {
  std::string place;      // "game.lua:12": the script line that failed; empty when none did
  std::string message;    // what was raised
  std::string traceback;  // "\tgame.lua:12: in function 'f'\n" lines, innermost first
};

// Each different error (message and place) of a table is written once with
// its traceback; its repeats are counted, and reported at most once every
// repeatReportSteps steps after the last report while they go on.
class ErrorLog {
 public:
  // One second of game time.
  static constexpr long repeatReportSteps = 300;
  // Different errors kept per log; further kinds are only counted, so that a
  // script raising a new message every step cannot grow the log.
  static constexpr size_t maxKept = 64;

  explicit ErrorLog(FILE* out) : out_(out) {}

  // A failure of the script of table (each script state has its own
  // number). always: written even when it is a repeat (a syntax error,
  // which happens once per load).
  void add(int table, const ScriptError& error, bool always = false);
  // One world step.
  void step();
  // The table's script is closed: its repeats not yet reported are, and its
  // errors are dropped.
  void forget(int table);

  // The table's first error, where and how often, and how many others;
  // empty while the table has none.
  std::string panelText(int table) const;
  // The number of errors of the run and the first; empty when there were none.
  std::string summary() const;

 private:
  struct Entry {
    int table;
    ScriptError error;
    long count;
    long reported;    // count at the last report
    long reportedAt;  // the step of the last report
  };
  void reportRepeats(Entry& entry);
  void reportUnlisted();

  FILE* out_;
  std::vector<Entry> entries_;  // in the order they first happened
  long steps_ = 0;
  long total_ = 0;
  std::string first_;
  long unlisted_ = 0, unlistedReported_ = 0, unlistedAt_ = 0;
};

// "game.lua:12: boom": the message with its place in front unless it
// starts with it already.
std::string errorHeadline(const ScriptError& error);
