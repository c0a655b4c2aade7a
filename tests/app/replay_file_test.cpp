// Recordings written and read back, and every way a file can be damaged:
// the reader delivers what precedes the damage and then says what it is.
#include "app/replay_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

class ReplayFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvane-replay-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    path = dir + "/game.rec";
  }
  void TearDown() override {
    std::remove(path.c_str());
    std::remove(dir.c_str());
  }

  static KeyState keysOf(std::initializer_list<GameKey> held) {
    KeyState keys;
    for (GameKey k : held) keys[k] = true;
    return keys;
  }

  // Two blocks (each ends with a check) and the end mark.
  void writeGame() {
    ReplayWriter writer;
    std::string error;
    ASSERT_TRUE(writer.open(path.c_str(), header(), error)) << error;
    writer.keys(0, keysOf({KeyStart1}));
    writer.keys(40, keysOf({}));
    writer.fps(100, 333.25f);
    writer.keys(299, keysOf({KeyLpad, KeyStart4}));
    writer.check(300, 0x1122334455667788ull);
    writer.keys(300, keysOf({}));
    writer.check(600, 42);
    writer.finish(650);
  }

  static ReplayHeader header() {
    ReplayHeader h;
    h.seed = 0x0123456789abcdefull;
    h.tableData = 7;
    h.tableScript = 8;
    h.properties = std::string("\x01\0\0\0\x01\0\0\0k\x01\0\0\0v", 14);
    return h;
  }

  std::string bytes() const {
    std::string out;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    int c;
    while (f && (c = std::fgetc(f)) != EOF) out.push_back(char(c));
    if (f) std::fclose(f);
    return out;
  }

  // Opens a copy of the bytes; error is empty when the header was fine.
  bool openBytes(ReplayReader& reader, const std::string& data, std::string& error) {
    std::FILE* f = std::tmpfile();
    std::fwrite(data.data(), 1, data.size(), f);
    std::rewind(f);
    return reader.open(f, error);
  }

  // Every event up to the first answer that is not Event.
  static ReplayRead readAll(ReplayReader& reader, std::vector<ReplayEvent>& events) {
    ReplayEvent e;
    ReplayRead r;
    while ((r = reader.next(e)) == ReplayRead::Event) events.push_back(e);
    if (r == ReplayRead::End) events.push_back(e);
    return r;
  }

  std::string dir, path;
};

}  // namespace

TEST_F(ReplayFile, GameReadsBackAsWritten) {
  writeGame();
  ReplayReader reader;
  std::string error;
  ASSERT_TRUE(reader.open(std::fopen(path.c_str(), "rb"), error)) << error;
  EXPECT_EQ(reader.header().seed, 0x0123456789abcdefull);
  EXPECT_EQ(reader.header().tableData, 7u);
  EXPECT_EQ(reader.header().tableScript, 8u);
  EXPECT_EQ(reader.header().properties, header().properties);

  std::vector<ReplayEvent> events;
  ASSERT_EQ(readAll(reader, events), ReplayRead::End);
  ASSERT_EQ(events.size(), 8u);
  EXPECT_EQ(events[0].step, 0);
  EXPECT_TRUE(events[0].keys == keysOf({KeyStart1}));
  EXPECT_EQ(events[1].step, 40);
  EXPECT_EQ(events[2].kind, ReplayEventKind::Fps);
  EXPECT_EQ(events[2].fps, 333.25f);
  EXPECT_TRUE(events[3].keys == keysOf({KeyLpad, KeyStart4}));
  EXPECT_EQ(events[4].kind, ReplayEventKind::Check);
  EXPECT_EQ(events[4].step, 300);
  EXPECT_EQ(events[4].check, 0x1122334455667788ull);
  EXPECT_EQ(events[5].step, 300);
  EXPECT_EQ(events[6].check, 42u);
  EXPECT_EQ(events[7].kind, ReplayEventKind::End);
  EXPECT_EQ(events[7].step, 650);
  // The end keeps answering end.
  ReplayEvent e;
  EXPECT_EQ(reader.next(e), ReplayRead::End);
}

TEST_F(ReplayFile, EachBlockIsOnDiskOnceItsCheckIsWritten) {
  ReplayWriter writer;
  std::string error;
  ASSERT_TRUE(writer.open(path.c_str(), header(), error));
  writer.keys(5, keysOf({KeyLaunch}));
  size_t headerOnly = bytes().size();
  writer.check(300, 1);
  size_t oneBlock = bytes().size();
  EXPECT_GT(oneBlock, headerOnly);
  writer.keys(310, keysOf({}));
  EXPECT_EQ(bytes().size(), oneBlock);  // a crash here loses only this block

  // What a killed game leaves: everything up to the last check.
  ReplayReader reader;
  ASSERT_TRUE(openBytes(reader, bytes(), error));
  std::vector<ReplayEvent> events;
  EXPECT_EQ(readAll(reader, events), ReplayRead::CutShort);
  EXPECT_EQ(events.size(), 2u);
  EXPECT_EQ(reader.step(), 300);
}

