// The platform's test hooks and live-block count: one record, shared by the stand-ins for the
// system services on every system.
#pragma once

#include <cstdint>

struct PlatformHooks {
    int32_t failCountdown; // 0: off; otherwise allocations left until the failing one
    int32_t liveBlocks;    // counts real blocks, so a reset leaves it alone
    int64_t clockOverride; // negative: the real clock
};

extern PlatformHooks gHooks;

// True when this allocation must fail (the hook's countdown reached it).
bool AllocationShouldFail();
void CountBlockAllocated();
void CountBlockFreed();
