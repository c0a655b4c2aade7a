// Fuzzes the recording reader: any file must be refused at its header or
// read to an end, damage or cut without crashing, in step order, and with
// memory that grows only with the bytes present. Checksums would stop
// random bytes at the first block, so half the inputs are sealed here:
// their blocks get true lengths and checksums, and the events inside them
// meet the decoder itself.
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/hash.h"
#include "app/replay_file.h"

namespace {

void putLittle(std::string& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(char((v >> (8 * i)) & 0xFF));
}

// A valid header, then the input cut into blocks: each piece starts with
// its length byte.
std::string sealed(const uint8_t* data, size_t size) {
  std::string body;
  putLittle(body, 1, 8);
  putLittle(body, 2, 8);
  putLittle(body, 3, 8);
  putLittle(body, 0, 4);
  std::string file("ORVREC\x1a\n", 8);
  putLittle(file, replayVersion, 4);
  putLittle(file, body.size(), 4);
  file += body;
  putLittle(file, hashBytes(body.data(), body.size()), 8);
  size_t at = 0;
  while (at < size) {
    size_t length = data[at++];
    if (length > size - at) length = size - at;
    std::string payload(reinterpret_cast<const char*>(data + at), length);
    at += length;
    putLittle(file, payload.size(), 4);
    file += payload;
    putLittle(file, hashBytes(payload.data(), payload.size()), 8);
  }
  return file;
}

void readAll(const std::string& bytes) {
  std::FILE* file = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  if (!file) return;
  ReplayReader reader;
  std::string error;
  if (!reader.open(file, error)) {
    if (error.empty()) __builtin_trap();
    return;
  }
  ReplayEvent event;
  ReplayRead read;
  int64_t step = 0;
  size_t events = 0;
  while ((read = reader.next(event)) == ReplayRead::Event) {
    if (event.step < step) __builtin_trap();
    step = event.step;
    // Every event takes at least two bytes of the file.
    if (++events * 2 > bytes.size()) __builtin_trap();
  }
  // Once stopped, the reader keeps its answer and its place.
  if (reader.next(event) != read || reader.step() < step) __builtin_trap();
  if (read != ReplayRead::End && reader.problem().empty()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (data[0] & 1)
    readAll(sealed(data + 1, size - 1));
  else
    readAll(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  return 0;
}
