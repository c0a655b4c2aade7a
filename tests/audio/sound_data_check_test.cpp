// Which encoded sound headers are refused before the mixer sees them.
#include "audio/sound_data_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "wav_bytes.h"

using AudioSystem::soundDataProblem;
using Bytes = std::vector<unsigned char>;

namespace {

const char* problem(const Bytes& b) {
  return soundDataProblem(b.data(), b.size());
}

std::string problemText(const Bytes& b) {
  const char* p = problem(b);
  return p ? p : "";
}

Bytes wav(unsigned rate, unsigned channels) {
  Bytes b = testwav::header(rate, channels, 400);
  b.resize(b.size() + 400, 0);
  return b;
}

void putBe16(Bytes& b, unsigned v) {
  b.push_back(v >> 8);
  b.push_back(v & 0xff);
}
void putBe32(Bytes& b, unsigned v) {
  putBe16(b, v >> 16);
  putBe16(b, v & 0xffff);
}

// An AIFF file; rate is the 10-byte extended float of the sample rate.
Bytes aiff(const unsigned char (&rate)[10], int channels = 1, bool withSound = true) {
  Bytes b;
  testwav::putTag(b, "FORM");
  putBe32(b, 4 + 26 + (withSound ? 16 + 200 : 0));
  testwav::putTag(b, "AIFF");
  testwav::putTag(b, "COMM");
  putBe32(b, 18);
  putBe16(b, channels);
  putBe32(b, 100);  // frames
  putBe16(b, 16);
  b.insert(b.end(), rate, rate + 10);
  if (withSound) {
    testwav::putTag(b, "SSND");
    putBe32(b, 8 + 200);
    b.resize(b.size() + 8 + 200, 0);
  }
  return b;
}

// A FLAC stream header with only its STREAMINFO block filled in.
Bytes flac(unsigned rate, unsigned channels, unsigned blockType = 0) {
  Bytes b = {'f', 'L', 'a', 'C', (unsigned char)(0x80 | blockType), 0, 0, 34};
  Bytes info(34, 0);
  info[10] = rate >> 12;
  info[11] = (rate >> 4) & 0xff;
  info[12] = (rate & 0xf) << 4 | (channels - 1) << 1;
  info[13] = 15 << 4;  // 16 bits per sample
  b.insert(b.end(), info.begin(), info.end());
  b.resize(b.size() + 100, 0);
  return b;
}

}  // namespace

TEST(SoundDataCheck, WaveRatesAndChannelsMustBeConvertible) {
  for (unsigned rate : {8000u, 11025u, 22050u, 44100u, 48000u, 96000u, 1000u, 384000u})
    EXPECT_EQ(problem(wav(rate, 1)), nullptr) << rate;
  for (unsigned channels : {1u, 2u, 8u}) EXPECT_EQ(problem(wav(44100, channels)), nullptr);

  for (unsigned rate : {0u, 1u, 999u, 384001u, 0x7c005622u})
    EXPECT_EQ(problemText(wav(rate, 1)), "Unsupported sample rate") << rate;
  for (unsigned channels : {0u, 9u, 65535u})
    EXPECT_EQ(problemText(wav(44100, channels)), "Unsupported channel count") << channels;
}

TEST(SoundDataCheck, WaveChunksMustLieInsideTheFile) {
  Bytes truncated = wav(22050, 1);
  truncated.resize(truncated.size() - 1);
  EXPECT_EQ(problemText(truncated), "Damaged WAVE file");

  Bytes hugeChunk = wav(22050, 1);
  hugeChunk[16] = 0xff;  // fmt chunk claims 4 GB
  hugeChunk[19] = 0xff;
  EXPECT_EQ(problemText(hugeChunk), "Damaged WAVE file");

  Bytes noData = testwav::header(22050, 1, 0);
  noData.resize(36);  // ends after the fmt chunk
  EXPECT_EQ(problemText(noData), "Damaged WAVE file");

  // An odd-sized chunk before fmt is padded to an even size.
  Bytes padded = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E',
                  'J', 'U', 'N', 'K', 3, 0, 0, 0, 1,   2,   3,   0};
  const Bytes rest = wav(22050, 1);
  padded.insert(padded.end(), rest.begin() + 12, rest.end());
  EXPECT_EQ(problem(padded), nullptr);

  // A second format chunk with an absurd rate is caught even though a walk
  // would stop before it.
  Bytes hidden = wav(22050, 1);
  const Bytes bad = wav(3, 1);
  hidden.insert(hidden.end(), bad.begin() + 12, bad.begin() + 36);
  EXPECT_EQ(problemText(hidden), "Unsupported sample rate");
}

