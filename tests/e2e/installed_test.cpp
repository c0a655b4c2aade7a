// The engine as a player installs it: `cmake --install` of this build into a
// temporary root, then the installed orvane run from another folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "harness.h"

namespace {

class Installed : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string command = "DESTDIR='" + root.path() + "' cmake --install '" + ORVANE_BINARY_DIR +
                          "' --prefix /usr > '" + root.path() + "/install.log' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << root.read("install.log");
    options.executable = root.path() + "/usr/games/orvane";
    options.workingDirectory = elsewhere.path();
  }

  std::string tables() const { return root.path() + "/usr/share/games/orvane"; }

  e2e::DataDir root, elsewhere;
  e2e::EngineOptions options;
};

TEST_F(Installed, PlaysTheInstalledDefaultTable) {
  e2e::Engine engine;
  ASSERT_TRUE(engine.start({tables() + "/default", "-windowed"}, options));
  ASSERT_TRUE(engine.waitForLine("[TABLE] Orvane Pinball ready; high score 0"))
      << engine.transcript();
  ASSERT_TRUE(engine.waitForLine("Main loop..")) << engine.transcript();
  engine.interrupt();
  EXPECT_EQ(engine.waitForExit(), 0) << engine.transcript();
}

}  // namespace
