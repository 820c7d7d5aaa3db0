#include "platform/hooks.h"

#include "platform/platform.h"

PlatformHooks gHooks = {0, 0, -1};

void PlatformFailAllocation(int32_t n) {
    gHooks.failCountdown = n > 0 ? n : 0;
}

int32_t PlatformLiveBlocks() {
    return gHooks.liveBlocks;
}

void PlatformSetClock(int64_t seconds) {
    gHooks.clockOverride = seconds;
}

void ResetPlatformHooks() {
    gHooks.failCountdown = 0;
    gHooks.clockOverride = -1;
}

bool AllocationShouldFail() {
    if (gHooks.failCountdown == 0) return false;
    return --gHooks.failCountdown == 0;
}

void CountBlockAllocated() {
    ++gHooks.liveBlocks;
}
void CountBlockFreed() {
    --gHooks.liveBlocks;
}
