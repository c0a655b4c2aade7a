// The audio system's states and console lines on SDL's dummy audio driver.
#include "audio/audio_system.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/paths.h"
#include "audio/audio_results.h"
#include "audio/channel_table.h"
#include "wav_bytes.h"

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing::StartsWith;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

class AudioSystemTest : public testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    dir = fs::temp_directory_path() / ("orvane-audio-" + std::to_string(getpid()));
    fs::create_directories(dir);
    setDataDirectory(dir.c_str());
    AudioSystem::setMusicLocator(dataPath);
  }
  void TearDown() override {
    AudioSystem::shutdown();
    setDataDirectory(nullptr);
    fs::remove_all(dir);
  }

  std::string writeFile(const char* name, const std::vector<unsigned char>& bytes) {
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return (dir / name).string();
  }

  // init() prints nothing when the device opens.
  void initQuietly() {
    CaptureStdout();
    AudioSystem::init();
    ASSERT_EQ(GetCapturedStdout(), "");
    ASSERT_TRUE(AudioSystem::isReady());
  }

  fs::path dir;
};

TEST_F(AudioSystemTest, MusicStartsReplacesAndStopsWithOneLineEach) {
  initQuietly();
  const std::string a = writeFile("a.wav", testwav::sine(1.0f));
  // Longer than the part of a music file whose header is checked.
  const std::string b = writeFile("b.wav", testwav::sine(3.0f));

  CaptureStdout();
  AudioSystem::playMusic(nullptr, 1.0f);  // nothing plays yet
  EXPECT_EQ(GetCapturedStdout(), "");

  CaptureStdout();
  AudioSystem::playMusic("a.wav", 1.0f);
  EXPECT_EQ(GetCapturedStdout(), "[AUDIO] Starting music '" + a + "'\n");
  EXPECT_TRUE(Mix_PlayingMusic());

  CaptureStdout();
  AudioSystem::playMusic("b.wav", 0.5f);
  EXPECT_EQ(GetCapturedStdout(), "[AUDIO] Starting music '" + b + "'\n");
  EXPECT_TRUE(Mix_PlayingMusic());
  EXPECT_EQ(Mix_VolumeMusic(-1), 64);

  // The player's level scales the script's music volume and the effects;
  // a pause holds the music where it is.
  AudioSystem::setMasterVolume(0.5f);
  EXPECT_EQ(Mix_VolumeMusic(-1), 32);
  EXPECT_EQ(Mix_MasterVolume(-1), 64);
  AudioSystem::pause(true);
  EXPECT_TRUE(Mix_PausedMusic());
  AudioSystem::pause(false);
  EXPECT_FALSE(Mix_PausedMusic());
  AudioSystem::setMasterVolume(1);

  CaptureStdout();
  AudioSystem::playMusic(nullptr, 1.0f);
  AudioSystem::playMusic(nullptr, 1.0f);
  EXPECT_EQ(GetCapturedStdout(), "[AUDIO] Stopping music\n");
  EXPECT_FALSE(Mix_PlayingMusic());
}

