#include "engine/network_state.h"
#include "engine/transfer.h"
#include "support/fresh_library.h"

#include <cmath>
#include <string>

using Transfer = LibraryTest;

namespace {
constexpr int32_t kOne = 65536; // net input 1.0 in Q16
}

TEST_F(Transfer, LogisticAtLoad) {
    gNet.transferCode = 1;
    LoadNetworkDefaults();
    EXPECT_EQ(gNet.transferCode, 3);
    EXPECT_EQ(gNet.transferTable[0], 16384);
    EXPECT_EQ(gNet.transferTable[128], 23955);
    EXPECT_EQ(gNet.transferTable[1280], 32766);
    EXPECT_EQ(ApplyTransferFixed(kOne), 23955);
    EXPECT_EQ(ApplyTransferFixed(-kOne), 8812); // 32767 - 23955
    EXPECT_EQ(ApplyTransferFixed(10 * kOne - 1), 32766);
    EXPECT_EQ(ApplyTransferFixed(10 * kOne), 32767);
    EXPECT_EQ(ApplyTransferFixed(INT32_MIN), 0);
    EXPECT_EQ(ApplyTransferDouble(0.0), 0.5);
}

TEST_F(Transfer, StepIsASteepRampInFixedPoint) {
    ASSERT_EQ(std::string(SetEnhanced(4, 1.0, 0, 0.0, 0, 0.0)), "OK");
    // Half way to entry 1: 16384 + (16383 x 256 + 256) >> 9.
    EXPECT_EQ(ApplyTransferFixed(256), 24576);
    EXPECT_EQ(ApplyTransferFixed(-256), 8191);
    EXPECT_EQ(ApplyTransferFixed(511), 32735);
    EXPECT_EQ(ApplyTransferFixed(512), 32767);
    EXPECT_EQ(ApplyTransferDouble(0.0), 0.5);
    EXPECT_EQ(ApplyTransferDouble(-1e-300), 0.0);
}

TEST_F(Transfer, OtherCodesAndTheirCutOffs) {
    SetEnhanced(2, 1.0, 0, 0.0, 0, 0.0);
    EXPECT_EQ(gNet.transferTable[640], 24575); // 0.75 x 32767 + 0.5
    EXPECT_EQ(ApplyTransferDouble(-10.0), 0.0);
    EXPECT_EQ(ApplyTransferDouble(-20.0), 0.0);
    EXPECT_EQ(ApplyTransferDouble(30.0), 1.0);
    SetEnhanced(1, 2.0, 0, 0.0, 0, 0.0);
    EXPECT_EQ(ApplyTransferFixed(10 * kOne), 0);
    EXPECT_EQ(ApplyTransferFixed(-kOne), ApplyTransferFixed(kOne));
    SetEnhanced(6, 1.0, 0, 0.0, 0, 0.0);
    EXPECT_EQ(ApplyTransferFixed(-kOne), 16384); // 1 / (1 + 1)
    EXPECT_EQ(ApplyTransferFixed(-10 * kOne), 32767);
    SetEnhanced(3, -1.0, 0, 0.0, 0, 0.0); // the table takes the gain's magnitude
    EXPECT_EQ(gNet.transferTable[128], 23955);
    EXPECT_LT(ApplyTransferDouble(1.0), 0.5);
    SetEnhanced(2, HUGE_VAL, 0, 0.0, 0, 0.0);
    EXPECT_EQ(gNet.transferTable[0], 0);
    EXPECT_EQ(gNet.transferTable[1], 32767);
}

TEST_F(Transfer, SymmetricSigmoidIsOdd) {
    ASSERT_EQ(std::string(SetEnhanced(5, 4.0, 0, 0.0, 0, 0.0)), "OK");
    EXPECT_EQ(gNet.transferTable[128], 24955); // tanh(1) x 32767 + 0.5
    EXPECT_EQ(ApplyTransferFixed(kOne), 24955);
    EXPECT_EQ(ApplyTransferFixed(-kOne), -24955);
    EXPECT_EQ(ApplyTransferFixed(-kOne - 300), -ApplyTransferFixed(kOne + 300));
    EXPECT_EQ(ApplyTransferFixed(10 * kOne), 32767);
    EXPECT_EQ(ApplyTransferFixed(-10 * kOne), -32767);
    EXPECT_DOUBLE_EQ(ApplyTransferDouble(0.5), 0.46211715726000974); // tanh(4 x 0.5 / 4)
    EXPECT_EQ(ApplyTransferDouble(-0.5), -ApplyTransferDouble(0.5));
    EXPECT_EQ(ApplyTransferDouble(-64.5), -1.0);
    EXPECT_EQ(ApplyTransferDouble(64.5), 1.0);
}

TEST_F(Transfer, SetEnhancedSettings) {
    gNet.transferTable[5] = 1234; // repeating the code and gain keeps the table
    EXPECT_EQ(std::string(SetEnhanced(3, 1.0, 1, 0.01, 0, 0.4)), "OK");
    EXPECT_EQ(gNet.transferTable[5], 1234);
    EXPECT_EQ(std::string(SetEnhanced(7, 2.0, 0, 1.0, 1, 1.0)), "Unrecognized Function Code");
    EXPECT_EQ(gNet.pruneEnabled, 1);
    EXPECT_EQ(gNet.autoLearningRate, 0);
    EXPECT_EQ(gNet.scaleMargin, 0.2);

    SetParams(0.0, 0.0, 0.5, 0.0, 0.0);
    EXPECT_EQ(std::string(SetEnhanced(1, 2.0, 1, 0.01, 1, -0.5)), "Invalid Scale Margin");
    EXPECT_EQ(gNet.transferCode, 1);
    EXPECT_EQ(gNet.tableSymmetry, 1);
    EXPECT_EQ(gNet.pruneThreshold, 671088);
    EXPECT_EQ(gNet.learningRateFixed, 0);
    EXPECT_EQ(gNet.learningRate, 0.5);
    EXPECT_EQ(gNet.scaleMargin, 0.2);
    for (double margin : {std::nan(""), HUGE_VAL})
        EXPECT_EQ(std::string(SetEnhanced(1, 2.0, 0, 0.0, 0, margin)), "Invalid Scale Margin");

    SetEnhanced(1, 2.0, 0, 20.0, 0, 0.0);
    EXPECT_EQ(gNet.pruneThreshold, 1073741824);
    SetEnhanced(1, 2.0, 0, -1e300, 0, 0.0);
    EXPECT_EQ(gNet.pruneThreshold, INT32_MIN);
    SetEnhanced(1, 2.0, 0, std::nan(""), 0, 0.0);
    EXPECT_EQ(gNet.pruneThreshold, 0);
}
