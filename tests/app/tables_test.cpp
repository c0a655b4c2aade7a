// Choosing between a table given by path and an installed one, listing the
// installed tables, and naming the player's save folder.
#include "app/tables.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A scratch folder holding an installed-tables folder and a working
// directory, which the test enters.
class Tables : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvane-tables-XXXXXX";
    root_ = mkdtemp(pattern);
    installed_ = root_ + "/share";
    fs::create_directories(root_ + "/work");
    ASSERT_TRUE(getcwd(previous_, sizeof previous_));
    ASSERT_EQ(chdir((root_ + "/work").c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(previous_), 0);
    fs::remove_all(root_);
  }

  void install(const std::string& name, bool withArchive = true) const {
    fs::create_directories(installed_ + "/" + name);
    if (withArchive) std::ofstream(installed_ + "/" + name + "/data.dat") << "x";
  }

  std::string root_, installed_;
  char previous_[4096];
};

}  // namespace

TEST_F(Tables, AFolderInTheWorkingDirectoryWinsOverAnInstalledTable) {
  install("default");
  fs::create_directories("default");
  Table t = chooseTable("default", installed_, "/xdg", "/home/p");
  EXPECT_EQ(t.directory, "default");
  EXPECT_FALSE(t.installed);
  EXPECT_EQ(t.saveFolder, "");
  // An absolute path is a path too.
  t = chooseTable(root_ + "/work", installed_, "/xdg", "/home/p");
  EXPECT_EQ(t.directory, root_ + "/work");
  EXPECT_FALSE(t.installed);
}

TEST_F(Tables, AMissingFolderFallsBackToTheInstalledTableOfThatName) {
  install("default");
  Table t = chooseTable("default", installed_, "/xdg", "/home/p");
  EXPECT_EQ(t.directory, installed_ + "/default");
  EXPECT_TRUE(t.installed);
  EXPECT_EQ(t.saveFolder, "/xdg/orvane/default");
  // A file of that name is no table folder.
  std::ofstream("default") << "not a folder";
  EXPECT_TRUE(chooseTable("default", installed_, "/xdg", "/home/p").installed);
}

TEST_F(Tables, OnlyPlainNamesOfRealTablesAreLookedUp) {
  install("default");
  install("empty", false);  // no data.dat: not a table
  fs::create_directories(root_ + "/work/sub");
  for (const std::string& given :
       {std::string("sub/default"), std::string("./default"), std::string(".."),
        std::string("empty"), std::string("absent"), std::string("")}) {
    Table t = chooseTable(given, installed_, "/xdg", "/home/p");
    EXPECT_EQ(t.directory, given);
    EXPECT_FALSE(t.installed) << given;
  }
  // With no installed folder known, a name stays a name.
  EXPECT_FALSE(chooseTable("default", "", "/xdg", "/home/p").installed);
}

TEST_F(Tables, ListingNamesTheTablesInOrder) {
  install("zebra");
  install("alpha");
  install("middle");
  install("broken", false);
  std::ofstream(installed_ + "/loose.dat") << "x";
  EXPECT_EQ(installedTables(installed_), (std::vector<std::string>{"alpha", "middle", "zebra"}));
  EXPECT_TRUE(installedTables(root_ + "/nowhere").empty());

  testing::internal::CaptureStdout();
  printInstalledTables(installed_);
  printInstalledTables(root_ + "/nowhere");
  EXPECT_EQ(
      testing::internal::GetCapturedStdout(),
      "Installed tables in '" + installed_ +
          "':\n  alpha (Orvane: Alpha)\n  middle (Orvane: Middle)\n  zebra (Orvane: Zebra)\n" +
          "No tables installed in '" + root_ + "/nowhere'\n");
}

TEST(TableMenu, NamesAndEntriesFollowTheFolderName) {
  const struct {
    const char* table;
    const char* name;
  } cases[] = {{"default", "Orvane"},
               {"comet", "Orvane: Comet"},
               {"night_rider-2", "Orvane: Night rider 2"},
               {"Zed", "Orvane: Zed"},
               {"9ball", "Orvane: 9ball"}};
  for (const auto& c : cases) EXPECT_EQ(tableMenuName(c.table), c.name) << c.table;

  // The default table starts as the player types it, with no argument.
  EXPECT_NE(tableDesktopEntry("default", "orvane").find("\nExec=orvane\n"), std::string::npos);
  std::string comet = tableDesktopEntry("comet", "orvane-comet");
  for (const char* line : {"Name=Orvane: Comet\n", "Exec=orvane comet\n", "Icon=orvane-comet\n"})
    EXPECT_NE(comet.find(line), std::string::npos) << line << " in:\n" << comet;
}

TEST(UserSaveFolder, FollowsTheXdgRules) {
  EXPECT_EQ(userSaveFolder("default", "/data", "/home/p"), "/data/orvane/default");
  // Unset, empty and relative XDG_DATA_HOME all mean the default under $HOME.
  for (const char* xdg : {static_cast<const char*>(nullptr), "", "relative/data"})
    EXPECT_EQ(userSaveFolder("default", xdg, "/home/p"), "/home/p/.local/share/orvane/default");
  EXPECT_EQ(userSaveFolder("default", nullptr, nullptr), "");
  EXPECT_EQ(userSaveFolder("default", "", "not/absolute"), "");
}