TEST_F(ReplayFile, EveryCutDeliversWhatPrecedesItAndNeverMore) {
  writeGame();
  const std::string whole = bytes();
  size_t headerEnd = 0;
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    ReplayReader reader;
    std::string error;
    if (!openBytes(reader, whole.substr(0, cut), error)) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    if (!headerEnd) headerEnd = cut;
    std::vector<ReplayEvent> events;
    EXPECT_EQ(readAll(reader, events), ReplayRead::CutShort) << cut;
    // Whole blocks or nothing: 0, 5 or 7 events.
    EXPECT_TRUE(events.size() == 0 || events.size() == 5 || events.size() == 7) << cut;
  }
  EXPECT_GT(headerEnd, 0u);
}

TEST_F(ReplayFile, FlippedByteStopsAtTheBlockItSpoils) {
  writeGame();
  const std::string whole = bytes();
  // A byte in the second block: the first block plays, then damage.
  std::string spoiled = whole;
  spoiled[whole.size() - 30] ^= 0x40;  // the second block is 27 bytes, the last 14
  ReplayReader reader;
  std::string error;
  ASSERT_TRUE(openBytes(reader, spoiled, error));
  std::vector<ReplayEvent> events;
  EXPECT_EQ(readAll(reader, events), ReplayRead::Damaged);
  EXPECT_EQ(events.size(), 5u);
  EXPECT_EQ(reader.step(), 300);
  EXPECT_EQ(reader.problem(), "a block does not match its checksum");

  // Any byte of the header: refused before anything is read.
  for (size_t i = 0; i < 60; ++i) {
    std::string bad = whole;
    bad[i] ^= 0x01;
    ReplayReader r;
    EXPECT_FALSE(openBytes(r, bad, error)) << i;
  }
}

TEST_F(ReplayFile, HeaderProblemsAreNamed) {
  writeGame();
  const std::string whole = bytes();
  auto refusal = [&](const std::string& data) {
    ReplayReader reader;
    std::string error;
    EXPECT_FALSE(openBytes(reader, data, error));
    return error;
  };
  EXPECT_EQ(refusal(""), "it is not a recording");
  EXPECT_EQ(refusal("-- game.lua\nprint('hello')\n"), "it is not a recording");
  std::string newer = whole;
  newer[8] = 2;
  EXPECT_EQ(refusal(newer), "it was recorded in format version 2, and this engine plays version 1");
  EXPECT_EQ(refusal(whole.substr(0, 20)), "its header is cut short");
  std::string huge = whole;
  huge[15] = char(0x7f);  // a body length of about 2 GiB
  EXPECT_EQ(refusal(huge), "its header is damaged");
}

TEST_F(ReplayFile, WellSealedNonsenseIsDamageNotTrust) {
  // Blocks whose checksums match but whose contents break the rules: each
  // stops the replay where it begins.
  const std::string head = [&] {
    ReplayWriter w;
    std::string error;
    w.open(path.c_str(), header(), error);
    w.finish(0);
    std::string all = bytes();
    return all.substr(0, all.size() - 14);  // without the end mark's block
  }();
  auto sealed = [](const std::string& payload) {
    std::string out;
    for (int s = 0; s < 32; s += 8) out.push_back(char((payload.size() >> s) & 0xFF));
    out += payload;
    uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : payload) h = (h ^ c) * 0x100000001b3ull;
    for (int s = 0; s < 64; s += 8) out.push_back(char((h >> s) & 0xFF));
    return out;
  };
  struct Case {
    std::string payload;
    const char* problem;
  } cases[] = {
      {std::string("\x00\x09", 2), "an event is of an unknown kind"},
      {std::string("\x00\x01\xff\xff", 4), "an event holds unknown keys"},
      {std::string("\x00\x01\x01", 3), "an event is malformed"},
      {std::string("\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\x01", 11), "an event is malformed"},
      {std::string("\xff\xff\xff\xff\xff\xff\xff\x7f\x03", 9), "a step is out of range"},
      {std::string("\x00\x02\x00\x00\xc0\x7f", 6), "an fps value is impossible"},
      {std::string("\x00\x02\x00\x00\x80\xbf", 6), "an fps value is impossible"},
  };
  for (const Case& c : cases) {
    ReplayReader reader;
    std::string error;
    ASSERT_TRUE(openBytes(reader, head + sealed(c.payload), error)) << error;
    std::vector<ReplayEvent> events;
    EXPECT_EQ(readAll(reader, events), ReplayRead::Damaged) << c.problem;
    EXPECT_EQ(reader.problem(), c.problem);
  }
  ReplayReader reader;
  std::string error;
  ASSERT_TRUE(openBytes(reader, head + std::string("\0\0\x20\0", 4), error));
  std::vector<ReplayEvent> events;
  EXPECT_EQ(readAll(reader, events), ReplayRead::Damaged);
  EXPECT_EQ(reader.problem(), "a block has an impossible length");
}
