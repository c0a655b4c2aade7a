// Fuzzes the save.dat loader: any file must load without crashing or
// allocating beyond its size, and what was loaded must survive a save and a
// second load unchanged.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "props/property_store.h"
#include "props/property_store_internal.h"

namespace {

std::string savePath;

std::vector<unsigned char> readAll(const std::string& path) {
  std::vector<unsigned char> bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return bytes;
  unsigned char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
    bytes.insert(bytes.end(), chunk, chunk + n);
  std::fclose(file);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!std::freopen("/dev/null", "w", stdout)) return 0;
  std::string pattern =
      std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/orvane-fuzz-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) return 0;
  savePath = std::string(buffer.data()) + "/save.dat";
  setPropertyFile(savePath.c_str());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(savePath.c_str(), "wb");
  if (!file) return 0;
  if (size) std::fwrite(data, 1, size, file);
  std::fclose(file);

  resetPropertiesForTest();
  loadProperties();
  // Each entry needs at least 8 bytes of file.
  if (propertyCount() > 0 && propertyCount() * 8 + 4 > size) __builtin_trap();

  saveProperties();
  std::vector<unsigned char> first = readAll(savePath);
  resetPropertiesForTest();
  loadProperties();
  saveProperties();
  // The input itself need not be canonical (keys may repeat or be out of
  // order), but what the store writes must read back as the same store.
  if (readAll(savePath) != first) __builtin_trap();
  return 0;
}
