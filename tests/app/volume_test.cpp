// The kept volume level: read back as written, and any damage to the file
// means full volume with one line, never a crash or a stuck level.
#include "app/volume.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

TEST(Volume, KeptLevelsReadBackAndDamagedFilesGiveFullVolume) {
  fs::path folder = fs::temp_directory_path() / ("orvane-volume-" + std::to_string(getpid()));
  fs::remove_all(folder);
  std::string file = (folder / "orvane" / "volume").string();
  EXPECT_EQ(readVolumeLevel(file), volumeSteps);  // no file yet: silent, full volume
  ASSERT_TRUE(writeVolumeLevel(file, 3));         // makes the folders
  EXPECT_EQ(readVolumeLevel(file), 3);
  ASSERT_TRUE(writeVolumeLevel(file, 0));
  EXPECT_EQ(readVolumeLevel(file), 0);

  for (const char* bad : {"", "11\n", "-1\n", "7x\n", "seven\n", "12345678901234567890\n"}) {
    std::ofstream(file, std::ios::binary) << bad;
    testing::internal::CaptureStdout();
    EXPECT_EQ(readVolumeLevel(file), volumeSteps) << bad;
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "[VOLUME] '" + file + "' holds no level from 0 to 10; the volume is 10/10\n")
        << bad;
  }
  fs::remove_all(folder);

  EXPECT_EQ(stepVolume(10, 1), 10);
  EXPECT_EQ(stepVolume(0, -1), 0);
  EXPECT_EQ(stepVolume(5, -1), 4);
  EXPECT_EQ(volumeLine(7), "Volume 7/10");
  EXPECT_EQ(volumeLine(0), "Volume 0/10 (muted)");
}
