#include "platform/alloc_hook.h"
#include "platform/platform.h"

namespace {
int32_t failCountdown = 0; // 0: off; otherwise allocations left until the failing one
int32_t liveBlocks = 0;
} // namespace

void PlatformFailAllocation(int32_t n) {
    failCountdown = n > 0 ? n : 0;
}

bool PlatformFailurePending() {
    return failCountdown > 0;
}

int32_t PlatformLiveBlocks() {
    return liveBlocks;
}

bool AllocationShouldFail() {
    if (failCountdown == 0) return false;
    return --failCountdown == 0;
}

void CountBlockAllocated() {
    ++liveBlocks;
}
void CountBlockFreed() {
    --liveBlocks;
}
