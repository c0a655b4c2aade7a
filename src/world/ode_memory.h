// ODE's memory, through a few blocks kept per thread. The broad phase grows
// a list of pairs from nothing every step and lets it go at the end; the
// block it let go serves the next step's list, which then grows in place.
#pragma once

#include <cstddef>

// Routes ODE's allocation, reallocation and freeing through the blocks
// kept here; to be called before ODE allocates anything. A second call
// does nothing. Where the C library cannot tell a block's size, ODE keeps
// its own allocator.
void installOdeMemory();

// The allocator itself, for its tests: every block is the C library's own
// (malloc'd), so that anything allocated before or after the routing may be
// handed in. A block of size bytes may later be given back with any size
// up to its own.
void* odeMemoryAlloc(std::size_t size);
void* odeMemoryRealloc(void* block, std::size_t oldSize, std::size_t newSize);
void odeMemoryFree(void* block, std::size_t size);
// How many blocks the calling thread keeps now.
int odeMemoryKept();
