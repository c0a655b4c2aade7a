// Records the largest single allocation made through operator new, so tests
// can check that damaged size fields never turn into huge allocations.
#pragma once

#include <cstddef>

void resetLargestAllocation();
size_t largestAllocation();
