// FNV-1a, 64 bits: the checksum of recordings, of the tables they were made
// on and of the world's state. It catches damage and change, not forgery.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint64_t hashStart = 0xcbf29ce484222325ull;

inline uint64_t hashBytes(const void* data, size_t size, uint64_t hash = hashStart) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) hash = (hash ^ p[i]) * 0x100000001b3ull;
  return hash;
}
