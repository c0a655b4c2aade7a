// Builds small WAV file images in memory for the audio tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace testwav {

inline void put16(std::vector<unsigned char>& out, unsigned v) {
  out.push_back(v & 0xff);
  out.push_back((v >> 8) & 0xff);
}

inline void put32(std::vector<unsigned char>& out, unsigned v) {
  put16(out, v & 0xffff);
  put16(out, v >> 16);
}

inline void putTag(std::vector<unsigned char>& out, const char* tag) {
  out.insert(out.end(), tag, tag + 4);
}

// RIFF/WAVE header of 16-bit PCM up to the data chunk's size field; the
// caller appends dataBytes bytes of samples.
inline std::vector<unsigned char> header(unsigned rate, unsigned channels, unsigned dataBytes) {
  std::vector<unsigned char> out;
  putTag(out, "RIFF");
  put32(out, 36 + dataBytes);
  putTag(out, "WAVE");
  putTag(out, "fmt ");
  put32(out, 16);
  put16(out, 1);  // PCM
  put16(out, channels);
  put32(out, rate);
  put32(out, rate * channels * 2);  // bytes per second
  put16(out, channels * 2);         // block align
  put16(out, 16);                   // bits per sample
  putTag(out, "data");
  put32(out, dataBytes);
  return out;
}

// A 16-bit mono PCM sine of the given peak amplitude.
inline std::vector<unsigned char> sine(float seconds, int amplitude = 16000, unsigned rate = 22050,
                                       float frequency = 440.0f) {
  const unsigned frames = unsigned(seconds * rate);
  std::vector<unsigned char> out = header(rate, 1, frames * 2);
  for (unsigned i = 0; i < frames; ++i) {
    const double s = amplitude * std::sin(2.0 * M_PI * frequency * i / rate);
    put16(out, unsigned(int16_t(std::lround(s))));
  }
  return out;
}

}  // namespace testwav
