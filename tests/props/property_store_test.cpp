// The property store against real files in a scratch data directory.
#include "props/property_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "props/property_store_internal.h"

namespace {

using ByteList = std::vector<unsigned char>;

class PropertyStore : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvane-props-XXXXXX";
    dir_ = mkdtemp(pattern);
    setPropertyFile(savePath().c_str());
    resetPropertiesForTest();
    setPropertySaveHook(nullptr);
  }
  void TearDown() override {
    setPropertySaveHook(nullptr);
    resetPropertiesForTest();
    std::filesystem::remove_all(dir_);
    setPropertyFile(nullptr);
  }

  std::string savePath() const { return dir_ + "/save.dat"; }
  bool saveExists() const { return access(savePath().c_str(), F_OK) == 0; }
  ByteList saveBytes() const { return readFile(savePath()); }
  void writeSave(const ByteList& bytes) const { writeFile(savePath(), bytes); }

  static void writeFile(const std::string& path, const ByteList& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }

  static ByteList readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return ByteList(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static void set(const std::string& key, const std::string& value) {
    setProperty(key.data(), key.size(), value.data(), value.size());
  }
  static void remove(const std::string& key) { setProperty(key.data(), key.size(), nullptr, 0); }
  static const std::string* get(const std::string& key) {
    return getProperty(key.data(), key.size());
  }

  std::string dir_;
};

std::string captured(void (*action)()) {
  testing::internal::CaptureStdout();
  action();
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

}  // namespace

TEST_F(PropertyStore, FirstReadWithoutAFileCreatesNothing) {
  EXPECT_EQ(get("hi"), nullptr);
  EXPECT_EQ(getProperty(nullptr, 0), nullptr);
  EXPECT_FALSE(saveExists());
}

TEST_F(PropertyStore, SavedBytesMatchTheFormat) {
  set("hi", "42");
  EXPECT_EQ(saveBytes(), (ByteList{1, 0, 0, 0, 2, 0, 0, 0, 'h', 'i', 2, 0, 0, 0, '4', '2'}));
  remove("hi");
  EXPECT_EQ(saveBytes(), (ByteList{0, 0, 0, 0}));
  remove("absent");  // still rewrites the file
  EXPECT_EQ(saveBytes(), (ByteList{0, 0, 0, 0}));
  set("e", "");  // an empty value stays an entry
  EXPECT_EQ(saveBytes(), (ByteList{1, 0, 0, 0, 1, 0, 0, 0, 'e', 0, 0, 0, 0}));
  ASSERT_NE(get("e"), nullptr);
  EXPECT_EQ(*get("e"), "");
}

TEST_F(PropertyStore, EntriesAreOrderedByUnsignedBytes) {
  set("b", "1");
  set("a", "2");
  set("\x80", "3");
  set("B", "4");
  set("ab", "5");
  // Expected order: "B" (0x42), "a", "ab", "b", "\x80".
  ByteList expected{5, 0, 0, 0};
  for (auto entry : std::vector<std::pair<std::string, std::string>>{
           {"B", "4"}, {"a", "2"}, {"ab", "5"}, {"b", "1"}, {"\x80", "3"}}) {
    for (const std::string* text : {&entry.first, &entry.second}) {
      expected.insert(expected.end(), {uint8_t(text->size()), 0, 0, 0});
      expected.insert(expected.end(), text->begin(), text->end());
    }
  }
  EXPECT_EQ(saveBytes(), expected);
}

TEST_F(PropertyStore, ZeroBytesSurviveARoundTrip) {
  set(std::string("k\0ey", 4), std::string("v\0", 2));
  set("k", "short");
  resetPropertiesForTest();  // next run
  ASSERT_NE(get(std::string("k\0ey", 4)), nullptr);
  EXPECT_EQ(*get(std::string("k\0ey", 4)), std::string("v\0", 2));
  EXPECT_EQ(*get("k"), "short");
  EXPECT_EQ(propertyCount(), 2u);
}

TEST_F(PropertyStore, NoKeyChangesNothing) {
  setProperty(nullptr, 0, "x", 1);
  EXPECT_FALSE(saveExists());
  EXPECT_EQ(propertyCount(), 0u);
}

TEST_F(PropertyStore, FileIsReadOncePerRun) {
  writeSave({1, 0, 0, 0, 1, 0, 0, 0, 'k', 1, 0, 0, 0, 'v'});
  ASSERT_NE(get("k"), nullptr);
  EXPECT_EQ(*get("k"), "v");
  writeSave({1, 0, 0, 0, 1, 0, 0, 0, 'k', 1, 0, 0, 0, 'w'});  // edited behind our back
  std::remove(savePath().c_str());
  EXPECT_EQ(*get("k"), "v");
  set("z", "1");  // and the next change overwrites it with the store
  EXPECT_EQ(saveBytes(), (ByteList{2, 0,   0, 0, 1, 0, 0,   0, 'k', 1, 0, 0,
                                   0, 'v', 1, 0, 0, 0, 'z', 1, 0,   0, 0, '1'}));
}

