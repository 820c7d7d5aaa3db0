#include "engine/network_build.h"
#include "engine/network_state.h"
#include "platform/platform.h"
#include "support/fresh_library.h"

#include <string>

namespace {

using NetworkBuild = LibraryTest;

// 10 inputs x window 1, 5 hidden, 2 outputs: (10 + 1) x 5 + (5 + 1) x 2 = 67 weights.
std::string BuildSmall(int16_t method, int16_t ignoredHidden = 0) {
    return InitBP(10, 2, 20, 1, 1, 0, 3, 5, ignoredHidden, ignoredHidden, ignoredHidden, method);
}

// A two-layer network of (inputs + 1) x outputs weights.
std::string BuildFlat(int16_t inputs, int16_t outputs, int16_t method) {
    return InitBP(inputs, outputs, 1, 1, 1, 0, 2, 0, 0, 0, 0, method);
}

} // namespace

TEST_F(NetworkBuild, DimensionsOfASmallNetwork) {
    ASSERT_EQ(BuildSmall(CALC_DOUBLE, 99), "OK");
    EXPECT_EQ(gNet.weightCount, 67); // hidden sizes beyond the layers that exist do not count
    EXPECT_EQ(gNet.weightFpRows, 9);
    EXPECT_EQ(gNet.weightFpColumns, 8);
    EXPECT_EQ(gNet.layerSize[0], 10);
    EXPECT_EQ(gNet.layerSize[2], 2);
    EXPECT_EQ(gNet.largeWeights, 0);
    EXPECT_EQ(gNet.minRow, -1);
    EXPECT_EQ(gNet.maxRow, -1);
    EXPECT_EQ(gNet.symbolRow, -1);
    EXPECT_EQ(gNet.weightFpRecord->rows, 9);
    EXPECT_EQ(gNet.weightFpRecord->columns, 8);
}

TEST_F(NetworkBuild, RowsWindowAndBlankRows) {
    ASSERT_EQ(InitBP(2, 1, 20, 3, 1, 2, 2, 0, 0, 0, 0, CALC_FIXED16), std::string("OK"));
    EXPECT_EQ(gNet.rows, 18);
    EXPECT_EQ(gNet.patterns, 16);
    EXPECT_EQ(gNet.blankRows, 2);
    EXPECT_EQ(gNet.blankPatternRows, 2);
    EXPECT_EQ(gNet.layerSize[0], 6);
    EXPECT_EQ(gNet.outputsFpRecord->rows, 18);
    EXPECT_EQ(gNet.outputsFpRecord->columns, 1);
    EXPECT_EQ(gNet.blankFlagsFpRecord->rows, 18);
    EXPECT_EQ(gNet.columnScratchRecord->rows, 20);
    EXPECT_EQ(GlobalBlockSize(gNet.blankRowFlags), 20u * 4);
    EXPECT_EQ(GlobalBlockSize(gNet.translatedOutputs), 20u * sizeof(XLOPER));
}

TEST_F(NetworkBuild, BlockSizesFollowTheMethod) {
    // 2 inputs x window 3, 16 patterns of 18 rows, 1 output, 7 weights.
    ASSERT_EQ(InitBP(2, 1, 20, 3, 1, 2, 2, 0, 0, 0, 0, CALC_FIXED16), std::string("OK"));
    EXPECT_EQ(GlobalBlockSize(gNet.weightsBlock), 7u * 6);
    EXPECT_EQ(GlobalBlockSize(gNet.inputBlock), (18u * 2 + 16) * 2);
    EXPECT_EQ(GlobalBlockSize(gNet.targetBlock), 16u * 2 + 16);
    EXPECT_EQ(GlobalBlockSize(gNet.outputBlock), 16u * 2);
    EXPECT_EQ(GlobalBlockSize(gNet.patternFlagsBlock), 16u * 4);
    EXPECT_EQ(gNet.unitActivationsFixedEnd - gNet.unitActivationsFixed, 9);
    EXPECT_EQ(gNet.unitDeltasFixedEnd - gNet.unitDeltasFixed, 1);
    EXPECT_EQ(gNet.unitActivationsDouble, nullptr);

    ASSERT_EQ(InitBP(2, 1, 20, 3, 1, 2, 2, 0, 0, 0, 0, CALC_DOUBLE), std::string("OK"));
    EXPECT_EQ(GlobalBlockSize(gNet.weightsBlock), 7u * 16);
    EXPECT_EQ(GlobalBlockSize(gNet.inputBlock), (18u + 2) * 2 * 8);
    EXPECT_EQ(GlobalBlockSize(gNet.targetBlock), (16u + 2) * 8);
    EXPECT_EQ(GlobalBlockSize(gNet.outputBlock), 16u * 8);
    EXPECT_EQ(gNet.unitActivationsDoubleEnd - gNet.unitActivationsDouble, 9);
    EXPECT_EQ(gNet.unitActivationsFixed, nullptr);
}

