#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(GlobalBlocks, ZeroFilledAlignedAndBounded) {
    int32_t live = PlatformLiveBlocks();
    BlockHandle block = GlobalBlockAlloc(100);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalBlockSize(block), 100u);
    auto* bytes = static_cast<unsigned char*>(GlobalBlockLock(block));
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(bytes[i], 0);
    // Doubles can live in a block without misalignment.
    EXPECT_EQ(reinterpret_cast<uintptr_t>(bytes) % 16, 0u);
    EXPECT_EQ(GlobalBlockLock(block), bytes); // locks nest, the address stays
    GlobalBlockUnlock(block);
    GlobalBlockUnlock(block);
    GlobalBlockFree(block);
    GlobalBlockFree(nullptr);
    EXPECT_EQ(PlatformLiveBlocks(), live);
    EXPECT_EQ(GlobalBlockAlloc(kMaxBlockBytes + 1), nullptr);
    EXPECT_EQ(LocalBlockAlloc(kMaxBlockBytes + 1), nullptr);
}
