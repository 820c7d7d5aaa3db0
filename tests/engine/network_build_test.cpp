#include "engine/network_state.h"
#include "platform/platform.h"
#include "support/fresh_library.h"

#include <string>

namespace {

using NetworkBuild = LibraryTest;

// 10 inputs x window 1, 5 hidden, 2 outputs: (10 + 1) x 5 + (5 + 1) x 2 = 67 weights.
std::string BuildSmall(int16_t method, int16_t unused = 0) {
    return InitBP(10, 2, 20, 1, 1, 0, 3, 5, unused, unused, unused, method);
}

// Two layers: (inputs x window + 1) x outputs weights.
std::string BuildFlat(int16_t inputs, int16_t outputs, int16_t method) {
    return InitBP(inputs, outputs, 1, 1, 1, 0, 2, 0, 0, 0, 0, method);
}

} // namespace

TEST_F(NetworkBuild, Dimensions) {
    ASSERT_EQ(BuildSmall(CALC_DOUBLE, 99), "OK"); // sizes beyond the layers that exist: unused
    EXPECT_EQ(gNet.weightCount, 67);
    EXPECT_EQ(gNet.weightFpRows, 9);
    EXPECT_EQ(gNet.weightFpRecord->columns, 8);
    EXPECT_EQ(gNet.minRow, -1);

    ASSERT_EQ(std::string(InitBP(2, 1, 20, 3, 1, 2, 2, 0, 0, 0, 0, CALC_FIXED16)), "OK");
    EXPECT_EQ(gNet.rows, 18);
    EXPECT_EQ(gNet.patterns, 16);
    EXPECT_EQ(gNet.blankPatternRows, 2);
    EXPECT_EQ(gNet.outputsFpRecord->rows, 18);
    EXPECT_EQ(gNet.columnScratchRecord->rows, 20);
    EXPECT_EQ(GlobalBlockSize(gNet.blankRowFlags), 20u * 4);
    EXPECT_EQ(GlobalBlockSize(gNet.weightsBlock), 7u * 6);
    EXPECT_EQ(GlobalBlockSize(gNet.inputBlock), (18u * 2 + 16) * 2);
}

TEST_F(NetworkBuild, WeightLimitLargeWeightsAndPageRows) {
    ASSERT_EQ(BuildFlat(2046, 64, CALC_FIXED16), "OK"); // 2047 x 64 = 131008
    EXPECT_EQ(gNet.weightFpRows, 680);
    // 2113 x 62 inputs, 1 hidden, 1 output: 131007 + 2 = 131009.
    EXPECT_EQ(std::string(InitBP(2113, 1, 62, 62, 1, 0, 3, 1, 0, 0, 0, CALC_FIXED16)),
              "Total weights exceeded 131,008 limit.");
    EXPECT_EQ(gNet.weightCount, 131008); // refused before anything was recorded
    EXPECT_NE(GetWeights(0), nullptr);

    const struct {
        int16_t inputs, method;
        int32_t large, fpRows;
    } cases[] = {{10920, CALC_FIXED16, 1, 680}, {10919, CALC_FIXED16, 0, 680},
                 {4096, CALC_DOUBLE, 1, 513},   {4095, CALC_DOUBLE, 0, 512},
                 {5440, CALC_DOUBLE, 1, 680},   {5431, CALC_DOUBLE, 1, 679}};
    for (const auto& c : cases) {
        ASSERT_EQ(BuildFlat(c.inputs, 1, c.method), "OK");
        EXPECT_EQ(gNet.largeWeights, c.large) << c.inputs + 1 << " weights";
        EXPECT_EQ(gNet.weightFpRows, c.fpRows) << c.inputs + 1 << " weights";
    }
}

TEST_F(NetworkBuild, BiasSlotsHoldOneAndEverythingElseIsZero) {
    ASSERT_EQ(BuildSmall(CALC_FIXED16), "OK");
    for (int32_t k = 0; k < 20; ++k) // layers of 10, 5 and 2 units, each with its bias slot
        EXPECT_EQ(gNet.unitActivationsFixed[k], (k == 10 || k == 16 || k == 19) ? 32767 : 0);
    ASSERT_EQ(BuildSmall(CALC_DOUBLE), "OK");
    EXPECT_EQ(gNet.unitActivationsDoubleEnd - gNet.unitActivationsDouble, 20);
    EXPECT_EQ(gNet.unitActivationsFixed, nullptr);
    for (int32_t k = 0; k < 20; ++k)
        EXPECT_EQ(gNet.unitActivationsDouble[k], (k == 10 || k == 16 || k == 19) ? 1.0 : 0.0);
}

