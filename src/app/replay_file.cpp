// Reading and writing recordings. A file is a header and then blocks of
// events, each block with its own checksum, so that damage anywhere is
// caught where it begins and everything before it still plays.
//
//   header: "ORVREC\x1a\n", u32 version, u32 body length, body, u64 checksum of the body
//   body:   u64 seed, u64 data.dat checksum, u64 game.lua checksum,
//           u32 property image length, the image
//   block:  u32 payload length, payload, u64 checksum of the payload
//   event:  step delta (unsigned LEB128), u8 kind, then by kind:
//           keys u16 mask (bit k = GameKey k) | fps f32 | check u64 | end nothing
//
// All numbers little-endian. Reads are bounded by the limits below, never by
// a length the file announces.
#include "app/replay_file.h"

#include <cerrno>
#include <cmath>
#include <cstring>

#include "app/hash.h"

namespace {

constexpr char magic[8] = {'O', 'R', 'V', 'R', 'E', 'C', '\x1a', '\n'};
constexpr uint32_t fixedBodyBytes = 8 + 8 + 8 + 4;
constexpr uint32_t maxPropertyBytes = 16u << 20;
constexpr uint32_t maxBlockBytes = 1u << 20;
// A block is written at every check; this only bounds a writer that is
// never given one.
constexpr size_t flushBlockBytes = 64u << 10;
constexpr int64_t maxStep = int64_t(1) << 53;

void putU16(std::string& out, uint16_t v) {
  out.push_back(char(v & 0xFF));
  out.push_back(char(v >> 8));
}

void putU32(std::string& out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(char((v >> shift) & 0xFF));
}

void putU64(std::string& out, uint64_t v) {
  for (int shift = 0; shift < 64; shift += 8) out.push_back(char((v >> shift) & 0xFF));
}

uint64_t getLittle(const std::string& in, size_t pos, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | uint8_t(in[pos + size_t(i)]);
  return v;
}

// Appends exactly n bytes from file to out, growing as the bytes arrive;
// false when the file ends first.
bool readExactly(std::FILE* file, size_t n, std::string& out) {
  char chunk[64 * 1024];
  while (n > 0) {
    size_t want = n < sizeof chunk ? n : sizeof chunk;
    size_t got = std::fread(chunk, 1, want, file);
    out.append(chunk, got);
    if (got < want) return false;
    n -= got;
  }
  return true;
}

}  // namespace

// ---- Writing ----

ReplayWriter::~ReplayWriter() {
  if (file_) std::fclose(file_);
}

bool ReplayWriter::open(const char* path, const ReplayHeader& header, std::string& error) {
  if (header.properties.size() > maxPropertyBytes) {
    error = "the saved properties are larger than 16 MiB";
    return false;
  }
  file_ = std::fopen(path, "wb");
  if (!file_) {
    error = std::strerror(errno);
    return false;
  }
  std::string body;
  putU64(body, header.seed);
  putU64(body, header.tableData);
  putU64(body, header.tableScript);
  putU32(body, uint32_t(header.properties.size()));
  body += header.properties;
  std::string out(magic, sizeof magic);
  putU32(out, replayVersion);
  putU32(out, uint32_t(body.size()));
  out += body;
  putU64(out, hashBytes(body.data(), body.size()));
  if (std::fwrite(out.data(), 1, out.size(), file_) != out.size() || std::fflush(file_) != 0) {
    error = std::strerror(errno);
    std::fclose(file_);
    file_ = nullptr;
    return false;
  }
  return true;
}

void ReplayWriter::event(int64_t step, ReplayEventKind kind) {
  uint64_t delta = step > lastStep_ ? uint64_t(step - lastStep_) : 0;
  lastStep_ += int64_t(delta);
  do {
    uint8_t byte = delta & 0x7F;
    delta >>= 7;
    block_.push_back(char(delta ? byte | 0x80 : byte));
  } while (delta);
  block_.push_back(char(kind));
}

void ReplayWriter::keys(int64_t step, const KeyState& keys) {
  if (!file_) return;
  uint16_t mask = 0;
  for (int k = 0; k < gameKeyCount; ++k)
    if (keys[k]) mask |= uint16_t(1u << k);
  event(step, ReplayEventKind::Keys);
  putU16(block_, mask);
  if (block_.size() >= flushBlockBytes) writeBlock();
}

void ReplayWriter::fps(int64_t step, float value) {
  if (!file_) return;
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  event(step, ReplayEventKind::Fps);
  putU32(block_, bits);
}

void ReplayWriter::check(int64_t step, uint64_t sum) {
  if (!file_) return;
  event(step, ReplayEventKind::Check);
  putU64(block_, sum);
  writeBlock();
}