TEST_F(NetworkBuild, WeightLimitAndPageRows) {
    // 2046 inputs, 64 outputs: 2047 x 64 = 131008 weights, the most allowed.
    ASSERT_EQ(BuildFlat(2046, 64, CALC_FIXED16), "OK");
    EXPECT_EQ(gNet.weightCount, 131008);
    EXPECT_EQ(gNet.weightFpRows, 680);
    // 2113 x 62 inputs, 1 hidden, 1 output: 131007 + 2 = 131009 weights.
    EXPECT_EQ(std::string(InitBP(2113, 1, 62, 62, 1, 0, 3, 1, 0, 0, 0, CALC_FIXED16)),
              "Total weights exceeded 131,008 limit.");
    EXPECT_EQ(gNet.weightCount, 131008); // refused before anything was recorded
    EXPECT_EQ(gNet.layerCount, 2);
    EXPECT_NE(GetWeights(0), nullptr);
    // 26201 x 5 inputs, 1 hidden, 1 output: 131006 + 2 = 131008 weights.
    ASSERT_EQ(std::string(InitBP(26201, 1, 5, 5, 1, 0, 3, 1, 0, 0, 0, CALC_DOUBLE)), "OK");
    EXPECT_EQ(gNet.weightCount, 131008);

    ASSERT_EQ(BuildFlat(5440, 1, CALC_DOUBLE), "OK");
    EXPECT_EQ(gNet.weightCount, 5441);
    EXPECT_EQ(gNet.weightFpRows, 680); // 681 before the cap
    ASSERT_EQ(BuildFlat(5431, 1, CALC_DOUBLE), "OK");
    EXPECT_EQ(gNet.weightFpRows, 679);
}

TEST_F(NetworkBuild, LargeWeightThresholds) {
    ASSERT_EQ(BuildFlat(10920, 1, CALC_FIXED16), "OK");
    EXPECT_EQ(gNet.largeWeights, 1);
    ASSERT_EQ(BuildFlat(10919, 1, CALC_FIXED16), "OK");
    EXPECT_EQ(gNet.largeWeights, 0);
    ASSERT_EQ(BuildFlat(4096, 1, CALC_DOUBLE), "OK");
    EXPECT_EQ(gNet.largeWeights, 1);
    ASSERT_EQ(BuildFlat(4095, 1, CALC_DOUBLE), "OK");
    EXPECT_EQ(gNet.largeWeights, 0);
}

TEST_F(NetworkBuild, BiasSlotsHoldOneAndEverythingElseIsZero) {
    ASSERT_EQ(BuildSmall(CALC_FIXED16), "OK");
    for (int32_t k = 0; k < 20; ++k) // layers of 10, 5 and 2 units, each with its bias slot
        EXPECT_EQ(gNet.unitActivationsFixed[k], (k == 10 || k == 16 || k == 19) ? 32767 : 0) << k;
    ASSERT_EQ(BuildSmall(CALC_DOUBLE), "OK");
    EXPECT_EQ(gNet.unitActivationsDoubleEnd - gNet.unitActivationsDouble, 20);
    for (int32_t k = 0; k < 20; ++k)
        EXPECT_EQ(gNet.unitActivationsDouble[k], (k == 10 || k == 16 || k == 19) ? 1.0 : 0.0) << k;
    auto* weights = static_cast<const double*>(GlobalBlockLock(gNet.weightsBlock));
    for (int32_t k = 0; k < 2 * 67; ++k)
        EXPECT_EQ(weights[k], 0.0);
    GlobalBlockUnlock(gNet.weightsBlock);
    EXPECT_EQ(gNet.dataModeActive, 0);
}

