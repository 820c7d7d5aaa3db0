#include "platform/platform.h"

#include <gtest/gtest.h>

TEST(GlobalBlocks, AlignedAndBounded) {
    BlockHandle block = GlobalBlockAlloc(100);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalBlockSize(block), 100u);
    auto* bytes = static_cast<unsigned char*>(GlobalBlockLock(block));
    // Doubles can live in a block without misalignment.
    EXPECT_EQ(reinterpret_cast<uintptr_t>(bytes) % 16, 0u);
    GlobalBlockUnlock(block);
    GlobalBlockFree(block);
    GlobalBlockFree(nullptr);
    EXPECT_EQ(GlobalBlockAlloc(kMaxBlockBytes + 1), nullptr);
    EXPECT_EQ(LocalBlockAlloc(kMaxBlockBytes + 1), nullptr);
}
