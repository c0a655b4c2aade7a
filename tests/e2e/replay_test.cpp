// Recordings of real games: a game of the default table played with real
// key presses is replayed headless and in a window with the same console
// and the same save.dat; a changed key press is reported where the world
// first differs; damaged recordings are refused or cut where they break.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/replay_file.h"
#include "default_table.h"
#include "harness.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool contains(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& l : lines)
    if (l.find(text) != std::string::npos) return true;
  return false;
}

// The lines of the game itself: after "Main loop.." and before the first
// line that starts with `until`. Without audio, also without the audio
// system's lines, which only a run with a sound device prints.
std::vector<std::string> gameLines(const std::vector<std::string>& lines, const std::string& until,
                                   bool withAudio = true) {
  std::vector<std::string> out;
  bool in = false;
  for (const std::string& l : lines) {
    if (!in) {
      in = l == "Main loop..";
      continue;
    }
    if (l.rfind(until, 0) == 0) break;
    if (!withAudio && l.rfind("[AUDIO] ", 0) == 0) continue;
    out.push_back(l);
  }
  return out;
}

// Every event of a recording up to where reading stops; `last` is that answer.
std::vector<ReplayEvent> readEvents(const std::string& path, ReplayHeader* header = nullptr,
                                    ReplayRead* last = nullptr) {
  std::vector<ReplayEvent> events;
  ReplayReader reader;
  std::string error;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file || !reader.open(file, error)) return events;
  if (header) *header = reader.header();
  ReplayEvent e;
  ReplayRead r;
  while ((r = reader.next(e)) == ReplayRead::Event) events.push_back(e);
  if (r == ReplayRead::End) events.push_back(e);
  if (last) *last = r;
  return events;
}

// The game keys as the recording has them so far.
KeyState recordedKeys(const std::string& path) {
  KeyState keys;
  for (const ReplayEvent& e : readEvents(path))
    if (e.kind == ReplayEventKind::Keys) keys = e.keys;
  return keys;
}

void writeRecording(const std::string& path, const ReplayHeader& header,
                    const std::vector<ReplayEvent>& events) {
  ReplayWriter writer;
  std::string error;
  ASSERT_TRUE(writer.open(path.c_str(), header, error)) << error;
  for (const ReplayEvent& e : events) {
    switch (e.kind) {
      case ReplayEventKind::Keys:
        writer.keys(e.step, e.keys);
        break;
      case ReplayEventKind::Fps:
        writer.fps(e.step, e.fps);
        break;
      case ReplayEventKind::Check:
        writer.check(e.step, e.check);
        break;
      case ReplayEventKind::End:
        writer.finish(e.step);
        break;
    }
  }
}

ReplayEvent keysAt(int64_t step, std::initializer_list<GameKey> held) {
  ReplayEvent e;
  e.step = step;
  e.kind = ReplayEventKind::Keys;
  for (GameKey k : held) e.keys[k] = true;
  return e;
}

ReplayEvent endAt(int64_t step) {
  ReplayEvent e;
  e.step = step;
  return e;
}

class Replay : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string built = std::string(ORVANE_BINARY_DIR) + "/default/";
    std::string data = readFile(built + "data.dat");
    ASSERT_FALSE(data.empty()) << "build the default_table target first (" << built << "data.dat)";
    table.write("data.dat", data);
    // One ball per game, so that a game ends (and saves) within seconds.
    std::string script = readFile(built + "game.lua");
    size_t at = script.find("BALLS_PER_GAME = 3");
    ASSERT_NE(at, std::string::npos);
    script[at + 17] = '1';
    table.write("game.lua", script);
    table.write("table-theme.wav", readFile(built + "table-theme.wav"));
  }

  std::string path(const std::string& name) const { return files.path() + "/" + name; }

  // Runs the engine headless to its end; returns its exit code.
  int runHeadless(std::vector<std::string> args, e2e::Engine& engine) {
    args.insert(args.begin(), {table.path(), "-headless"});
    e2e::EngineOptions options;
    options.display = false;
    if (!engine.start(args, options)) return -1;
    return engine.waitForExit(120000);
  }

  // A recording with the world's checksums: keys written by hand, played
  // headless once while recording. Attract mode; the flippers move.
  std::string checkedRecording() {
    std::string keysOnly = path("keys.rec"), full = path("full.rec");
    writeRecording(keysOnly, ReplayHeader(),
                   {keysAt(100, {KeyLpad}), keysAt(700, {}), keysAt(900, {KeyRpad}),
                    keysAt(950, {}), endAt(1500)});
    e2e::Engine engine;
    EXPECT_EQ(runHeadless({"-replay", keysOnly, "-record", full}, engine), 0)
        << engine.transcript();
    return full;
  }

  e2e::DataDir table, files;
};