TEST_F(NetworkBuild, RefusalsLeaveThePreviousNetworkUsable) {
    ASSERT_EQ(BuildSmall(CALC_DOUBLE), "OK");
    BlockHandle weightFp = gNet.weightFp;
    const int32_t live = PlatformLiveBlocks();
    struct Case {
        int16_t args[12];
        const char* message;
    } cases[] = {
        {{10, 2, 20, 1, 1, 0, 7, 5, 5, 5, 5, 1}, "Incorrect network size"},
        {{10, 2, 20, 1, 1, 0, 3, 5, 0, 0, 0, 2}, "Invalid calculation method"},
        {{10, 2, 20, 1, 1, 0, 3, 5, 0, 0, 0, -1}, "Invalid calculation method"},
        {{10, 2, 20, 1, 1, 0, 1, 5, 0, 0, 0, 1}, "Incorrect network size"},
        {{0, 2, 20, 1, 1, 0, 3, 5, 0, 0, 0, 1}, "Incorrect network size"},
        {{10, 0, 20, 1, 1, 0, 3, 5, 0, 0, 0, 1}, "Incorrect network size"},
        {{10, 2, 20, 1, 1, 0, 4, 5, 0, 0, 0, 1}, "Incorrect network size"},
        {{10, 2, 20, 0, 1, 0, 3, 5, 0, 0, 0, 1}, "Invalid window or pattern step"},
        {{10, 2, 20, 1, 0, 0, 3, 5, 0, 0, 0, 1}, "Invalid window or pattern step"},
        {{10, 2, 20, 1, 1, -1, 3, 5, 0, 0, 0, 1}, "Invalid number of rows"},
        {{10, 2, 20, 1, 1, 21, 3, 5, 0, 0, 0, 1}, "Invalid number of rows"},
        {{10, 2, 20, 21, 1, 0, 3, 5, 0, 0, 0, 1}, "Invalid number of rows"},
        {{10, 2, 20, 3, 1, 18, 3, 5, 0, 0, 0, 1}, "Invalid number of rows"},
    };
    for (const Case& c : cases) {
        const int16_t* a = c.args;
        EXPECT_EQ(std::string(InitBP(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9],
                                     a[10], a[11])),
                  c.message)
            << "layers " << a[6] << " method " << a[11];
        EXPECT_EQ(gNet.weightFp, weightFp);
        EXPECT_EQ(gNet.weightCount, 67);
        EXPECT_EQ(gNet.calcMethod, CALC_DOUBLE);
        EXPECT_EQ(gNet.rows, 20);
        EXPECT_EQ(PlatformLiveBlocks(), live);
    }
    EXPECT_NE(GetWeights(0), nullptr);
    // Init is InitBP in fixed point.
    EXPECT_EQ(std::string(Init(10, 2, 20, 1, 1, 0, 3, 5, 0, 0, 0)), "OK");
    EXPECT_EQ(gNet.calcMethod, CALC_FIXED16);
}

