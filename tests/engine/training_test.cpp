// Training: hand-worked values of the formulas the recorded runs see only through their
// results (one table per formula), and what RunNet does around the passes.
#include "engine/fixed_math.h"
#include "engine/network_build.h"
#include "engine/network_state.h"
#include "engine/params.h"
#include "engine/run_loop.h"
#include "engine/transfer.h"
#include "platform/platform.h"
#include "support/fresh_library.h"
#include "support/training_net.h"

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace {

using Training = LibraryTest;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int32_t kOne = 65536; // net input 1.0 in Q16

// One input, one output, linear transfer, weights 0: the output starts at 0.5.
void BuildLinearNet(int patterns) {
    BuildNet(1, 1, patterns, 1, 1, {}, CALC_DOUBLE);
    ASSERT_STREQ(SetEnhanced(2, 1.0, 0, 0.0, 0, 0.0), "OK");
    WriteInputs(std::vector<double>(patterns, 0.5));
}

// |s| < 65536: (d x s + 32768) >> 16 (-250.25 rounds to -250); below 4194304: t = (s + 128)
// >> 8, (t x d + 128) >> 8; larger: t = (s + 32768) >> 16, t x d; held to +-16384.
TEST(FixedMath, HiddenDeltaBranches) {
    const struct {
        int32_t d, s, delta;
    } cases[] = {{16384, 1000, 250},        {16384, -1001, -250},     {8192, 70000, 8736},
                 {16384, 131064, 16384},    {16384, -131064, -16384}, {3, 5000000, 228},
                 {16384, INT32_MIN, -16384}};
    for (const auto& c : cases)
        EXPECT_EQ(HiddenDeltaQ15(c.d, c.s), c.delta) << c.d << " x " << c.s;
}

// Q15 copies truncate; 1.0 and more (bit 15 set), anything negative and NaN give 32767.
TEST_F(Training, ParameterCopies) {
    const std::pair<double, int16_t> copies[] = {{0.5, 16384},   {0.99999, 32767}, {0.00003, 0},
                                                 {1.0, 32767},   {2.0, 32767},     {1e300, 32767},
                                                 {-0.25, 32767}, {kNaN, 32767}};
    for (auto [x, copy] : copies)
        EXPECT_EQ(Q15Copy(x), copy) << x;
}

// The fixed transfer reads a table of f(i / 128) x 32767 + 0.5 between entries, a negative
// net input as 1 - f, f or -f by the code's symmetry, and is cut off beyond +-10. Logistic
// 1 / (1 + e^-1) is 23955 (the table takes the gain's magnitude); the step is a steep ramp,
// 16384 + (16383 x 256 + 256) >> 9 half way; linear 0.05 x 5 + 0.5, with NaN entries of an
// infinite gain stored as 0; Gaussian e^-0.5; square ratio 1 / (1 + 1); symmetric tanh(1).
TEST_F(Training, TransferFunctions) {
    gNet.transferCode = 1;
    LoadNetworkDefaults(); // a library loads with the logistic function
    EXPECT_EQ(ApplyTransferFixed(kOne), 23955);
    const struct {
        int16_t code;
        double gain;
        int32_t net;
        int16_t y;
    } fixed[] = {{3, 1.0, -kOne, 8812},   {3, 1.0, 10 * kOne, 32767},  {3, 1.0, INT32_MIN, 0},
                 {3, -1.0, kOne, 23955},  {4, 1.0, 256, 24576},        {2, 1.0, 5 * kOne, 24575},
                 {2, HUGE_VAL, 0, 0},     {2, HUGE_VAL, 512, 32767},   {1, 2.0, -kOne, 19874},
                 {1, 2.0, 10 * kOne, 0},  {6, 1.0, -kOne, 16384},      {6, 1.0, -10 * kOne, 32767},
                 {5, 4.0, -kOne, -24955}, {5, 4.0, -10 * kOne, -32767}};
    for (const auto& c : fixed) {
        ASSERT_STREQ(SetEnhanced(c.code, c.gain, 0, 0.0, 0, 0.0), "OK");
        EXPECT_EQ(ApplyTransferFixed(c.net), c.y) << c.code << " at " << c.net;
    }
    const struct {
        int16_t code;
        double gain, net, y;
    } exact[] = {{3, -1.0, 1.0, 0.2689414213699951},
                 {4, 1.0, 0.0, 0.5},
                 {2, 1.0, -20.0, 0.0},
                 {5, 4.0, -64.5, -1.0}};
    for (const auto& c : exact) {
        ASSERT_STREQ(SetEnhanced(c.code, c.gain, 0, 0.0, 0, 0.0), "OK");
        EXPECT_EQ(ApplyTransferDouble(c.net), c.y) << c.code << " at " << c.net;
    }
}

// Pruning zeroes every weight of magnitude up to the threshold (2^26 = 1.0).
// The threshold is held to 16.0 and saturates in 32 bits; NaN is 0.
TEST_F(Training, PruningThreshold) {
    const std::pair<double, int32_t> thresholds[] = {
        {20.0, 1073741824}, {-1e300, INT32_MIN}, {kNaN, 0}};
    for (auto [threshold, fixed] : thresholds) {
        SetEnhanced(1, 2.0, 0, threshold, 0, 0.0);
        EXPECT_EQ(gNet.pruneThreshold, fixed) << threshold;
    }
    BuildNet(5, 1, 1, 1, 1, {}, CALC_FIXED16);
    SetWeights(std::vector<int32_t>{100, -100, 101, -101, 0, 5000});
    ASSERT_STREQ(SetEnhanced(3, 1.0, 1, 100 / 67108864.0, 1, 0.0), "OK");
    RunNet(0, 1);
    EXPECT_EQ(Weights<int32_t>(), (std::vector<int32_t>{0, 0, 101, -101, 0, 5000}));
    EXPECT_EQ(gNet.learningRateFixed, 32767); // a recall sets the automatic rate too: e = -0.5
}

// No epochs, or a negative count, repeat the last pass's figures and run nothing.
TEST_F(Training, EpochCounts) {
    BuildLinearNet(2);
    WriteTargets(std::vector<double>{0.75, 0.75});
    SetParams(0.25, 0.25, 0.0, 0.0, 0.0);
    const RunStats first = Stats(RunNet(1, 3));
    EXPECT_EQ(first.outside, 2.0); // |e| = 0.25 is not below a tolerance of 0.25
    SetWeights(std::vector<double>{0.1, 0.2});
    for (int16_t epochs : {0, -3}) {
        const RunStats none = Stats(RunNet(1, epochs));
        EXPECT_EQ(none.epochs, epochs);
        EXPECT_EQ(none.within, first.within);
        EXPECT_EQ(none.rms, first.rms);
    }
    EXPECT_EQ(gNet.errorHistoryCount, 3);
    EXPECT_EQ(Outputs<double>(), (std::vector<double>{0.5, 0.5}));
    // A pass with no pattern to learn from has no error, no counts and changes nothing.
    SetPatternFlags({MODE_TEST, MODE_MIN});
    const RunStats nothing = Stats(RunNet(1, 1));
    EXPECT_EQ(nothing.within + nothing.outside, 0.0);
    EXPECT_EQ(gNet.passError, 0.0);
    EXPECT_EQ(Weights<double>(), (std::vector<double>{0.1, 0.2}));
}

TEST_F(Training, SpentBudgetEndsRunsBeforeTheirFirstEpoch) {
    PlatformSetClock(5000);
    BuildLinearNet(1);
    WriteTargets(std::vector<double>{1.0});
    SetWeights(std::vector<double>{0.1, 0.2});
    SetOutputs(std::vector<double>{-7.0});
    SetParams(0.0, 0.0, 0.5, 0.0, 0.0);
    SetCutoffs(1e-6, 0.0, 0.0); // on, with 0 seconds
    EXPECT_EQ(Stats(RunNet(1, 5)).epochs, 0.0);
    EXPECT_EQ(Stats(RunNet(0, 5)).epochs, 0.0);
    EXPECT_EQ(Weights<double>(), (std::vector<double>{0.1, 0.2}));
    EXPECT_EQ(Outputs<double>(), (std::vector<double>{-7.0}));

    SetCutoffs(-1.0, 3.0, 0.0);         // a negative budget ends the run at once
    EXPECT_EQ(gNet.trainStopRise, 1.0); // a stop margin is held to 1.0
    EXPECT_EQ(Stats(RunNet(1, 5)).epochs, 0.0);
}

// Once a weight leaves -16.0 ... 16.0 it is held at the limit its change points to; the last
// change is bits 16 ... 31 of 2c + 32768, with the doubling wrapping at 32 bits.
TEST_F(Training, FixedWeightsSaturateAtSixteen) {
    BuildNet(1, 1, 1, 1, 1, {}, CALC_FIXED16);
    WriteTargets(std::vector<int16_t>{32767});
    // The output is at 32767 already (e = 0), so only the momentum moves the weights.
    SetWeights(std::vector<int32_t>{0, 1073741823});
    SetLastChanges(std::vector<int16_t>{-32768, 32767});
    SetParams(0.0, 0.0, 0.5, 0.9, 0.0);
    RunNet(1, 1);
    // c = -32768 x 29491 = -966361088; 32767 x 29491 pushes past 2^30 - 1.
    EXPECT_EQ(Weights<int32_t>(), (std::vector<int32_t>{(-966361088 + 16) >> 5, 1073741823}));
    EXPECT_EQ(LastChanges<int16_t>(), (std::vector<int16_t>{-29491, 29490}));
    SetWeights(std::vector<int32_t>{-1073741800, 0});
    SetLastChanges(std::vector<int16_t>{-32768, 0});
    RunNet(1, 1);
    EXPECT_EQ(Weights<int32_t>()[0], -1073741824);
}

void RecordSample(int32_t train, int32_t test) {
    const double t = (train + 0.5) / 32767.0, u = (test + 0.5) / 32767.0;
    gNet.trainError = t * t;
    gNet.testError = u * u;
    RecordErrorHistory();
}

// At 254 points the history halves (pairs averaged, truncated) and the bucket doubles; the
// plot shows the points, then the open bucket, and nothing of the halved-away tail.
TEST_F(Training, HistoryHalvesWhenFull) {
    ResetRunHistory();
    for (int i = 0; i < 253; ++i)
        RecordSample(2 * i, 100);
    RecordSample(7, 100);
    const FP* plot = PlotError();
    EXPECT_EQ(plot->array[0], 127.0);
    EXPECT_EQ(plot->array[2], 2.0);                 // the bucket size
    EXPECT_EQ(plot->array[2 * 127], 501 / 32767.0); // (500 + 502) / 2
    EXPECT_EQ(plot->array[2 * 128], 255 / 32767.0); // (504 + 7) / 2, truncated
    for (int k = 2 * 129; k < 2 * 256; ++k)
        ASSERT_EQ(plot->array[k], 0.0) << k;
    RecordSample(1000, 3);
    EXPECT_EQ(gNet.errorBucketFill, 1);
    EXPECT_EQ(PlotError()->array[2 * 129 + 1], 3 / 32767.0); // the open bucket
    RecordSample(1001, 0);
    EXPECT_EQ(gNet.trainErrorHistory[127], 1000);
    EXPECT_EQ(gNet.testErrorHistory[127], 1);
    // 32767 stands for every error of 1.0 or more (a symmetric output can err by 2.0) and for
    // an error that is not a number.
    gNet.trainError = 4.0;
    gNet.testError = kNaN;
    RecordErrorHistory();
    RecordErrorHistory();
    EXPECT_EQ(gNet.trainErrorHistory[128], 32767);
    EXPECT_EQ(gNet.testErrorHistory[128], 32767);
}

} // namespace