TEST_F(PropertyStore, RepeatedKeyKeepsTheLaterValue) {
  writeSave({2, 0, 0, 0, 1, 0, 0, 0, 'k', 1, 0, 0, 0, 'a', 1, 0, 0, 0, 'k', 1, 0, 0, 0, 'b'});
  EXPECT_EQ(*get("k"), "b");
  EXPECT_EQ(propertyCount(), 1u);
}

TEST_F(PropertyStore, DamagedFilesKeepTheIntactEntries) {
  const ByteList good{1, 0, 0, 0, 'a', 1, 0, 0, 0, '1'};  // key length, key, value...
  struct Case {
    const char* what;
    ByteList tail;  // follows the header count and the intact entry "a" = "1"
    int32_t count;
  };
  const std::vector<Case> cases{
      {"count beyond the file", {}, 0x7FFFFFFF},
      {"negative key length", {0xFF, 0xFF, 0xFF, 0xFF, 'x'}, 3},
      {"huge value length", {1, 0, 0, 0, 'x', 0xF0, 0xFF, 0xFF, 0x7F, 'y'}, 2},
      {"key cut short", {5, 0, 0, 0, 'x', 'y'}, 2},
      {"length cut short", {1, 0}, 2},
  };
  for (const Case& c : cases) {
    resetPropertiesForTest();
    ByteList file{uint8_t(c.count), uint8_t(c.count >> 8), uint8_t(c.count >> 16),
                  uint8_t(c.count >> 24)};
    file.insert(file.end(), good.begin(), good.end());
    file.insert(file.end(), c.tail.begin(), c.tail.end());
    writeSave(file);
    loadProperties();
    EXPECT_EQ(propertyCount(), 1u) << c.what;
    ASSERT_NE(get("a"), nullptr) << c.what;
    EXPECT_EQ(*get("a"), "1") << c.what;
  }
  for (ByteList file :
       {ByteList{0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 'a'}, ByteList{3, 0}, ByteList{}}) {
    resetPropertiesForTest();
    writeSave(file);
    loadProperties();
    EXPECT_EQ(propertyCount(), 0u);
  }
}

TEST_F(PropertyStore, FailedSaveKeepsTheChangeInMemory) {
  set("a", "1");
  // A directory where the temporary file should go makes the write fail,
  // whatever our permissions.
  const std::string blocker = savePath() + ".tmp";
  ASSERT_EQ(mkdir(blocker.c_str(), 0700), 0);
  EXPECT_EQ(captured([] { set("b", "2"); }),
            "[SYSTEM] Unable to save the properties file ('save.dat')\n");
  EXPECT_EQ(*get("b"), "2");
  EXPECT_EQ(saveBytes(), (ByteList{1, 0, 0, 0, 1, 0, 0, 0, 'a', 1, 0, 0, 0, '1'}));
  rmdir(blocker.c_str());
  set("c", "3");  // the next successful save carries the earlier change
  resetPropertiesForTest();
  EXPECT_EQ(*get("b"), "2");
}

TEST_F(PropertyStore, MissingDataDirectoryReportsTheBareFileName) {
  setPropertyFile((dir_ + "/gone/save.dat").c_str());
  EXPECT_EQ(captured([] { set("a", "1"); }),
            "[SYSTEM] Unable to save the properties file ('save.dat')\n");
  // No file could be named at all (a path too long to join): the same line.
  setPropertyFile(nullptr);
  EXPECT_EQ(captured([] { set("b", "2"); }),
            "[SYSTEM] Unable to save the properties file ('save.dat')\n");
  EXPECT_EQ(*get("b"), "2");
}