TEST_F(Replay, RecordedGamePlaysTheSameHeadlessAndInAWindow) {
  const std::string recording = path("game.rec");
  e2e::Engine player;
  ASSERT_TRUE(player.start({table.path(), "-windowed", "-record", recording}));
  ASSERT_TRUE(player.waitForLine("[RECORD] Recording to '" + recording + "'"))
      << player.transcript();
  ASSERT_TRUE(player.waitForLine("Main loop..")) << player.transcript();

  ASSERT_TRUE(player.press("F1", "[TABLE] game started with 1 player(s)")) << player.transcript();
  ASSERT_TRUE(e2e::launchBall(player, 6)) << player.transcript();
  // Each flipper is held until the recording shows it, which is on disk
  // within a second of play.
  for (auto [key, game] : {std::pair("Shift_L", KeyLpad), std::pair("Shift_R", KeyRpad)}) {
    const long start = player.frames();
    ASSERT_TRUE(player.hold(key, [&] { return player.frames() >= start + 8; }));
    EXPECT_TRUE(player.waitUntil([&] { return recordedKeys(recording)[game]; },
                                 std::string(key) + " held in the recording"))
        << player.transcript();
    player.release(key);
  }

  // Play on until the ball drains for good: a saved ball comes back to the
  // plunger and is shot again.
  ASSERT_TRUE(e2e::playUntil(
      player, [&] { return contains(player.lines(), "[TABLE] game over"); }, 300))
      << player.transcript();
  ASSERT_TRUE(player.waitForLineContaining("[TABLE] player 1 scored ")) << player.transcript();
  player.terminate();
  ASSERT_EQ(player.waitForExit(), 0) << player.transcript();
  const std::vector<std::string> played = gameLines(player.lines(), "Cleaning up..");
  EXPECT_TRUE(contains(played, "[TABLE] ball drained"));
  const std::string saved = table.read("save.dat");
  ASSERT_FALSE(saved.empty());

  ReplayRead last;
  std::vector<ReplayEvent> events = readEvents(recording, nullptr, &last);
  ASSERT_EQ(last, ReplayRead::End);
  const std::string end =
      "[REPLAY] End of the recording at step " + std::to_string(events.back().step);

  e2e::Engine headless;
  ASSERT_EQ(runHeadless({"-replay", recording, "-save", path("headless.dat")}, headless), 0)
      << headless.transcript();
  EXPECT_TRUE(contains(headless.lines(), end)) << headless.transcript();
  EXPECT_FALSE(contains(headless.lines(), "WARNING")) << headless.transcript();

  e2e::Engine window;
  ASSERT_TRUE(
      window.start({table.path(), "-windowed", "-replay", recording, "-save", path("window.dat")}));
  // The window replays in real time, as fast as the machine allows.
  ASSERT_TRUE(window.waitForLine(end + "; live input from here", 600000)) << window.transcript();
  window.terminate();
  ASSERT_EQ(window.waitForExit(), 0) << window.transcript();

  // The window prints what the game printed; headless too, but for the audio
  // system, which runs only with a sound device.
  EXPECT_EQ(gameLines(window.lines(), "[REPLAY] End"), played);
  EXPECT_EQ(gameLines(headless.lines(), "[REPLAY] End"),
            gameLines(window.lines(), "[REPLAY] End", false));
  EXPECT_FALSE(contains(gameLines(headless.lines(), "[REPLAY] End"), "differs"));
  EXPECT_EQ(readFile(path("headless.dat")), saved);
  EXPECT_EQ(readFile(path("window.dat")), saved);
}

TEST_F(Replay, ReloadIsRefusedWhileRecording) {
  const std::string recording = path("game.rec");
  e2e::Engine player;
  ASSERT_TRUE(player.start({table.path(), "-windowed", "-record", recording}));
  ASSERT_TRUE(player.waitForLine("Main loop..")) << player.transcript();
  EXPECT_TRUE(player.press("F5", "Reload refused while a game is recorded or replayed"))
      << player.transcript();
  player.terminate();
  ASSERT_EQ(player.waitForExit(), 0) << player.transcript();
  EXPECT_FALSE(contains(player.lines(), "Reloading")) << player.transcript();
  ReplayRead last;
  readEvents(recording, nullptr, &last);
  EXPECT_EQ(last, ReplayRead::End);
}