TEST_F(NetworkBuild, EveryAllocationFailureLeavesNoNetworkAndNoLeak) {
    const char* fixedMessages[] = {
        "(1).", "(2).",   "(3).",   "(4).",  "(5).",  "(6).",  "(7).",  "(8).",
        "(9).", "(10A).", "(11A).", "(12).", "(12).", "(12).", "(12).",
    };
    for (int16_t method : {CALC_FIXED16, CALC_DOUBLE}) {
        for (int32_t n = 1; n <= 16; ++n) {
            ASSERT_EQ(BuildSmall(CALC_DOUBLE), "OK"); // an earlier network to replace
            CleanUp();
            const int32_t baseline = PlatformLiveBlocks();
            ASSERT_EQ(BuildSmall(CALC_DOUBLE), "OK");
            PlatformFailAllocation(n);
            std::string result = BuildSmall(method);
            PlatformFailAllocation(0);
            if (n == 16) {
                EXPECT_EQ(result, "OK");
                continue;
            }
            std::string site = fixedMessages[n - 1];
            if (method == CALC_DOUBLE && n == 10) site = "(10B).";
            if (method == CALC_DOUBLE && n == 11) site = "(11B).";
            EXPECT_EQ(result, "Insufficient memory " + site) << "allocation " << n;
            EXPECT_FALSE(NetworkExists());
            EXPECT_EQ(GetWeights(0), nullptr);
            EXPECT_EQ(PlatformLiveBlocks(), baseline) << "allocation " << n;
            EXPECT_EQ(gNet.calcMethod, method); // the failed call's dimensions stay
            ASSERT_EQ(BuildSmall(method), "OK");
            EXPECT_NE(GetWeights(0), nullptr);
        }
    }
}

TEST_F(NetworkBuild, ReleaseFreesSymbolTablesAndIsHarmlessTwice) {
    const int32_t baseline = PlatformLiveBlocks();
    EXPECT_EQ(CleanUp(), 1); // before any network
    ASSERT_EQ(BuildSmall(CALC_FIXED16), "OK");
    EXPECT_EQ(gNet.inputSymbolTableCount, 10);
    EXPECT_EQ(gNet.outputSymbolTableCount, 2);
    gNet.inputSymbolHandles[3] = GlobalBlockAlloc(32);
    gNet.outputSymbolHandles[1] = GlobalBlockAlloc(32);
    EXPECT_EQ(CleanUp(), 1);
    EXPECT_EQ(CleanUp(), 1);
    EXPECT_EQ(PlatformLiveBlocks(), baseline);
    EXPECT_FALSE(NetworkExists());
    EXPECT_EQ(gNet.weightsBlock, nullptr);
    EXPECT_EQ(gNet.inputSymbolTables, nullptr);
    EXPECT_EQ(gNet.unitActivationsFixed, nullptr);
}

TEST_F(NetworkBuild, RunHistoryResetAndWeightBinding) {
    ASSERT_EQ(BuildSmall(CALC_FIXED16), "OK");
    gNet.trainError = 0.2;
    gNet.bestTestError = 0.1;
    gNet.trainErrorHistory[253] = 5;
    gNet.errorHistoryCount = 7;
    gNet.errorBucketSize = 4;
    gNet.errorBucketFill = 2;
    gNet.testErrorSum = 99;
    ResetRunHistory();
    EXPECT_EQ(gNet.trainError, 1.0);
    EXPECT_EQ(gNet.bestTestError, 1.0);
    EXPECT_EQ(gNet.trainErrorHistory[253], 0);
    EXPECT_EQ(gNet.errorHistoryCount, 0);
    EXPECT_EQ(gNet.errorBucketSize, 1);
    EXPECT_EQ(gNet.errorBucketFill, 0);
    EXPECT_EQ(gNet.testErrorSum, 0);

    auto* block = static_cast<unsigned char*>(GlobalBlockLock(gNet.weightsBlock));
    BindWeights(block);
    EXPECT_EQ(static_cast<void*>(gNet.weightsFixed), block);
    EXPECT_EQ(static_cast<void*>(gNet.lastChangesFixed), block + 4 * 67);
    GlobalBlockUnlock(gNet.weightsBlock);
}

TEST_F(NetworkBuild, LoadStateDefaults) {
    ASSERT_EQ(BuildSmall(CALC_FIXED16), "OK");
    gNet.transferCode = 1;
    gNet.learningRate = 0.5;
    LoadNetworkDefaults();
    EXPECT_FALSE(NetworkExists());
    EXPECT_EQ(gNet.transferCode, 3);
    EXPECT_EQ(gNet.transferGain, 1.0);
    EXPECT_EQ(gNet.tableSymmetry, 0);
    EXPECT_EQ(gNet.learningRate, 0.0);
    EXPECT_EQ(gNet.transferTable[0], 16384);
    EXPECT_EQ(gNet.transferTable[128], 23955);
    EXPECT_EQ(gNet.transferTable[1280], 32766);
}
