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

TEST(Letters, Windows1252Classification) {
    // character, letter, upper case: e acute, the multiplication and division signs, y diaeresis
    const struct {
        unsigned char c;
        bool letter;
        unsigned char upper;
    } cases[] = {{'a', true, 'A'},    {'Z', true, 'Z'},    {'1', false, '1'},
                 {' ', false, ' '},   {',', false, ','},   {0xE9, true, 0xC9},
                 {0xD7, false, 0xD7}, {0xF7, false, 0xF7}, {0xFF, true, 0x9F}};
    for (auto c : cases) {
        EXPECT_EQ(IsLetter(c.c), c.letter) << int(c.c);
        EXPECT_EQ(UpperChar(c.c), c.upper) << int(c.c);
    }
}