void ReplayWriter::finish(int64_t step) {
  if (!file_) return;
  event(step, ReplayEventKind::End);
  writeBlock();
  if (file_ && std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
}

void ReplayWriter::writeBlock() {
  if (!file_ || block_.empty()) return;
  std::string out;
  putU32(out, uint32_t(block_.size()));
  out += block_;
  putU64(out, hashBytes(block_.data(), block_.size()));
  block_.clear();
  if (std::fwrite(out.data(), 1, out.size(), file_) != out.size() || std::fflush(file_) != 0)
    fail();
}

void ReplayWriter::fail() {
  failed_ = true;
  std::fclose(file_);
  file_ = nullptr;
}

// ---- Reading ----

ReplayReader::~ReplayReader() {
  if (file_) std::fclose(file_);
}

bool ReplayReader::open(std::FILE* file, std::string& error) {
  file_ = file;
  std::string in;
  if (!readExactly(file_, sizeof magic, in) || std::memcmp(in.data(), magic, sizeof magic) != 0) {
    error = "it is not a recording";
    return false;
  }
  in.clear();
  if (!readExactly(file_, 8, in)) {
    error = "its header is cut short";
    return false;
  }
  uint32_t version = uint32_t(getLittle(in, 0, 4));
  uint32_t bodyBytes = uint32_t(getLittle(in, 4, 4));
  if (version != replayVersion) {
    error = "it was recorded in format version " + std::to_string(version) +
            ", and this engine plays version " + std::to_string(replayVersion);
    return false;
  }
  if (bodyBytes < fixedBodyBytes || bodyBytes > fixedBodyBytes + maxPropertyBytes) {
    error = "its header is damaged";
    return false;
  }
  std::string body;
  in.clear();
  if (!readExactly(file_, bodyBytes, body) || !readExactly(file_, 8, in)) {
    error = "its header is cut short";
    return false;
  }
  if (getLittle(in, 0, 8) != hashBytes(body.data(), body.size()) ||
      getLittle(body, 24, 4) != bodyBytes - fixedBodyBytes) {
    error = "its header is damaged";
    return false;
  }
  header_.seed = getLittle(body, 0, 8);
  header_.tableData = getLittle(body, 8, 8);
  header_.tableScript = getLittle(body, 16, 8);
  header_.properties = body.substr(fixedBodyBytes);
  return true;
}

ReplayRead ReplayReader::stop(ReplayRead why, const char* problem) {
  stopped_ = why;
  problem_ = problem;
  block_.clear();
  blockPos_ = 0;
  return why;
}

bool ReplayReader::readBlock() {
  block_.clear();
  blockPos_ = 0;
  std::string in;
  if (!readExactly(file_, 4, in)) {
    stop(ReplayRead::CutShort, "it ends without an end mark");
    return false;
  }
  uint32_t length = uint32_t(getLittle(in, 0, 4));
  if (length == 0 || length > maxBlockBytes) {
    stop(ReplayRead::Damaged, "a block has an impossible length");
    return false;
  }
  in.clear();
  if (!readExactly(file_, length, block_) || !readExactly(file_, 8, in)) {
    stop(ReplayRead::CutShort, "it ends in the middle of a block");
    return false;
  }
  if (getLittle(in, 0, 8) != hashBytes(block_.data(), block_.size())) {
    stop(ReplayRead::Damaged, "a block does not match its checksum");
    return false;
  }
  return true;
}

ReplayRead ReplayReader::next(ReplayEvent& event) {
  if (stopped_ != ReplayRead::Event) return stopped_;
  if (!file_) return stop(ReplayRead::CutShort, "it is not open");
  if (blockPos_ >= block_.size() && !readBlock()) return stopped_;

  // Every field must lie inside the block: the checksum matched, so a field
  // that does not is a writer's fault or a forgery, and damage all the same.
  const size_t end = block_.size();
  uint64_t delta = 0;
  for (int shift = 0;; shift += 7) {
    if (blockPos_ >= end || shift > 56) return stop(ReplayRead::Damaged, "an event is malformed");
    uint8_t byte = uint8_t(block_[blockPos_++]);
    delta |= uint64_t(byte & 0x7F) << shift;
    if (!(byte & 0x80)) break;
  }
  if (delta > uint64_t(maxStep - step_)) return stop(ReplayRead::Damaged, "a step is out of range");
  if (blockPos_ >= end) return stop(ReplayRead::Damaged, "an event is malformed");
  ReplayEvent e;
  e.step = step_ + int64_t(delta);
  e.kind = ReplayEventKind(uint8_t(block_[blockPos_++]));
  size_t size = 0;
  switch (e.kind) {
    case ReplayEventKind::Keys:
      size = 2;
      break;
    case ReplayEventKind::Fps:
      size = 4;
      break;
    case ReplayEventKind::Check:
      size = 8;
      break;
    case ReplayEventKind::End:
      size = 0;
      break;
    default:
      return stop(ReplayRead::Damaged, "an event is of an unknown kind");
  }
  if (end - blockPos_ < size) return stop(ReplayRead::Damaged, "an event is malformed");
  uint64_t value = size ? getLittle(block_, blockPos_, int(size)) : 0;
  blockPos_ += size;
  switch (e.kind) {
    case ReplayEventKind::Keys:
      if (value >> gameKeyCount) return stop(ReplayRead::Damaged, "an event holds unknown keys");
      for (int k = 0; k < gameKeyCount; ++k) e.keys[k] = (value >> k) & 1;
      break;
    case ReplayEventKind::Fps: {
      uint32_t bits = uint32_t(value);
      std::memcpy(&e.fps, &bits, sizeof bits);
      if (!std::isfinite(e.fps) || e.fps < 0)
        return stop(ReplayRead::Damaged, "an fps value is impossible");
      break;
    }
    case ReplayEventKind::Check:
      e.check = value;
      break;
    case ReplayEventKind::End:
      break;
  }
  step_ = e.step;
  event = e;
  if (e.kind == ReplayEventKind::End) {
    stopped_ = ReplayRead::End;
    return ReplayRead::End;
  }
  return ReplayRead::Event;
}
