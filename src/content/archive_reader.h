// Sequential little-endian reader for data.dat and save.dat. A short read
// closes the reader; a closed reader answers 0, "" or an empty block.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class ArchiveReader {
 public:
  explicit ArchiveReader(const char* path);  // nullptr: not open
  ~ArchiveReader();
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  bool isOpen() const;
  uint8_t readU8();
  uint16_t readU16();
  int16_t readI16();
  uint32_t readU32();
  float readF32();
  std::string readStr();
  // n bytes (zero-filled past a short read); empty when n <= 0 or closed.
  // Never allocates more than the bytes left in the file.
  std::vector<unsigned char> readBlock(int64_t n);
  // Skips n bytes without keeping them (closes on a short skip).
  void skip(int64_t n);
  // Bytes left between the read position and the end of the file.
  int64_t remaining() const;
  void close();

 private:
  bool fill();
  std::FILE* file_ = nullptr;
  int64_t size_ = 0, consumed_ = 0;
  unsigned char buffer_[1 << 16];
  size_t bufferPos_ = 0, bufferLen_ = 0;
};
