// What actually reaches the device: SDL's disk driver writes the mixed
// samples to a file, which the tests read back.
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/paths.h"
#include "audio/audio_system.h"
#include "wav_bytes.h"

namespace fs = std::filesystem;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

class AudioOutputTest : public testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("orvane-audio-out-" + std::to_string(getpid()));
    fs::create_directories(dir);
    setDataDirectory(dir.c_str());
    AudioSystem::setMusicLocator(dataPath);
  }
  void TearDown() override {
    AudioSystem::shutdown();
    setDataDirectory(nullptr);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    fs::remove_all(dir);
  }

  // Opens the system on the disk driver writing to a fresh file. The driver
  // waits only a few ms per block, so it runs faster than real time.
  fs::path openOnDisk(const char* name) {
    const fs::path file = dir / name;
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "5", 1);
    CaptureStdout();
    AudioSystem::init();
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_TRUE(AudioSystem::isReady());
    return file;
  }

  // Waits until every effect has been mixed, then closes the device so that
  // the file is complete: the driver writes each block right after mixing
  // it, and closing waits for that. The bound only stops a hang.
  static void drainAndClose() {
    for (int waited = 0; Mix_Playing(-1) && waited < 60000; waited += 10) SDL_Delay(10);
    AudioSystem::shutdown();
  }

  static uintmax_t sizeOf(const fs::path& file) {
    std::error_code error;
    uintmax_t size = fs::file_size(file, error);
    return error ? 0 : size;
  }

  // Waits until the driver has written `seconds` of output after the first
  // `from` bytes of the file. Its thread may be slow to get going on a busy
  // machine, so this counts output, not time; the bound only stops a hang.
  static void waitForOutput(const fs::path& file, uintmax_t from, double seconds) {
    int rate = 0, channels = 0;
    Uint16 format = 0;
    ASSERT_TRUE(Mix_QuerySpec(&rate, &format, &channels));
    const uintmax_t bytes = uintmax_t(seconds * rate) * uintmax_t(channels) * sizeof(int16_t);
    for (int waited = 0; sizeOf(file) < from + bytes && waited < 60000; waited += 10) SDL_Delay(10);
  }

  // Largest absolute sample in a file of signed 16-bit native-endian samples.
  static int peakOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int peak = 0;
    for (size_t i = 0; i + 1 < raw.size(); i += 2) {
      int16_t s;
      std::memcpy(&s, &raw[i], 2);
      peak = std::max(peak, std::abs(int(s)));
    }
    return peak;
  }

  int effectPeak(const char* name, float volume,
                 const std::vector<unsigned char>& bytes = testwav::sine(0.25f, 16000)) {
    const fs::path file = openOnDisk(name);
    SoundHandle* sound = AudioSystem::createSound(bytes.data(), int(bytes.size()));
    EXPECT_NE(sound, nullptr);
    AudioSystem::playSound(sound, volume);
    drainAndClose();
    AudioSystem::releaseSound(sound);
    return peakOf(file);
  }

  fs::path dir;
};

TEST_F(AudioOutputTest, EffectsReachTheOutputScaledByTheirVolume) {
  const int full = effectPeak("full.raw", 1.0f);
  const int half = effectPeak("half.raw", 0.5f);
  const int mute = effectPeak("mute.raw", 0.0f);
  const int notANumber = effectPeak("nan.raw", std::nanf(""));

  // The sine peaks at 16000; resampling may shave a little off.
  EXPECT_GT(full, 14000);
  EXPECT_LT(full, 17000);
  EXPECT_NEAR(double(half) / full, 0.5, 0.05);
  EXPECT_EQ(mute, 0);
  EXPECT_EQ(notANumber, 0);
}

TEST_F(AudioOutputTest, SilenceWithoutEffectsAndMusicAtItsVolume) {
  const fs::path quiet = openOnDisk("quiet.raw");
  waitForOutput(quiet, 0, 0.1);
  AudioSystem::shutdown();
  EXPECT_GT(fs::file_size(quiet), 0u);
  EXPECT_EQ(peakOf(quiet), 0);

  const std::vector<unsigned char> tune = testwav::sine(0.5f, 16000);
  std::ofstream(dir / "tune.wav", std::ios::binary)
      .write(reinterpret_cast<const char*>(tune.data()), tune.size());
  const fs::path music = openOnDisk("music.raw");
  CaptureStdout();
  AudioSystem::playMusic("tune.wav", 0.5f);
  GetCapturedStdout();
  waitForOutput(music, sizeOf(music), 0.3);
  AudioSystem::shutdown();
  EXPECT_NEAR(peakOf(music), 8000, 800);
}

// tone.ogg: one second of a 440 Hz sine at half of full scale, Vorbis mono 22050 Hz.
TEST_F(AudioOutputTest, VorbisEffectsAndMusicDecode) {
  std::ifstream in(fs::path(ORVANE_SOURCE_DIR) / "tests/audio/tone.ogg", std::ios::binary);
  const std::vector<unsigned char> tone((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  ASSERT_GT(tone.size(), 1000u);
  EXPECT_NEAR(effectPeak("ogg-effect.raw", 1.0f, tone), 16384, 1600);

  fs::copy_file(fs::path(ORVANE_SOURCE_DIR) / "tests/audio/tone.ogg", dir / "tone.ogg");
  const fs::path music = openOnDisk("ogg-music.raw");
  CaptureStdout();
  const uintmax_t before = sizeOf(music);
  AudioSystem::playMusic("tone.ogg", 1.0f);
  EXPECT_EQ(GetCapturedStdout(), "[AUDIO] Starting music '" + (dir / "tone.ogg").string() + "'\n");
  waitForOutput(music, before, 0.3);
  AudioSystem::shutdown();
  EXPECT_NEAR(peakOf(music), 16384, 1600);
}

}  // namespace
