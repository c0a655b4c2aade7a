// Reads the chunk layout, sample rate and channel count out of WAVE, AIFF,
// 8SVX, Ogg Vorbis and FLAC headers and refuses what the mixer cannot take.
#include "audio/sound_data_check.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace AudioSystem {

namespace {

uint32_t le16(const unsigned char* p) {
  return p[0] | p[1] << 8;
}
uint32_t le32(const unsigned char* p) {
  return le16(p) | le16(p + 2) << 16;
}
uint32_t be16(const unsigned char* p) {
  return p[0] << 8 | p[1];
}
uint32_t be32(const unsigned char* p) {
  return be16(p) << 16 | be16(p + 2);
}

bool startsWith(const unsigned char* data, size_t length, size_t at, const char* tag) {
  const size_t n = std::strlen(tag);
  return length >= at + n && std::memcmp(data + at, tag, n) == 0;
}

const char* checkStream(double rate, double channels) {
  if (!(rate >= lowestSampleRate && rate <= highestSampleRate)) return "Unsupported sample rate";
  if (!(channels >= 1 && channels <= mostChannels)) return "Unsupported channel count";
  return nullptr;
}

// Calls check on every chunk body tagged tag that has at least need bytes.
// Every occurrence counts, not only those a chunk walk would reach, so that
// no reading of a damaged chunk list can find a header that was not checked.
template <typename Check>
const char* checkEveryChunk(const unsigned char* data, size_t length, const char* tag, size_t need,
                            Check check) {
  for (size_t at = 12; at + 8 + need <= length; ++at) {
    if (std::memcmp(data + at, tag, 4) != 0) continue;
    if (const char* problem = check(data + at + 8)) return problem;
  }
  return nullptr;
}

// The 80-bit extended float of an AIFF sample rate.
double extendedToDouble(const unsigned char* p) {
  const int exponent = int(be16(p) & 0x7fff);
  uint64_t mantissa = 0;
  for (int i = 0; i < 8; ++i) mantissa = mantissa << 8 | p[2 + i];
  const double value = std::ldexp(double(mantissa), exponent - 16383 - 63);
  return (p[0] & 0x80) ? -value : value;
}

// The mixer's AIFF and 8SVX reader seeks from chunk to chunk until it has
// seen both chunks it needs, and never stops when the file ends first; its
// WAVE reader allocates whatever a chunk claims to hold. So both chunks must
// be reachable with every chunk on the way inside the file.
// Only the first length bytes of a file of fileLength bytes are at hand; a
// walk that leaves them before it is done counts as damaged.
bool chunksReachable(const unsigned char* data, size_t length, size_t fileLength, bool bigEndian,
                     const char* header, const char* body) {
  bool sawHeader = false, sawBody = false;
  size_t at = 12;
  while (!(sawHeader && sawBody)) {
    if (at > length || length - at < 8) return false;
    const size_t size = bigEndian ? be32(data + at + 4) : le32(data + at + 4);
    if (size > fileLength - at - 8) return false;
    sawHeader = sawHeader || std::memcmp(data + at, header, 4) == 0;
    sawBody = sawBody || std::memcmp(data + at, body, 4) == 0;
    at += 8 + size + (size & 1);  // chunks are padded to even sizes
  }
  return true;
}

const char* checkWave(const unsigned char* data, size_t length, size_t fileLength) {
  if (!chunksReachable(data, length, fileLength, false, "fmt ", "data")) return "Damaged WAVE file";
  return checkEveryChunk(data, length, "fmt ", 16, [](const unsigned char* fmt) {
    return checkStream(le32(fmt + 4), le16(fmt + 2));
  });
}

const char* checkAiff(const unsigned char* data, size_t length, size_t fileLength) {
  if (!chunksReachable(data, length, fileLength, true, "COMM", "SSND")) return "Damaged AIFF file";
  return checkEveryChunk(data, length, "COMM", 18, [](const unsigned char* comm) {
    return checkStream(extendedToDouble(comm + 8), int16_t(be16(comm)));
  });
}

const char* check8svx(const unsigned char* data, size_t length, size_t fileLength) {
  if (!chunksReachable(data, length, fileLength, true, "VHDR", "BODY")) return "Damaged 8SVX file";
  return checkEveryChunk(data, length, "VHDR", 14,
                         [](const unsigned char* vhdr) { return checkStream(be16(vhdr + 12), 1); });
}

// The identification header is the first packet of the first page.
const char* checkOgg(const unsigned char* data, size_t length) {
  if (length < 27) return nullptr;
  const size_t packet = 27 + size_t(data[26]);
  if (!startsWith(data, length, packet, "\x01vorbis") || length < packet + 16) return nullptr;
  return checkStream(le32(data + packet + 12), data[packet + 11]);
}

// STREAMINFO must be the first metadata block.
const char* checkFlac(const unsigned char* data, size_t length) {
  if (length < 8 + 18 || (data[4] & 0x7f) != 0) return "Damaged FLAC header";
  const unsigned char* info = data + 8;
  const uint32_t rate = uint32_t(info[10]) << 12 | uint32_t(info[11]) << 4 | info[12] >> 4;
  const uint32_t channels = ((info[12] >> 1) & 7) + 1;
  return checkStream(rate, channels);
}

}  // namespace

const char* soundDataProblem(const unsigned char* data, size_t length) {
  return soundDataProblem(data, length, length);
}

const char* soundDataProblem(const unsigned char* data, size_t length, size_t fileLength) {
  if (fileLength < length) fileLength = length;
  if (startsWith(data, length, 0, "RIFF") && startsWith(data, length, 8, "WAVE"))
    return checkWave(data, length, fileLength);
  if (startsWith(data, length, 0, "FORM")) {
    if (startsWith(data, length, 8, "AIFF") || startsWith(data, length, 8, "AIFC"))
      return checkAiff(data, length, fileLength);
    if (startsWith(data, length, 8, "8SVX")) return check8svx(data, length, fileLength);
  }
  if (startsWith(data, length, 0, "OggS")) return checkOgg(data, length);
  if (startsWith(data, length, 0, "fLaC")) return checkFlac(data, length);
  // The mixer's VOC reader leaks and can grow without bound on damaged files;
  // the format has no place in new content.
  if (startsWith(data, length, 0, "Creative Voice File"))
    return "VOC sound files are not supported";
  return nullptr;
}

}  // namespace AudioSystem
