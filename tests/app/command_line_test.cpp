// The command line: data directory, display switches and unknown switches.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Parses {"orvane", args...} into options; returns the outcome and what it printed.
bool parse(std::vector<std::string> args, CommandLine& options, std::string* printed = nullptr) {
  args.insert(args.begin(), "orvane");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  testing::internal::CaptureStdout();
  bool ok = parseCommandLine(int(args.size()), argv.data(), options);
  std::string out = testing::internal::GetCapturedStdout();
  if (printed) *printed = out;
  return ok;
}

}  // namespace

TEST(CommandLine, DefaultsToFullScreenOnTheDefaultDirectory) {
  CommandLine options;
  options.dataDirectory = "leftover";
  options.windowed = true;
  std::string out;
  EXPECT_TRUE(parse({}, options, &out));
  EXPECT_EQ(options.dataDirectory, "default");
  EXPECT_FALSE(options.windowed);
  EXPECT_EQ(out, "");
}

TEST(CommandLine, LastDirectoryAndLastDisplaySwitchWin) {
  CommandLine options;
  EXPECT_TRUE(parse({"tables/one", "-windowed"}, options));
  EXPECT_EQ(options.dataDirectory, "tables/one");
  EXPECT_TRUE(options.windowed);

  EXPECT_TRUE(parse({"first", "second"}, options));
  EXPECT_EQ(options.dataDirectory, "second");

  EXPECT_TRUE(parse({"-windowed", "-fullscreen"}, options));
  EXPECT_FALSE(options.windowed);
  EXPECT_EQ(options.dataDirectory, "default");
  EXPECT_TRUE(parse({"-fullscreen", "-windowed", "d"}, options));
  EXPECT_TRUE(options.windowed);
}

TEST(CommandLine, EmptyArgumentIsSkipped) {
  CommandLine options;
  EXPECT_TRUE(parse({"table", ""}, options));
  EXPECT_EQ(options.dataDirectory, "table");
  EXPECT_TRUE(parse({"", "-windowed", ""}, options));
  EXPECT_EQ(options.dataDirectory, "default");
}

TEST(CommandLine, ListSwitchKeepsTheOtherChoices) {
  CommandLine options;
  std::string out;
  EXPECT_TRUE(parse({"table", "-list", "-windowed"}, options, &out));
  EXPECT_TRUE(options.listTables);
  EXPECT_EQ(options.dataDirectory, "table");
  EXPECT_TRUE(options.windowed);
  EXPECT_EQ(out, "");
  EXPECT_TRUE(parse({"table"}, options));
  EXPECT_FALSE(options.listTables);
}

TEST(CommandLine, NearMissSwitchesAreUnknownAndStopTheParse) {
  for (const char* bad :
       {"-Windowed", "-windowedx", "-fullscreen2", "-", "--windowed", "-x", "--list", "-List"}) {
    CommandLine options;
    std::string out;
    EXPECT_FALSE(parse({"dir", bad, "later", "-windowed"}, options, &out)) << bad;
    EXPECT_EQ(out, std::string("Unknown parameter '") + bad + "'\n");
    EXPECT_EQ(options.dataDirectory, "dir");  // later arguments are not read
    EXPECT_FALSE(options.windowed);
  }
}

TEST(CommandLine, RecordReplaySaveAndStepsTakeTheNextArgument) {
  CommandLine options;
  EXPECT_TRUE(parse({"-headless", "-replay", "in.rec", "t", "-record", "out.rec", "-save", "s.dat",
                     "-steps", "180000"},
                    options));
  EXPECT_TRUE(options.headless);
  EXPECT_EQ(options.replayFile, "in.rec");
  EXPECT_EQ(options.recordFile, "out.rec");
  EXPECT_EQ(options.saveFile, "s.dat");
  EXPECT_EQ(options.steps, 180000);
  EXPECT_EQ(options.dataDirectory, "t");  // a value is not a data directory

  EXPECT_TRUE(parse({"-steps", "0", "-replay", "a", "-replay", "b"}, options));
  EXPECT_EQ(options.steps, 0);
  EXPECT_EQ(options.replayFile, "b");
  EXPECT_FALSE(options.headless);
  EXPECT_TRUE(parse({}, options));
  EXPECT_EQ(options.steps, -1);
  EXPECT_EQ(options.recordFile, "");
  EXPECT_EQ(options.rotation, 0);
}

TEST(CommandLine, RotateTakesAQuarterTurnInDegrees) {
  CommandLine options;
  for (int degrees : {90, 180, 270}) {
    EXPECT_TRUE(parse({"t", "-rotate", std::to_string(degrees), "-windowed"}, options));
    EXPECT_EQ(options.rotation, degrees);
    EXPECT_TRUE(options.windowed);
  }
  EXPECT_TRUE(parse({"-rotate", "90", "-rotate", "180"}, options));
  EXPECT_EQ(options.rotation, 180);
}

TEST(CommandLine, SwitchWithoutAUsableValueStopsTheParse) {
  struct Case {
    std::vector<std::string> args;
    const char* line;
  } cases[] = {
      {{"-record"}, "Missing value for parameter '-record'\n"},
      {{"-replay", "-headless"}, "Missing value for parameter '-replay'\n"},
      {{"-save", ""}, "Missing value for parameter '-save'\n"},
      {{"-steps", "ten"}, "Invalid value 'ten' for parameter '-steps'\n"},
      {{"-steps", "12x"}, "Invalid value '12x' for parameter '-steps'\n"},
      {{"-steps", "99999999999999999999"},
       "Invalid value '99999999999999999999' for parameter '-steps'\n"},
      {{"-steps", "-5"}, "Missing value for parameter '-steps'\n"},
      {{"-rotate"}, "Missing value for parameter '-rotate'\n"},
      {{"-rotate", "-90"}, "Missing value for parameter '-rotate'\n"},
      {{"-rotate", "0"}, "Invalid value '0' for parameter '-rotate'\n"},
      {{"-rotate", "45"}, "Invalid value '45' for parameter '-rotate'\n"},
      {{"-rotate", "360"}, "Invalid value '360' for parameter '-rotate'\n"},
      {{"-rotate", "090"}, "Invalid value '090' for parameter '-rotate'\n"},
      {{"-Headless"}, "Unknown parameter '-Headless'\n"},
      {{"--record", "x"}, "Unknown parameter '--record'\n"},
  };
  for (Case& c : cases) {
    CommandLine options;
    std::string out;
    EXPECT_FALSE(parse(c.args, options, &out)) << c.line;
    EXPECT_EQ(out, c.line);
  }
}
