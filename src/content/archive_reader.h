// Sequential little-endian reader for data.dat and save.dat. A short read
// closes the reader; a closed reader answers 0, "" or an empty block.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class ArchiveReader {
 public:
  // Not open for nullptr, a missing file, or anything but a regular file.
  explicit ArchiveReader(const char* path);
  // Reads size bytes at data, which must outlive the reader; not open when
  // size is 0.
  ArchiveReader(const unsigned char* data, size_t size);
  ~ArchiveReader();
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  bool isOpen() const;
  uint8_t readU8();
  // Low byte first; the high byte is not attempted once the low byte failed.
  uint16_t readU16();
  int16_t readI16();
  uint32_t readU32();  // two u16 reads, low half first
  float readF32();     // the bits of a u32
  // u16 length and that many bytes. A string cut short by the end of the
  // file keeps its announced length with the missing bytes zero.
  std::string readStr();
  // Reads up to n bytes. Returns all n, or after a short read (which closes
  // the reader) only the bytes that were there; empty when n <= 0 or closed.
  // Memory grows with the bytes actually read, never with the announced n.
  std::vector<unsigned char> readBlock(int64_t n);
  // Reads exactly n bytes into dst; a short read zero-fills the rest of dst,
  // closes the reader and returns false.
  bool readInto(unsigned char* dst, size_t n);
  // Skips n bytes without keeping them (closes on a short skip).
  void skip(int64_t n);
  // Bytes left between the read position and the end of the file as it was
  // when opened; 0 when closed.
  int64_t remaining() const;
  void close();

 private:
  bool fill();
  size_t take(unsigned char* dst, size_t n);
  std::FILE* file_ = nullptr;
  int64_t size_ = 0, consumed_ = 0;
  std::vector<unsigned char> buffer_;  // 64 KiB, allocated on open
  size_t bufferPos_ = 0, bufferLen_ = 0;
};