TEST_F(NetworkBuild, RefusalsLeaveThePreviousNetworkUsable) {
    ASSERT_EQ(BuildSmall(CALC_DOUBLE), "OK");
    BlockHandle weightFp = gNet.weightFp;
    const int32_t live = PlatformLiveBlocks();
    const struct {
        int16_t a[12];
        const char* message;
    } cases[] = {
        {{10, 2, 20, 1, 1, 0, 7, 5, 5, 5, 5, 1}, "Incorrect network size"},
        {{10, 2, 20, 1, 1, 0, 3, 5, 0, 0, 0, 2}, "Invalid calculation method"},
        {{10, 2, 20, 1, 1, 0, 3, 5, 0, 0, 0, -1}, "Invalid calculation method"},
        {{10, 2, 20, 1, 1, 0, 1, 5, 0, 0, 0, 1}, "Incorrect network size"},
        {{0, 2, 20, 1, 1, 0, 3, 5, 0, 0, 0, 1}, "Incorrect network size"},
        {{10, 2, 20, 1, 1, 0, 4, 5, 0, 0, 0, 1}, "Incorrect network size"},
        {{10, 2, 20, 0, 1, 0, 3, 5, 0, 0, 0, 1}, "Invalid window or pattern step"},
        {{10, 2, 20, 1, 0, 0, 3, 5, 0, 0, 0, 1}, "Invalid window or pattern step"},
        {{10, 2, 20, 1, 1, -1, 3, 5, 0, 0, 0, 1}, "Invalid number of rows"},
        {{10, 2, 20, 1, 1, 21, 3, 5, 0, 0, 0, 1}, "Invalid number of rows"},
        {{10, 2, 20, 3, 1, 18, 3, 5, 0, 0, 0, 1}, "Invalid number of rows"}, // no pattern
    };
    for (const auto& c : cases) {
        const int16_t* a = c.a;
        EXPECT_EQ(std::string(InitBP(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9],
                                     a[10], a[11])),
                  c.message);
        EXPECT_EQ(gNet.weightFp, weightFp);
        EXPECT_EQ(gNet.weightCount, 67);
        EXPECT_EQ(gNet.rows, 20);
        EXPECT_EQ(PlatformLiveBlocks(), live);
    }
    EXPECT_EQ(std::string(Init(10, 2, 20, 1, 1, 0, 3, 5, 0, 0, 0)), "OK");
    EXPECT_EQ(gNet.calcMethod, CALC_FIXED16);
}

TEST_F(NetworkBuild, EveryAllocationFailureLeavesNoNetworkAndNoLeak) {
    const char* sites[] = {"1", "2",  "3",  "4",  "5",  "6",  "7", "8",
                           "9", "10", "11", "12", "12", "12", "12"};
    for (int16_t method : {CALC_FIXED16, CALC_DOUBLE}) {
        for (int32_t n = 1; n <= 16; ++n) {
            const int32_t baseline = PlatformLiveBlocks();
            ASSERT_EQ(BuildSmall(CALC_DOUBLE), "OK"); // the network to replace
            PlatformFailAllocation(n);
            std::string result = BuildSmall(method);
            PlatformFailAllocation(0);
            if (n == 16) {
                EXPECT_EQ(result, "OK");
                CleanUp();
                continue;
            }
            std::string site = sites[n - 1];
            if (n == 10 || n == 11) site += method == CALC_FIXED16 ? "A" : "B";
            EXPECT_EQ(result, "Insufficient memory (" + site + ").");
            EXPECT_EQ(GetWeights(0), nullptr);
            EXPECT_EQ(PlatformLiveBlocks(), baseline) << "allocation " << n;
            ASSERT_EQ(BuildSmall(method), "OK");
            CleanUp();
        }
    }
}

TEST_F(NetworkBuild, CleanUpFreesSymbolTablesAndIsHarmlessTwice) {
    const int32_t baseline = PlatformLiveBlocks();
    EXPECT_EQ(CleanUp(), 1);
    ASSERT_EQ(BuildSmall(CALC_FIXED16), "OK");
    gNet.inputSymbolHandles[9] = GlobalBlockAlloc(32);
    gNet.outputSymbolHandles[1] = GlobalBlockAlloc(32);
    EXPECT_EQ(CleanUp(), 1);
    EXPECT_EQ(CleanUp(), 1);
    EXPECT_EQ(PlatformLiveBlocks(), baseline);
    EXPECT_EQ(gNet.inputSymbolTables, nullptr);
}
