// A movable global block held locked for the lifetime of this object (a null handle holds
// nothing), and the release of a block together with its handle.
#pragma once

#include "platform/platform.h"

#include <cstddef>

template <typename T = unsigned char> class LockedBlock {
  public:
    explicit LockedBlock(BlockHandle block)
        : block_(block), data_(static_cast<T*>(block ? GlobalBlockLock(block) : nullptr)) {}
    ~LockedBlock() {
        if (block_) GlobalBlockUnlock(block_);
    }
    LockedBlock(const LockedBlock&) = delete;
    LockedBlock& operator=(const LockedBlock&) = delete;

    T* get() const { return data_; }
    T* operator->() const { return data_; }
    T& operator*() const { return *data_; }
    T& operator[](size_t k) const { return data_[k]; }
    // The same bytes read as another type.
    template <typename U> U* As() const { return reinterpret_cast<U*>(data_); }

  private:
    BlockHandle block_;
    T* data_;
};

// Frees `block` (nothing for a null handle) and clears the handle.
inline void FreeBlock(BlockHandle& block) {
    if (block != nullptr) GlobalBlockFree(block);
    block = nullptr;
}

// Frees a block kept locked since it was allocated (pinned), and clears the handle.
inline void FreePinnedBlock(BlockHandle& block) {
    if (block != nullptr) GlobalBlockUnlock(block);
    FreeBlock(block);
}
