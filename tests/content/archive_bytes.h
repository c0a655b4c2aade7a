// Test helpers: a little-endian byte writer for hand-made archives, a temp
// file to load them from, and a backend that records what the loader hands it.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "content/world_data.h"

struct Bytes {
  std::vector<unsigned char> data;

  Bytes& u8(unsigned v) {
    data.push_back(uint8_t(v));
    return *this;
  }
  Bytes& u16(unsigned v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
  Bytes& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
  Bytes& f32(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return u32(bits);
  }
  Bytes& str(const std::string& s) {
    u16(unsigned(s.size()));
    data.insert(data.end(), s.begin(), s.end());
    return *this;
  }
  Bytes& raw(std::initializer_list<unsigned> bytes) {
    for (unsigned b : bytes) u8(b);
    return *this;
  }
  Bytes& fill(size_t n, unsigned char b) {
    data.insert(data.end(), n, b);
    return *this;
  }
};

// A file in a fresh temporary directory, removed with the object.
class TempFile {
 public:
  explicit TempFile(const std::vector<unsigned char>& bytes) {
    char dirTemplate[] = "/tmp/orvane-content-XXXXXX";
    dir_ = mkdtemp(dirTemplate);
    path_ = dir_ + "/data.dat";
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  ~TempFile() {
    std::remove(path_.c_str());
    rmdir(dir_.c_str());
  }
  const char* path() const { return path_.c_str(); }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_, path_;
};

struct RecordingBackend : ContentBackend {
  struct Upload {
    int width, height;
    std::vector<unsigned char> rgba;
  };
  std::vector<Upload> uploads;
  std::vector<std::vector<unsigned char>> soundData;
  std::vector<SoundHandle*> released;
  bool makeSounds = true;

  unsigned uploadTexture(int width, int height, const unsigned char* rgba) override {
    uploads.push_back({width, height, std::vector<unsigned char>(rgba, rgba + width * height * 4)});
    return unsigned(uploads.size());  // distinct fake GL names
  }
  SoundHandle* createSound(const unsigned char* data, int length) override {
    soundData.emplace_back(data, data + length);
    if (!makeSounds || length <= 0) return nullptr;  // as the audio system refuses no data
    return reinterpret_cast<SoundHandle*>(uintptr_t(soundData.size()));  // never dereferenced
  }
  void releaseSound(SoundHandle* sound) override { released.push_back(sound); }
};
