// Joining file names onto the data directory.
#include "app/paths.h"

#include <gtest/gtest.h>

#include <string>

TEST(DataPath, JoinsDirectoryAndName) {
  setDataDirectory("default");
  EXPECT_STREQ(dataPath("data.dat"), "default/data.dat");
  EXPECT_EQ(dataPath(nullptr), nullptr);
  setDataDirectory(nullptr);
  EXPECT_STREQ(dataPath("game.lua"), "game.lua");
}

TEST(DataPath, RefusesJoinsOfTheLimitOrLonger) {
  std::string dir(1000, 'd');
  setDataDirectory(dir.c_str());
  EXPECT_NE(dataPath(std::string(11, 'n').c_str()), nullptr);  // 1000 + 11 + 2 = 1013
  EXPECT_EQ(dataPath(std::string(12, 'n').c_str()), nullptr);  // 1014
  setDataDirectory(nullptr);
}
