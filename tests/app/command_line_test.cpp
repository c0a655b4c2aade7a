// The command line: data directory, display switches and unknown switches.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/input.h"
#include "app/paths.h"

namespace {

// Parses {"orvane", args...}; returns the outcome and what it printed.
bool parse(std::vector<std::string> args, std::string* printed = nullptr) {
  args.insert(args.begin(), "orvane");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  testing::internal::CaptureStdout();
  bool ok = parseCommandLine(int(args.size()), argv.data());
  std::string out = testing::internal::GetCapturedStdout();
  if (printed) *printed = out;
  return ok;
}

}  // namespace

TEST(CommandLine, DefaultsToFullScreenOnTheDefaultDirectory) {
  setDataDirectory("leftover");
  std::string out;
  EXPECT_TRUE(parse({}, &out));
  EXPECT_STREQ(dataDirectory(), "default");
  EXPECT_FALSE(windowed);
  EXPECT_EQ(out, "");
}

TEST(CommandLine, LastDirectoryAndLastDisplaySwitchWin) {
  windowed = false;
  EXPECT_TRUE(parse({"tables/one", "-windowed"}));
  EXPECT_STREQ(dataDirectory(), "tables/one");
  EXPECT_TRUE(windowed);

  EXPECT_TRUE(parse({"first", "second"}));
  EXPECT_STREQ(dataDirectory(), "second");

  EXPECT_TRUE(parse({"-windowed", "-fullscreen"}));
  EXPECT_FALSE(windowed);
  EXPECT_STREQ(dataDirectory(), "default");
  EXPECT_TRUE(parse({"-fullscreen", "-windowed", "d"}));
  EXPECT_TRUE(windowed);
  windowed = false;
}

TEST(CommandLine, EmptyArgumentIsSkipped) {
  EXPECT_TRUE(parse({"table", ""}));
  EXPECT_STREQ(dataDirectory(), "table");
  EXPECT_TRUE(parse({"", "-windowed", ""}));
  EXPECT_STREQ(dataDirectory(), "default");
  windowed = false;
}

TEST(CommandLine, NearMissSwitchesAreUnknownAndStopTheParse) {
  for (const char* bad : {"-Windowed", "-windowedx", "-fullscreen2", "-", "--windowed", "-x"}) {
    windowed = false;
    std::string out;
    EXPECT_FALSE(parse({"dir", bad, "later", "-windowed"}, &out)) << bad;
    EXPECT_EQ(out, std::string("Unknown parameter '") + bad + "'\n");
    EXPECT_STREQ(dataDirectory(), "dir");  // later arguments are not read
    EXPECT_FALSE(windowed);
  }
}