TEST_F(AudioSystemTest, UnopenableMusicIsReportedAndTheEngineGoesOn) {
  initQuietly();
  const std::string missing = (dir / "missing.ogg").string();

  CaptureStdout();
  AudioSystem::playMusic("missing.ogg", 1.0f);
  std::string out = GetCapturedStdout();
  EXPECT_THAT(out, StartsWith("[AUDIO] Starting music '" + missing +
                              "'\n"
                              "[AUDIO] SDL_mixer error (3): "));
  EXPECT_FALSE(Mix_PlayingMusic());

  // No stream was loaded, so there is nothing to stop.
  CaptureStdout();
  AudioSystem::playMusic(nullptr, 1.0f);
  EXPECT_EQ(GetCapturedStdout(), "");

  // Garbage, an absurd header and a directory are refused the same way.
  writeFile("noise.ogg", std::vector<unsigned char>(5000, 0x5a));
  writeFile("fast.wav", testwav::sine(0.01f, 16000, 2'000'000'000));
  fs::create_directories(dir / "folder");
  for (const char* name : {"noise.ogg", "fast.wav", "folder"}) {
    CaptureStdout();
    AudioSystem::playMusic(name, 1.0f);
    EXPECT_THAT(GetCapturedStdout(), HasSubstr("[AUDIO] SDL_mixer error (3): ")) << name;
  }

  // Refused files are closed again: a script retrying them must not run out
  // of file descriptors.
  const auto openFiles = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
  };
  const auto before = openFiles();
  CaptureStdout();
  for (int i = 0; i < 20; ++i) AudioSystem::playMusic("folder", 1.0f);
  GetCapturedStdout();
  EXPECT_EQ(openFiles(), before);

  // A name too long for the data path goes no further than a failed open.
  CaptureStdout();
  AudioSystem::playMusic(std::string(2000, 'm').c_str(), 1.0f);
  EXPECT_EQ(GetCapturedStdout(), "[AUDIO] SDL_mixer error (5): The music file name is too long.\n");

  // Music still works afterwards.
  writeFile("ok.wav", testwav::sine(0.5f));
  CaptureStdout();
  AudioSystem::playMusic("ok.wav", 1.0f);
  EXPECT_EQ(GetCapturedStdout(), "[AUDIO] Starting music '" + (dir / "ok.wav").string() + "'\n");
  EXPECT_TRUE(Mix_PlayingMusic());
}

TEST_F(AudioSystemTest, SoundsFromBadBytesAreEmptyHandlesThatPlayNothing) {
  initQuietly();

  CaptureStdout();
  SoundHandle* none = AudioSystem::createSound(nullptr, 0);
  const unsigned char byte = 0;
  SoundHandle* zero = AudioSystem::createSound(&byte, 0);
  SoundHandle* negative = AudioSystem::createSound(&byte, -5);
  EXPECT_EQ(GetCapturedStdout(),
            "[AUDIO] Invalid sound data; unable to create the sound!"
            "[AUDIO] Invalid sound data; unable to create the sound!"
            "[AUDIO] Invalid sound data; unable to create the sound!");
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(zero, nullptr);
  EXPECT_EQ(negative, nullptr);

  const std::string text = "this is certainly not a sound file";
  std::vector<unsigned char> truncated = testwav::sine(0.5f);
  truncated.resize(60);  // header promises far more samples than follow
  std::vector<unsigned char> badFormat = testwav::sine(0.1f);
  badFormat[34] = 13;  // 13 bits per sample
  // The mixer's rate converter would overrun on this rate.
  const std::vector<unsigned char> absurdRate = testwav::sine(0.01f, 16000, 0x7c005622);
  const std::vector<std::vector<unsigned char>> garbage = {
      std::vector<unsigned char>(text.begin(), text.end()),
      std::vector<unsigned char>(4096, 0xff),
      {'R', 'I', 'F', 'F', 0xff, 0xff, 0xff, 0x7f, 'W', 'A', 'V', 'E'},
      {'O', 'g', 'g', 'S', 0, 2, 0, 0},
      badFormat,
      absurdRate,
      {'C', 'r', 'e', 'a', 't', 'i', 'v', 'e', ' ', 'V', 'o', 'i', 'c', 'e', ' ', 'F', 'i', 'l',
       'e'},
  };
  for (const auto& bytes : garbage) {
    CaptureStdout();
    SoundHandle* sound = AudioSystem::createSound(bytes.data(), int(bytes.size()));
    EXPECT_THAT(GetCapturedStdout(), StartsWith("[AUDIO] SDL_mixer error (2): "));
    EXPECT_EQ(sound, nullptr);
    AudioSystem::releaseSound(sound);
  }
  // A truncated file may be refused or may decode the samples that are
  // there; either way nothing breaks.
  CaptureStdout();
  AudioSystem::releaseSound(AudioSystem::createSound(truncated.data(), int(truncated.size())));
  GetCapturedStdout();

  CaptureStdout();
  AudioSystem::playSound(nullptr, 1.0f);
  AudioSystem::releaseSound(nullptr);
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(Mix_Playing(-1), 0);
}

TEST_F(AudioSystemTest, EffectsPlayFromACopyAndTheOldestGivesWayWhenAllAreBusy) {
  initQuietly();
  std::vector<unsigned char> bytes = testwav::sine(3.0f);
  SoundHandle* first = AudioSystem::createSound(bytes.data(), int(bytes.size()));
  SoundHandle* other = AudioSystem::createSound(bytes.data(), int(bytes.size()));
  // The caller's bytes may go as soon as the call returns.
  std::fill(bytes.begin(), bytes.end(), 0);
  bytes.clear();
  bytes.shrink_to_fit();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(other, nullptr);

  writeFile("tune.wav", testwav::sine(1.0f));
  CaptureStdout();
  AudioSystem::playMusic("tune.wav", 1.0f);
  AudioSystem::playSound(first, 1.0f);
  for (int i = 1; i < ChannelTable::channelCount; ++i) AudioSystem::playSound(other, 0.5f);
  EXPECT_EQ(Mix_Playing(-1), ChannelTable::channelCount);
  Mix_Chunk* firstChunk = Mix_GetChunk(0);
  Mix_Chunk* otherChunk = Mix_GetChunk(1);
  EXPECT_NE(firstChunk, otherChunk);
  EXPECT_EQ(Mix_Volume(0, -1), 128);
  EXPECT_EQ(Mix_Volume(1, -1), 64);

  // One more effect takes channel 0, whose effect started first.
  AudioSystem::playSound(other, 1.0f);
  EXPECT_EQ(Mix_GetChunk(0), otherChunk);
  EXPECT_EQ(Mix_Volume(0, -1), 128);
  // The next takes channel 1, now the oldest.
  AudioSystem::playSound(first, 0.25f);
  EXPECT_EQ(Mix_GetChunk(1), firstChunk);
  EXPECT_EQ(Mix_Volume(1, -1), 32);
  EXPECT_EQ(Mix_Playing(-1), ChannelTable::channelCount);
  EXPECT_TRUE(Mix_PlayingMusic());  // effects never take the music's place
  AudioSystem::update();
  EXPECT_EQ(GetCapturedStdout(), "[AUDIO] Starting music '" + (dir / "tune.wav").string() + "'\n");

  // Releasing a sound silences the channels that still play it.
  AudioSystem::releaseSound(first);
  EXPECT_EQ(Mix_Playing(-1), ChannelTable::channelCount - 1);
  AudioSystem::releaseSound(other);
  EXPECT_EQ(Mix_Playing(-1), 0);
}

TEST_F(AudioSystemTest, InitStartsAfreshAndShutdownTwiceIsHarmless) {
  initQuietly();
  writeFile("tune.wav", testwav::sine(1.0f));
  CaptureStdout();
  AudioSystem::playMusic("tune.wav", 1.0f);
  GetCapturedStdout();

  initQuietly();  // the music went with the old system
  CaptureStdout();
  AudioSystem::playMusic(nullptr, 1.0f);
  EXPECT_EQ(GetCapturedStdout(), "");

  std::vector<unsigned char> bytes = testwav::sine(0.2f);
  SoundHandle* sound = AudioSystem::createSound(bytes.data(), int(bytes.size()));
  ASSERT_NE(sound, nullptr);

  CaptureStdout();
  AudioSystem::shutdown();
  AudioSystem::shutdown();
  EXPECT_FALSE(AudioSystem::isReady());
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
  AudioSystem::playSound(sound, 1.0f);
  AudioSystem::releaseSound(sound);  // a sound outliving the system still goes
  EXPECT_EQ(GetCapturedStdout(), "");
}

TEST_F(AudioSystemTest, TooOldMixerIsRefusedAndLeavesNoSystem) {
  CaptureStdout();
  AudioSystem::initWithVersion(AudioSystem::minimumMixerVersion - 1);
  EXPECT_EQ(GetCapturedStdout(),
            "[AUDIO] Too old version of SDL_mixer (000205ff), at least version 00020600 is "
            "required!");
  EXPECT_FALSE(AudioSystem::isReady());
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);

  CaptureStdout();
  AudioSystem::initWithVersion(AudioSystem::minimumMixerVersion);
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_TRUE(AudioSystem::isReady());
}

TEST_F(AudioSystemTest, WithoutADeviceInitReportsOnceAndEverythingElseIsSilent) {
  setenv("SDL_AUDIODRIVER", "nonexistent", 1);
  CaptureStdout();
  AudioSystem::init();
  EXPECT_THAT(GetCapturedStdout(), StartsWith("[AUDIO] SDL_mixer error (1): "));
  EXPECT_FALSE(AudioSystem::isReady());
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);

  writeFile("tune.wav", testwav::sine(0.2f));
  std::vector<unsigned char> bytes = testwav::sine(0.2f);
  CaptureStdout();
  SoundHandle* sound = AudioSystem::createSound(bytes.data(), int(bytes.size()));
  SoundHandle* empty = AudioSystem::createSound(nullptr, 0);
  AudioSystem::playSound(sound, 1.0f);
  AudioSystem::playMusic("tune.wav", 1.0f);
  AudioSystem::playMusic(nullptr, 1.0f);
  AudioSystem::update();
  AudioSystem::releaseSound(sound);
  AudioSystem::shutdown();
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(sound, nullptr);
  EXPECT_EQ(empty, nullptr);
}

}  // namespace
