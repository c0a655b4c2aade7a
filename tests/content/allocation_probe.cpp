// Replaces the global operator new for this test binary to watch sizes.
#include "allocation_probe.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<size_t> largest{0};

void* allocate(size_t size) {
  size_t seen = largest.load();
  while (size > seen && !largest.compare_exchange_weak(seen, size)) {
  }
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace

void resetLargestAllocation() {
  largest = 0;
}
size_t largestAllocation() {
  return largest;
}

void* operator new(size_t size) {
  return allocate(size);
}
void* operator new[](size_t size) {
  return allocate(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
  std::free(p);
}