TEST_F(Replay, ChangedKeyPressIsReportedAtTheFirstCheckThatDiffers) {
  const std::string full = checkedRecording();
  ReplayHeader header;
  std::vector<ReplayEvent> events = readEvents(full, &header);
  ASSERT_FALSE(events.empty());

  // The same recording plays back without a word about differences.
  e2e::Engine same;
  ASSERT_EQ(runHeadless({"-replay", full}, same), 0) << same.transcript();
  EXPECT_TRUE(contains(same.lines(), "[REPLAY] End of the recording at step 1500"))
      << same.transcript();
  EXPECT_FALSE(contains(same.lines(), "differs")) << same.transcript();

  // Without the left flipper's press, the world differs at the first check
  // after it, and the replay says so once and plays on to the end.
  int64_t pressed = -1;
  for (ReplayEvent& e : events)
    if (e.kind == ReplayEventKind::Keys && e.keys[KeyLpad]) {
      if (pressed < 0) pressed = e.step;
      e.keys[KeyLpad] = false;
    }
  ASSERT_EQ(pressed, 100);
  const std::string changed = path("changed.rec");
  writeRecording(changed, header, events);
  e2e::Engine other;
  ASSERT_EQ(runHeadless({"-replay", changed}, other), 0) << other.transcript();
  const int64_t firstCheck = (pressed / replayCheckInterval + 1) * replayCheckInterval;
  std::vector<std::string> lines = gameLines(other.lines(), "[REPLAY] End");
  int reports = 0;
  for (const std::string& l : lines) reports += l.find("differs") != std::string::npos;
  EXPECT_EQ(reports, 1) << other.transcript();
  EXPECT_TRUE(contains(lines, "[REPLAY] The game differs from the recording at step " +
                                  std::to_string(firstCheck) + " (it was the same at step " +
                                  std::to_string(firstCheck - replayCheckInterval) + ")"))
      << other.transcript();
  EXPECT_TRUE(contains(other.lines(), "[REPLAY] End of the recording at step 1500"));
}

TEST_F(Replay, BadRecordingsAreRefusedBeforeTheGameStarts) {
  const std::string full = checkedRecording();
  const std::string bytes = readFile(full);
  files.write("text.rec", "print('not a recording')\n");
  std::string newer = bytes;
  newer[8] = 2;
  files.write("newer.rec", newer);
  files.write("short.rec", bytes.substr(0, 20));
  struct Case {
    std::vector<std::string> args;
    std::string line;
  } cases[] = {
      {{"-replay", path("missing.rec")},
       "[REPLAY] Unable to play '" + path("missing.rec") + "': it cannot be opened as a file"},
      {{"-replay", files.path()},
       "[REPLAY] Unable to play '" + files.path() + "': it cannot be opened as a file"},
      {{"-replay", path("text.rec")},
       "[REPLAY] Unable to play '" + path("text.rec") + "': it is not a recording"},
      {{"-replay", path("newer.rec")},
       "[REPLAY] Unable to play '" + path("newer.rec") +
           "': it was recorded in format version 2, and this engine plays version 1"},
      {{"-replay", path("short.rec")},
       "[REPLAY] Unable to play '" + path("short.rec") + "': its header is cut short"},
      {{"-replay", full, "-record", full},
       "[RECORD] Unable to record to '" + full + "': it is the recording being played"},
      {{"-record", path("no/such/dir.rec")},
       "[RECORD] Unable to record to '" + path("no/such/dir.rec") + "': No such file or directory"},
  };
  for (const Case& c : cases) {
    e2e::Engine engine;
    EXPECT_EQ(runHeadless(c.args, engine), 1) << engine.transcript();
    EXPECT_TRUE(contains(engine.lines(), c.line)) << c.line << "\n" << engine.transcript();
    EXPECT_FALSE(contains(engine.lines(), "Main loop..")) << engine.transcript();
  }
  EXPECT_EQ(readFile(full), bytes);  // refusing to record over it left it whole
}

TEST_F(Replay, DamageLaterInTheFileEndsTheReplayWhereItBegins) {
  const std::string full = checkedRecording();
  const std::string bytes = readFile(full);
  // The first block ends at step 300; spoil a byte of the second and cut the
  // file in the middle of the third.
  size_t firstBlockEnd = bytes.size();
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    files.write("probe.rec", bytes.substr(0, cut));
    std::vector<ReplayEvent> got = readEvents(path("probe.rec"));
    if (!got.empty() && got.back().step == 300) {
      firstBlockEnd = cut;
      break;
    }
  }
  ASSERT_LT(firstBlockEnd + 10, bytes.size());
  std::string spoiled = bytes;
  spoiled[firstBlockEnd + 6] ^= 0x10;
  files.write("spoiled.rec", spoiled);
  e2e::Engine engine;
  ASSERT_EQ(runHeadless({"-replay", path("spoiled.rec")}, engine), 0) << engine.transcript();
  EXPECT_TRUE(contains(
      engine.lines(),
      "[REPLAY] The recording is damaged from step 300 on: a block does not match its checksum"))
      << engine.transcript();

  // A file cut in the second block, as a killed game leaves it.
  files.write("cut.rec", bytes.substr(0, firstBlockEnd + 8));
  e2e::Engine cut;
  ASSERT_EQ(runHeadless({"-replay", path("cut.rec")}, cut), 0) << cut.transcript();
  EXPECT_TRUE(contains(
      cut.lines(), "[REPLAY] The recording stops at step 300: it ends in the middle of a block"))
      << cut.transcript();
}

}  // namespace
