// The blocks kept are the C library's own, and their true size is asked of
// it rather than taken on ODE's word: a block reallocated within that size
// stays where it is, and a block from anywhere (allocated before the
// routing, or on another thread) is safe to keep or free.
#include "world/ode_memory.h"

#include <ode/ode.h>

#include <cstdlib>
#include <cstring>
#if defined(__GLIBC__)
#include <malloc.h>
#define ORVANE_BLOCK_SIZES 1
#endif

namespace {

// Few blocks, none large: enough for what ODE lets go and takes back within
// a step, without holding on to the memory of a big island or a torn-down
// world.
constexpr int mostKept = 4;
constexpr std::size_t largestKept = 64 * 1024;

std::size_t blockSize(void* block) {
#ifdef ORVANE_BLOCK_SIZES
  return malloc_usable_size(block);
#else
  (void)block;
  return 0;
#endif
}

// A thread's blocks, newest last. Plain data, so that it needs no set-up;
// the keeper below gives them back when the thread ends, and from then on
// that thread frees at once.
struct Kept {
  void* block[mostKept];
  std::size_t size[mostKept];
  int count;
  bool closed;
};
thread_local Kept kept;

struct Keeper {
  bool armed = false;
  ~Keeper() {
    for (int i = 0; i < kept.count; ++i) std::free(kept.block[i]);
    kept.count = 0;
    kept.closed = true;
  }
};
thread_local Keeper keeper;

bool installed = false;

void* allocFn(dsizeint size) {
  return odeMemoryAlloc(size);
}
void* reallocFn(void* block, dsizeint oldSize, dsizeint newSize) {
  return odeMemoryRealloc(block, oldSize, newSize);
}
void freeFn(void* block, dsizeint size) {
  odeMemoryFree(block, size);
}

}  // namespace

void* odeMemoryAlloc(std::size_t size) {
  Kept& k = kept;
  // The newest block that is big enough: the one let go last is mostly the
  // one wanted again first.
  for (int i = k.count - 1; i >= 0; --i) {
    if (k.size[i] < size) continue;
    void* block = k.block[i];
    --k.count;
    for (int j = i; j < k.count; ++j) {
      k.block[j] = k.block[j + 1];
      k.size[j] = k.size[j + 1];
    }
    return block;
  }
  return std::malloc(size ? size : 1);
}

void* odeMemoryRealloc(void* block, std::size_t oldSize, std::size_t newSize) {
  if (!block) return odeMemoryAlloc(newSize);
  if (newSize <= blockSize(block)) return block;
  void* moved = odeMemoryAlloc(newSize);
  if (!moved) return nullptr;
  std::memcpy(moved, block, oldSize < newSize ? oldSize : newSize);
  odeMemoryFree(block, oldSize);
  return moved;
}

void odeMemoryFree(void* block, std::size_t) {
  if (!block) return;
  Kept& k = kept;
  const std::size_t size = blockSize(block);
  if (k.closed || size == 0 || size > largestKept) {
    std::free(block);
    return;
  }
  // The keeper is made (and its end arranged) the first time a thread keeps
  // a block.
  if (k.count == 0) keeper.armed = true;
  if (k.count == mostKept) {
    // The oldest makes room.
    std::free(k.block[0]);
    --k.count;
    for (int j = 0; j < k.count; ++j) {
      k.block[j] = k.block[j + 1];
      k.size[j] = k.size[j + 1];
    }
  }
  k.block[k.count] = block;
  k.size[k.count] = size;
  ++k.count;
}

int odeMemoryKept() {
  return kept.count;
}

void installOdeMemory() {
#ifdef ORVANE_BLOCK_SIZES
  if (installed) return;
  dSetAllocHandler(&allocFn);
  dSetReallocHandler(&reallocFn);
  dSetFreeHandler(&freeFn);
  installed = true;
#endif
}
