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

// A stop margin is capped at 1.0 and off unless positive; the budget saturates and a NaN
// budget is zero seconds, not undefined; a zero budget switches the limit off but keeps the
// budget for a later call.
TEST_F(Params, Cutoffs) {
    SetCutoffs(0.5, 0.0, 0.05);
    SetCutoffs(0.0, 3.0, -1.0);
    EXPECT_EQ(gNet.timeLimitOn, 0);
    EXPECT_EQ(gNet.timeBudgetSeconds, 1800);
    EXPECT_EQ(gNet.trainStopRise, 1.0);
    EXPECT_EQ(gNet.testPassOn, 0);
    const struct {
        double hours;
        int32_t seconds;
    } budgets[] = {{-1.0, -3600}, {1e300, INT32_MAX}, {-1e300, INT32_MIN}, {std::nan(""), 0}};
    for (auto b : budgets) {
        SetCutoffs(b.hours, std::nan(""), 0.0);
        EXPECT_EQ(gNet.timeLimitOn, 1) << b.hours;
        EXPECT_EQ(gNet.timeBudgetSeconds, b.seconds) << b.hours;
        EXPECT_EQ(gNet.trainStopOn, 0) << b.hours;
    }
}
