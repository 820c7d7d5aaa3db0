// The shared bookkeeping behind the allocation test hook and the live-block count.
#pragma once

#include <cstdint>

// True when this allocation must fail (the hook's countdown reached it).
bool AllocationShouldFail();
void CountBlockAllocated();
void CountBlockFreed();
