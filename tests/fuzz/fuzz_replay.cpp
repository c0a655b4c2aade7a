// Fuzzes the recording reader: any file must be refused at its header or
// read to an end, damage or cut without crashing, in step order, and with
// memory that grows only with the bytes present.
#include <cstdint>
#include <cstdio>

#include "app/replay_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return 0;
  ReplayReader reader;
  std::string error;
  if (!reader.open(file, error)) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  ReplayEvent event;
  ReplayRead read;
  int64_t step = 0;
  size_t events = 0;
  while ((read = reader.next(event)) == ReplayRead::Event) {
    if (event.step < step) __builtin_trap();
    step = event.step;
    // Every event takes at least two bytes of the file.
    if (++events * 2 > size) __builtin_trap();
  }
  // Once stopped, the reader keeps its answer and its place.
  if (reader.next(event) != read || reader.step() < step) __builtin_trap();
  if (read != ReplayRead::End && reader.problem().empty()) __builtin_trap();
  return 0;
}
