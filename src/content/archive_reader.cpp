// Buffered reader behind the archive and property file formats. Every read
// obeys one rule: the first read that delivers fewer bytes than asked closes
// the file, and from then on each read answers 0, "" or nothing.
#include "content/archive_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr size_t bufferSize = size_t(1) << 16;
// Blocks of unknown trustworthiness grow by this much per step, so a damaged
// length costs at most one step more than the bytes the file really holds.
constexpr size_t growStep = size_t(1) << 20;

}  // namespace

ArchiveReader::ArchiveReader(const char* path) {
  if (!path) return;
  // Non-blocking so that a FIFO in place of the file cannot stall the open.
  int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  struct stat info;
  // Only regular files: a directory cannot be read, and a pipe or device has
  // no size to check announced lengths against (and may never end).
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !(file_ = fdopen(fd, "rb"))) {
    ::close(fd);
    return;
  }
  size_ = int64_t(info.st_size);
  std::setvbuf(file_, nullptr, _IONBF, 0);  // our own buffer does the work
  buffer_.resize(bufferSize);
}

ArchiveReader::ArchiveReader(const unsigned char* data, size_t size) {
  if (!data || size == 0) return;
  file_ = fmemopen(const_cast<unsigned char*>(data), size, "rb");
  if (!file_) return;
  size_ = int64_t(size);
  std::setvbuf(file_, nullptr, _IONBF, 0);
  buffer_.resize(bufferSize);
}

ArchiveReader::~ArchiveReader() {
  close();
}

bool ArchiveReader::isOpen() const {
  return file_ != nullptr;
}

void ArchiveReader::close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  bufferPos_ = bufferLen_ = 0;
}

int64_t ArchiveReader::remaining() const {
  if (!file_) return 0;
  return std::max<int64_t>(0, size_ - consumed_);
}

bool ArchiveReader::fill() {
  bufferPos_ = 0;
  bufferLen_ = std::fread(buffer_.data(), 1, bufferSize, file_);
  return bufferLen_ > 0;
}

// Copies up to n bytes to dst (or drops them when dst is null); large
// requests bypass the buffer. Returns the count delivered; does not close.
size_t ArchiveReader::take(unsigned char* dst, size_t n) {
  size_t got = 0;
  while (got < n) {
    if (bufferPos_ == bufferLen_) {
      size_t want = n - got;
      if (dst && want >= bufferSize) {
        size_t direct = std::fread(dst + got, 1, want, file_);
        got += direct;
        consumed_ += int64_t(direct);
        if (direct < want) break;
        continue;
      }
      if (!fill()) break;
    }
    size_t part = std::min(n - got, bufferLen_ - bufferPos_);
    if (dst) std::memcpy(dst + got, buffer_.data() + bufferPos_, part);
    bufferPos_ += part;
    got += part;
    consumed_ += int64_t(part);
  }
  return got;
}

uint8_t ArchiveReader::readU8() {
  if (!file_) return 0;
  if (bufferPos_ == bufferLen_ && !fill()) {
    close();
    return 0;
  }
  ++consumed_;
  return buffer_[bufferPos_++];
}

uint16_t ArchiveReader::readU16() {
  uint16_t low = readU8();
  if (!file_) return low;
  return uint16_t(low | (readU8() << 8));
}

int16_t ArchiveReader::readI16() {
  return int16_t(readU16());
}

uint32_t ArchiveReader::readU32() {
  uint32_t low = readU16();
  return low | (uint32_t(readU16()) << 16);
}

float ArchiveReader::readF32() {
  uint32_t bits = readU32();
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::string ArchiveReader::readStr() {
  uint16_t length = readU16();
  if (length == 0 || !file_) return std::string();
  std::string text(length, '\0');
  readInto(reinterpret_cast<unsigned char*>(&text[0]), length);
  return text;
}

bool ArchiveReader::readInto(unsigned char* dst, size_t n) {
  if (n == 0) return file_ != nullptr;
  if (!file_) {
    std::memset(dst, 0, n);
    return false;
  }
  size_t got = take(dst, n);
  if (got == n) return true;
  std::memset(dst + got, 0, n - got);
  close();
  return false;
}

std::vector<unsigned char> ArchiveReader::readBlock(int64_t n) {
  std::vector<unsigned char> block;
  if (!file_ || n <= 0) return block;
  if (n <= remaining() && uint64_t(n) <= std::numeric_limits<size_t>::max()) {
    // The file holds the whole block: one allocation, one copy.
    block.resize(size_t(n));
    size_t got = take(block.data(), block.size());
    if (got < block.size()) {
      block.resize(got);
      close();
    }
    return block;
  }
  // Announced beyond the file's end (or the file changed under us): grow step
  // by step with what actually arrives.
  uint64_t wanted = uint64_t(n);
  while (file_ && block.size() < wanted) {
    size_t step = size_t(std::min<uint64_t>(growStep, wanted - block.size()));
    size_t old = block.size();
    block.resize(old + step);
    size_t got = take(block.data() + old, step);
    if (got < step) {
      block.resize(old + got);
      close();
    }
  }
  return block;
}

void ArchiveReader::skip(int64_t n) {
  if (!file_ || n <= 0) return;
  if (n > remaining()) {
    consumed_ = size_;
    close();
    return;
  }
  if (take(nullptr, size_t(n)) < size_t(n)) close();
}
