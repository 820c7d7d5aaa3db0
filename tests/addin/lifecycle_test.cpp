#include "addin/library_state.h"
#include "platform/hooks.h"
#include "platform/platform.h"
#include "quar1432.h"

#include <gtest/gtest.h>

namespace {

// Every record back to its load state, whatever the previous calls left behind.
TEST(Lifecycle, ResetLibraryForgetsEveryRecord) {
    ASSERT_STREQ(InitBP(1, 1, 4, 1, 1, 0, 2, 0, 0, 0, 0, CALC_DOUBLE), "OK");
    ASSERT_STREQ(InitSuper(0.5, 3, 2, 0, 0, 0, 0.1, 0.5, 0.01), "OK");
    Parse("A,B", "", "", "");
    PlatformSetClock(7);
    PlatformFailAllocation(5);
    ResetLibrary();
    EXPECT_STREQ(GetParsed(), "");
    EXPECT_EQ(gHooks.failCountdown, 0);
    EXPECT_EQ(gHooks.clockOverride, -1);
    EXPECT_EQ(PlatformLiveBlocks(), 0);
}

} // namespace