TEST_F(PropertyStore, ShippedSeedStartsThePlayersOwnFile) {
  const std::string seed = dir_ + "/shipped.dat", own = dir_ + "/home/orvane/table/save.dat";
  const ByteList shipped{1, 0, 0, 0, 2, 0, 0, 0, 'h', 'i', 1, 0, 0, 0, '5'};
  writeFile(seed, shipped);
  setPropertyFile(own.c_str(), seed.c_str(), SaveFolder::create);
  ASSERT_NE(get("hi"), nullptr);
  EXPECT_EQ(*get("hi"), "5");                             // the player has no file yet
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/home"));  // reading makes no folder

  set("hi", "6");  // the first save makes the player's folders, private to them
  EXPECT_EQ(readFile(own), (ByteList{1, 0, 0, 0, 2, 0, 0, 0, 'h', 'i', 1, 0, 0, 0, '6'}));
  EXPECT_EQ(readFile(seed), shipped);
  struct stat st;
  ASSERT_EQ(stat((dir_ + "/home/orvane/table").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  resetPropertiesForTest();  // next run: the player's file, not the seed
  EXPECT_EQ(*get("hi"), "6");
  // A damaged file of the player's is still theirs: the seed does not
  // stand in for it.
  writeFile(own, {3, 0});
  resetPropertiesForTest();
  EXPECT_EQ(get("hi"), nullptr);

  // With no file of their own to name, the seed is read and saves fail.
  setPropertyFile(nullptr, seed.c_str(), SaveFolder::create);
  resetPropertiesForTest();
  EXPECT_EQ(*get("hi"), "5");
  EXPECT_EQ(captured([] { set("a", "1"); }),
            "[SYSTEM] Unable to save the properties file ('save.dat')\n");
  EXPECT_EQ(readFile(seed), shipped);
}

TEST_F(PropertyStore, FolderThatCannotBeMadeReportsTheFailure) {
  std::ofstream(dir_ + "/file") << "in the way";
  setPropertyFile((dir_ + "/file/orvane/save.dat").c_str(), nullptr, SaveFolder::create);
  EXPECT_EQ(captured([] { set("a", "1"); }),
            "[SYSTEM] Unable to save the properties file ('save.dat')\n");
  EXPECT_EQ(*get("a"), "1");
}

namespace {
ByteList fileAtHook, tempAtHook;
std::string savePathAtHook;
bool crashBeforeRename(const char* tempPath) {
  std::ifstream old(savePathAtHook, std::ios::binary), fresh(tempPath, std::ios::binary);
  fileAtHook.assign(std::istreambuf_iterator<char>(old), std::istreambuf_iterator<char>());
  tempAtHook.assign(std::istreambuf_iterator<char>(fresh), std::istreambuf_iterator<char>());
  return false;
}
}  // namespace

TEST_F(PropertyStore, InterruptedSaveLeavesTheOldFile) {
  set("a", "1");
  const ByteList before = saveBytes();
  savePathAtHook = savePath();
  setPropertySaveHook(crashBeforeRename);
  set("b", "2");
  // Between writing and renaming, save.dat still holds the old store and the
  // temporary file the complete new one.
  EXPECT_EQ(fileAtHook, before);
  EXPECT_EQ(tempAtHook, (ByteList{2, 0,   0, 0, 1, 0, 0,   0, 'a', 1, 0, 0,
                                  0, '1', 1, 0, 0, 0, 'b', 1, 0,   0, 0, '2'}));
  EXPECT_EQ(saveBytes(), before);  // the "crash" never renamed
  resetPropertiesForTest();        // next run sees the old store
  EXPECT_EQ(get("b"), nullptr);
  EXPECT_EQ(*get("a"), "1");
  setPropertySaveHook(nullptr);
  set("c", "3");  // a leftover temporary file does not disturb later saves
  EXPECT_EQ(saveBytes().size(), 4u + 2 * 10);

  // Nor does a link left where the temporary file goes: the save must not
  // write through it into some other file.
  const std::string victim = dir_ + "/victim";
  std::ofstream(victim) << "keep";
  ASSERT_EQ(symlink(victim.c_str(), (savePath() + ".tmp").c_str()), 0);
  set("d", "4");
  EXPECT_EQ(readFile(victim), (ByteList{'k', 'e', 'e', 'p'}));
  EXPECT_EQ(saveBytes().size(), 4u + 3 * 10);
  std::remove(victim.c_str());
}

TEST_F(PropertyStore, StartsFromAnImageAndWritesChangesToItsFile) {
  writeSave({1, 0, 0, 0, 1, 0, 0, 0, 'f', 1, 0, 0, 0, '1'});
  set("a", "1");
  const std::string image = propertiesImage();
  EXPECT_EQ(image, std::string("\x02\0\0\0\x01\0\0\0a\x01\0\0\0"
                               "1\x01\0\0\0f\x01\0\0\0"
                               "1",
                               24));

  // Another run starts from the image, not from the file, which it then
  // replaces at the first change.
  resetPropertiesForTest();
  writeSave({0, 0, 0, 0});
  startPropertiesFrom(reinterpret_cast<const unsigned char*>(image.data()), image.size());
  EXPECT_EQ(*get("a"), "1");
  EXPECT_EQ(*get("f"), "1");
  EXPECT_EQ(saveBytes(), (ByteList{0, 0, 0, 0}));
  set("f", "2");
  EXPECT_EQ(propertyCount(), 2u);
  EXPECT_EQ(saveBytes().size(), 24u);

  // A cut image keeps what precedes the cut; an empty one is an empty store.
  startPropertiesFrom(reinterpret_cast<const unsigned char*>(image.data()), 17);
  EXPECT_EQ(propertyCount(), 1u);
  startPropertiesFrom(nullptr, 0);
  EXPECT_EQ(propertyCount(), 0u);
}

TEST_F(PropertyStore, InMemoryStoreNeitherReadsNorWritesNorComplains) {
  writeSave({1, 0, 0, 0, 1, 0, 0, 0, 'f', 1, 0, 0, 0, '1'});
  keepPropertiesInMemory();
  EXPECT_EQ(captured([] { set("a", "1"); }), "");
  EXPECT_EQ(get("f"), nullptr);
  EXPECT_EQ(*get("a"), "1");
  EXPECT_EQ(saveBytes().size(), 14u);  // untouched
}
