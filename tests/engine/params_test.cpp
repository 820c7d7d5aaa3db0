#include "engine/network_state.h"
#include "engine/params.h"
#include "support/fresh_library.h"

#include <cmath>
#include <string>

using Params = LibraryTest;

TEST_F(Params, FixedCopies) {
    EXPECT_EQ(std::string(SetParams(0.1, 0.2, 0.5, 0.9, 0.0)), "OK");
    EXPECT_EQ(gNet.trainToleranceFixed, 3276);
    EXPECT_EQ(gNet.testToleranceFixed, 6553);
    EXPECT_EQ(gNet.learningRateFixed, 16384);
    EXPECT_EQ(gNet.momentumFixed, 29491);
    EXPECT_EQ(gNet.inputNoiseFixed, 0);
    SetParams(0.0, 0.0, 0.0, 0.0, 1.0);
    EXPECT_EQ(gNet.inputNoise, 2.0 / 3.0);
    EXPECT_EQ(gNet.inputNoiseFixed, 21845);
    SetParams(0.0, 0.0, 0.0, 0.0, -0.25); // share -1.0: the low 16 bits of -32768
    EXPECT_EQ(gNet.inputNoiseFixed, -32768);
    SetParams(0.0, 0.0, 0.0, 0.0, -0.5); // an infinite share
    EXPECT_EQ(gNet.inputNoiseFixed, 0);

    EXPECT_EQ(Q15Copy(0.99999), 32767); // 32767.67 truncated
    EXPECT_EQ(Q15Copy(0.00003), 0);
    for (double one : {1.0, 1.5, 1.9999999, 2.0, 1e300, -0.25, -2.0, -1e-300, HUGE_VAL})
        EXPECT_EQ(Q15Copy(one), 32767) << one;
    EXPECT_EQ(Q15Copy(std::nan("")), 32767);
}

TEST_F(Params, Cutoffs) {
    EXPECT_EQ(std::string(SetCutoffs(0.5, 0.0, 0.05)), "OK");
    EXPECT_EQ(gNet.timeLimitOn, 1);
    EXPECT_EQ(gNet.timeBudgetSeconds, 1800);
    EXPECT_EQ(gNet.trainStopOn, 0);
    EXPECT_EQ(gNet.testPassOn, 1);
    EXPECT_EQ(gNet.testStopRise, 0.05);

    SetCutoffs(0.0, 3.0, -1.0);
    EXPECT_EQ(gNet.timeLimitOn, 0);
    EXPECT_EQ(gNet.timeBudgetSeconds, 1800); // kept for a later non-zero call
    EXPECT_EQ(gNet.trainStopOn, 1);
    EXPECT_EQ(gNet.trainStopRise, 1.0);
    EXPECT_EQ(gNet.testPassOn, 0);
    EXPECT_EQ(gNet.testStopRise, 0.05);

    SetCutoffs(-1.0, 0.0, 0.0);
    EXPECT_EQ(gNet.timeBudgetSeconds, -3600);
    SetCutoffs(1e300, 0.0, 0.0);
    EXPECT_EQ(gNet.timeBudgetSeconds, INT32_MAX);
    SetCutoffs(std::nan(""), std::nan(""), 0.0);
    EXPECT_EQ(gNet.timeLimitOn, 1);
    EXPECT_EQ(gNet.timeBudgetSeconds, 0);
    EXPECT_EQ(gNet.trainStopOn, 0);
}
