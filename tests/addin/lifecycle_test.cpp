#include "addin/library_state.h"
#include "addin/title_window.h"
#include "engine/network_state.h"
#include "engine/random.h"
#include "genetic/supervisor_state.h"
#include "platform/hooks.h"
#include "quar1432.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(TitleWindow, CentresOnTheScreenInWholePixels) {
    WindowOrigin o = CentredOrigin(1024, 768, 240, 150);
    EXPECT_EQ(o.left, 392);
    EXPECT_EQ(o.top, 309);
    o = CentredOrigin(800, 600, 241, 151); // odd remainders are dropped
    EXPECT_EQ(o.left, 279);
    EXPECT_EQ(o.top, 224);
    o = CentredOrigin(200, 100, 240, 150); // a window larger than the screen
    EXPECT_EQ(o.left, -20);
    EXPECT_EQ(o.top, -25);
}

TEST(Lifecycle, TransferDefaultsAreInForceFromLoad) {
    EXPECT_EQ(gNet.transferCode, 3);
    EXPECT_EQ(gNet.transferGain, 1.0);
    EXPECT_EQ(gNet.weightFp, nullptr);

    int16_t table[kTransferTableSize];
    std::memcpy(table, gNet.transferTable, sizeof table);
    SetEnhanced(3, 1.0, 0, 0.0, 0, 0.0);
    EXPECT_EQ(std::memcmp(table, gNet.transferTable, sizeof table), 0);
    EXPECT_NE(table[kTransferTableSize - 1], 0); // the load-time table is filled in
}

// Every record back to its load state, whatever the previous calls left behind.
TEST(Lifecycle, ResetLibraryForgetsEveryRecord) {
    ASSERT_STREQ(InitBP(1, 1, 4, 1, 1, 0, 2, 0, 0, 0, 0, CALC_DOUBLE), "OK");
    ASSERT_STREQ(InitSuper(0.5, 3, 2, 0, 0, 0, 0.1, 0.5, 0.01), "OK");
    ASSERT_STREQ(SetEnhanced(1, 2.0, 0, 0.0, 0, 0.0), "OK");
    Parse("A,B", "", "", "");
    SeedRandom(9);
    PlatformSetClock(7);
    PlatformFailAllocation(5);
    ResetLibrary();
    EXPECT_STREQ(GetParsed(), "");
    EXPECT_EQ(RandomState(), 1u);
    EXPECT_EQ(gHooks.failCountdown, 0);
    EXPECT_EQ(gHooks.clockOverride, -1);
    EXPECT_EQ(gNet.transferCode, 3);
    EXPECT_EQ(gNet.weightFp, nullptr);
    EXPECT_FALSE(SupervisorExists());
    EXPECT_EQ(PlatformLiveBlocks(), 0);
}

} // namespace