TEST(SoundDataCheck, OnlyTheStartOfALongFileNeedBeAtHand) {
  const Bytes start = testwav::header(44100, 2, 10'000'000);  // 44 bytes of a 10 MB file
  EXPECT_EQ(soundDataProblem(start.data(), start.size(), 10'000'044), nullptr);
  EXPECT_NE(soundDataProblem(start.data(), start.size()), nullptr);  // taken as the whole file
  EXPECT_NE(soundDataProblem(start.data(), start.size(), 9'000'000), nullptr);
}

TEST(SoundDataCheck, AiffNeedsReachableChunksAndASaneRate) {
  const unsigned char rate22050[10] = {0x40, 0x0D, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
  const unsigned char rate44100[10] = {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
  const unsigned char rateHuge[10] = {0x40, 0x3E, 0x80, 0, 0, 0, 0, 0, 0, 0};  // 2^63
  const unsigned char rateNegative[10] = {0xC0, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
  const unsigned char rateTiny[10] = {0x3F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0};  // 1.0
  EXPECT_EQ(problem(aiff(rate22050)), nullptr);
  EXPECT_EQ(problem(aiff(rate44100, 2)), nullptr);
  EXPECT_EQ(problemText(aiff(rateHuge)), "Unsupported sample rate");
  EXPECT_EQ(problemText(aiff(rateNegative)), "Unsupported sample rate");
  EXPECT_EQ(problemText(aiff(rateTiny)), "Unsupported sample rate");
  EXPECT_EQ(problemText(aiff(rate44100, -1)), "Unsupported channel count");

  EXPECT_EQ(problemText(aiff(rate22050, 1, false)), "Damaged AIFF file");
  Bytes longComm = aiff(rate22050);
  longComm[18] = 0x18;  // COMM claims more than the file holds
  EXPECT_EQ(problemText(longComm), "Damaged AIFF file");
}

TEST(SoundDataCheck, VorbisFlacAndVocHeaders) {
  std::ifstream in(std::filesystem::path(ORVANE_SOURCE_DIR) / "tests/audio/tone.ogg",
                   std::ios::binary);
  Bytes ogg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(ogg.size(), 100u);
  EXPECT_EQ(problem(ogg), nullptr);
  const size_t packet = 27 + ogg[26];
  Bytes noChannels = ogg;
  noChannels[packet + 11] = 0;
  EXPECT_EQ(problemText(noChannels), "Unsupported channel count");
  Bytes fastOgg = ogg;
  fastOgg[packet + 15] = 0x10;  // rate + 256 MHz
  EXPECT_EQ(problemText(fastOgg), "Unsupported sample rate");

  EXPECT_EQ(problem(flac(44100, 2)), nullptr);
  EXPECT_EQ(problemText(flac(0, 2)), "Unsupported sample rate");
  EXPECT_EQ(problemText(flac(655350, 1)), "Unsupported sample rate");
  EXPECT_EQ(problemText(flac(44100, 2, 4)), "Damaged FLAC header");

  const std::string voc = "Creative Voice File\x1a";
  EXPECT_EQ(problemText(Bytes(voc.begin(), voc.end())), "VOC sound files are not supported");

  // Formats it does not know are the mixer's to judge.
  const std::string text = "just some text";
  EXPECT_EQ(problem(Bytes(text.begin(), text.end())), nullptr);
  EXPECT_EQ(problem(Bytes{'R', 'I', 'F'}), nullptr);
}
