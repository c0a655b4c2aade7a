#include "world/ode_memory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

// Gives back whatever the calling thread keeps, so that each test starts
// with nothing kept.
void drain() {
  std::vector<void*> blocks;
  while (odeMemoryKept() > 0) blocks.push_back(odeMemoryAlloc(0));
  for (void* b : blocks) std::free(b);
}

class OdeMemory : public ::testing::Test {
 protected:
  void SetUp() override { drain(); }
  void TearDown() override { drain(); }
};

TEST_F(OdeMemory, ABlockLetGoServesTheNextRequestItIsBigEnoughFor) {
  struct Case {
    size_t first, second;
    bool reused;
  };
  const Case cases[] = {{256, 256, true}, {256, 8, true}, {256, 4096, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.second);
    void* a = odeMemoryAlloc(c.first);
    odeMemoryFree(a, c.first);
    EXPECT_EQ(odeMemoryKept(), 1);
    void* b = odeMemoryAlloc(c.second);
    EXPECT_EQ(b == a, c.reused);
    odeMemoryFree(b, c.second);
    drain();
  }
}

TEST_F(OdeMemory, GrowingWithinTheBlockStaysInPlaceAndGrowingPastItKeepsTheContents) {
  unsigned char* a = static_cast<unsigned char*>(odeMemoryAlloc(24));
  for (int i = 0; i < 24; ++i) a[i] = static_cast<unsigned char>(i + 1);
  // Every block holds at least what was asked; growing into the rest of it
  // needs no copy.
  EXPECT_EQ(odeMemoryRealloc(a, 24, 24), a);
  unsigned char* b = static_cast<unsigned char*>(odeMemoryRealloc(a, 24, 100000));
  ASSERT_NE(b, nullptr);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(b[i], i + 1);
  // The block it left is kept for later.
  EXPECT_EQ(odeMemoryKept(), 1);
  odeMemoryFree(b, 100000);
}

TEST_F(OdeMemory, KeepsFewBlocksAndNoLargeOnes) {
  std::vector<void*> blocks;
  for (int i = 0; i < 10; ++i) blocks.push_back(odeMemoryAlloc(64));
  for (void* b : blocks) odeMemoryFree(b, 64);
  EXPECT_LE(odeMemoryKept(), 4);
  drain();
  odeMemoryFree(odeMemoryAlloc(1 << 20), 1 << 20);
  EXPECT_EQ(odeMemoryKept(), 0);
}

TEST_F(OdeMemory, TakesBlocksFromTheCLibraryAndFromOtherThreads) {
  // Allocated before any routing: freed or grown all the same.
  void* outside = std::malloc(40);
  std::memset(outside, 7, 40);
  void* grown = odeMemoryRealloc(outside, 40, 400);
  EXPECT_EQ(static_cast<unsigned char*>(grown)[39], 7);
  odeMemoryFree(grown, 400);
  // A block let go on a thread of its own is that thread's to keep, and
  // goes back when the thread ends.
  void* shared = odeMemoryAlloc(128);
  int keptThere = 0;
  std::thread([&] {
    odeMemoryFree(shared, 128);
    keptThere = odeMemoryKept();
  }).join();
  EXPECT_EQ(keptThere, 1);
  EXPECT_EQ(odeMemoryKept(), 1);  // this thread's own, from above
}

}  // namespace
