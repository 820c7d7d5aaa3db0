#include "addin/title_window.h"
#include "engine/network_state.h"
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

TEST(Lifecycle, SmallExportsAnswerTheirConstants) {
    EXPECT_EQ(WEP(0), 1);
    EXPECT_EQ(WEP(-7), 1);
    EXPECT_EQ(DBWndProc(nullptr, 0, 0, 0), 0);
    EXPECT_EQ(DBWndProc(reinterpret_cast<void*>(0x1234), 0x0110, ~uintptr_t(0), -1), 0);
    EXPECT_EQ(InitQRWTitle(), 1); // no title window off Windows: answers at once
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

} // namespace
