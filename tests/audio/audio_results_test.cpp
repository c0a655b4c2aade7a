// Error lines, the version gate, volume mapping and channel choice.
#include "audio/audio_results.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "audio/audio_system.h"
#include "audio/channel_table.h"

using namespace AudioSystem;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(AudioResults, ErrorLinesUseTheTableOrTheMixerMessage) {
  CaptureStdout();
  EXPECT_TRUE(checkResult(0));
  EXPECT_FALSE(checkResult(63));
  EXPECT_FALSE(checkResult(-1));
  EXPECT_FALSE(checkResult(3));
  EXPECT_FALSE(reportResult(2, "Unrecognized sound file type"));
  EXPECT_FALSE(reportResult(2, ""));
  EXPECT_EQ(GetCapturedStdout(),
            "[AUDIO] SDL_mixer error (63): Unknown error.\n"
            "[AUDIO] SDL_mixer error (-1): Unknown error.\n"
            "[AUDIO] SDL_mixer error (3): The music file could not be opened.\n"
            "[AUDIO] SDL_mixer error (2): Unrecognized sound file type\n"
            "[AUDIO] SDL_mixer error (2): The sound could not be created.\n");
  EXPECT_STREQ(errorText(0), "No errors.");
  EXPECT_STREQ(errorText(6), "Unknown error.");
}

TEST(AudioResults, VersionsCompareAsPackedIntegers) {
  EXPECT_EQ(packVersion(1, 2, 8), 0x00010208u);
  EXPECT_EQ(packVersion(2, 0, 0), 0x00020000u);
  EXPECT_TRUE(isSupportedVersion(packVersion(2, 6, 0)));
  EXPECT_TRUE(isSupportedVersion(packVersion(2, 6, 2)));
  EXPECT_TRUE(isSupportedVersion(packVersion(2, 8, 0)));
  EXPECT_FALSE(isSupportedVersion(0x000205ff));  // one below the minimum
  EXPECT_FALSE(isSupportedVersion(packVersion(2, 0, 0)));
  EXPECT_FALSE(isSupportedVersion(packVersion(1, 2, 12)));
  EXPECT_FALSE(isSupportedVersion(packVersion(0, 9, 9)));
}

TEST(AudioResults, VolumesMapOntoTheMixerScale) {
  EXPECT_EQ(mixerVolume(1.0f), 128);
  EXPECT_EQ(mixerVolume(0.5f), 64);
  EXPECT_EQ(mixerVolume(0.25f), 32);
  EXPECT_EQ(mixerVolume(0.0f), 0);
  EXPECT_EQ(mixerVolume(-0.5f), 0);
  EXPECT_EQ(mixerVolume(7.0f), 128);
  EXPECT_EQ(mixerVolume(std::numeric_limits<float>::infinity()), 128);
  EXPECT_EQ(mixerVolume(-std::numeric_limits<float>::infinity()), 0);
  EXPECT_EQ(mixerVolume(std::nanf("")), 0);
}

TEST(ChannelChoice, FreeChannelsFirstThenTheOldestEffectGivesWay) {
  ChannelTable table;
  bool playing[ChannelTable::channelCount] = {};
  auto isPlaying = [&](int c) { return playing[c]; };

  EXPECT_EQ(table.pick(isPlaying), 0);
  // Fill every channel in order 0..255, except that 7 starts last.
  for (int c = 0; c < ChannelTable::channelCount; ++c) {
    if (c == 7) continue;
    playing[c] = true;
    table.started(c);
  }
  EXPECT_EQ(table.pick(isPlaying), 7);  // still free
  playing[7] = true;
  table.started(7);

  EXPECT_EQ(table.pick(isPlaying), 0);  // all busy: the first started
  table.started(0);
  EXPECT_EQ(table.pick(isPlaying), 1);
  table.started(1);
  EXPECT_EQ(table.pick(isPlaying), 2);

  playing[200] = false;  // a finished effect frees its channel
  EXPECT_EQ(table.pick(isPlaying), 200);

  table.reset();
  table.started(5);
  EXPECT_EQ(table.pick([](int) { return true; }), 0);  // never-started counts as oldest
}
