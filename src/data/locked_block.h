// A movable block held locked for the length of one call.
#pragma once

#include "platform/platform.h"

struct LockedBlock {
    explicit LockedBlock(BlockHandle block) : handle(block), address(GlobalBlockLock(block)) {}
    ~LockedBlock() { GlobalBlockUnlock(handle); }
    LockedBlock(const LockedBlock&) = delete;
    LockedBlock& operator=(const LockedBlock&) = delete;

    template <typename T> T* As() const { return static_cast<T*>(address); }

    BlockHandle handle;
    void* address;
};
