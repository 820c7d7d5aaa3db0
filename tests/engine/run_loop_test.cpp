// RunNet: epoch counts, the stop rules, the time budget, the error history, pruning and the
// automatic rate.
#include "engine/network_build.h"
#include "engine/network_state.h"
#include "engine/run_loop.h"
#include "platform/platform.h"
#include "support/fresh_library.h"
#include "support/training_net.h"

#include <cmath>
#include <limits>

namespace {

class RunLoop : public LibraryTest {};

// One input, one output, linear transfer, weights 0: the output starts at 0.5.
void BuildLinearNet(int patterns) {
    BuildNet(1, 1, patterns, 1, 1, {}, CALC_DOUBLE);
    ASSERT_STREQ(SetEnhanced(2, 1.0, 0, 0.0, 0, 0.0), "OK");
    WriteInputs(std::vector<double>(patterns, 0.5));
}

TEST_F(RunLoop, NoNetworkAndEpochCounts) {
    EXPECT_EQ(RunNet(1, 5), nullptr);

    BuildLinearNet(2);
    WriteTargets(std::vector<double>{0.75, 0.75});
    SetParams(0.3, 0.3, 0.0, 0.0, 0.0);
    RunStats first = Stats(RunNet(1, 3));
    EXPECT_EQ(first.epochs, 3.0);
    EXPECT_EQ(first.within, 2.0);
    EXPECT_EQ(first.rms, 0.25);
    EXPECT_EQ(gNet.errorHistoryCount, 3);

    SetWeights(std::vector<double>{0.1, 0.2});
    RunStats none = Stats(RunNet(1, 0)); // repeats the last pass, runs nothing
    EXPECT_EQ(none.epochs, 0.0);
    EXPECT_EQ(none.within, first.within);
    EXPECT_EQ(none.rms, first.rms);
    none = Stats(RunNet(1, -3));
    EXPECT_EQ(none.epochs, -3.0);
    EXPECT_EQ(gNet.errorHistoryCount, 3);
    EXPECT_EQ(Outputs<double>(), (std::vector<double>{0.5, 0.5}));
}

// A record whose shapes disagree is never walked, and a pattern step below 1 cannot hang.
TEST_F(RunLoop, InconsistentShapesRunNoPass) {
    BuildLinearNet(3);
    SetWeights(std::vector<double>{0.1, 0.2});
    gNet.layerSize[1] = 4; // no longer matches the weights and work arrays
    EXPECT_EQ(Stats(RunNet(1, 2)).epochs, 2.0);
    EXPECT_EQ(Weights<double>(), (std::vector<double>{0.1, 0.2}));
    gNet.layerSize[1] = 1;
    gNet.patternStep = 0;
    SetOutputs(std::vector<double>{-7.0, -7.0, -7.0});
    RunNet(0, 1);
    EXPECT_NE(Outputs<double>()[2], -7.0); // visited as with a step of 1
}

// A negative rate climbs the error: the epoch whose RMS rises past the margin stops the run
// after its own bookkeeping, and never becomes the best.
TEST_F(RunLoop, TrainingStopCountsTheRisingEpoch) {
    BuildLinearNet(1);
    WriteTargets(std::vector<double>{1.0});
    SetParams(0.0, 0.0, -4.0, 0.0, 0.0);
    SetCutoffs(0.0, 1e-6, 0.0);
    const RunStats stats = Stats(RunNet(1, 50));
    EXPECT_EQ(stats.epochs, 2.0);
    EXPECT_EQ(gNet.errorHistoryCount, 2);
    EXPECT_EQ(gNet.bestTrainError, 0.25); // the first epoch's error (output 0.5)
    EXPECT_GT(gNet.trainError, 0.25);
    EXPECT_EQ(gNet.testError, 1.0); // no testing pass
    EXPECT_EQ(gNet.testErrorHistory[0], 32767);
    EXPECT_EQ(gNet.trainErrorHistory[0], 16383); // trunc(0.5 x 32767)
}

TEST_F(RunLoop, TestingStopAndTheMainPassStatistics) {
    BuildLinearNet(2);
    SetPatternFlags({MODE_TRAIN, MODE_TEST});
    WriteTargets(std::vector<double>{1.0, 0.0}); // learning pattern 0 hurts pattern 1
    SetParams(0.0, 0.0, 2.0, 0.0, 0.0);
    SetCutoffs(0.0, 0.0, 1e-6);
    const RunStats stats = Stats(RunNet(1, 50));
    EXPECT_EQ(stats.epochs, 2.0);
    EXPECT_EQ(stats.within + stats.outside, 1.0); // the training pass, not the testing pass
    EXPECT_EQ(stats.rms, std::sqrt(gNet.trainError));
    EXPECT_GT(gNet.testError, gNet.bestTestError); // the stopping epoch is not the best
    EXPECT_LT(gNet.bestTestError, 1.0);
}

TEST_F(RunLoop, SpentBudgetEndsRunsBeforeTheirFirstEpoch) {
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

    SetCutoffs(-1.0, 0.0, 0.0); // a negative budget ends the run and then stands at 0
    EXPECT_EQ(Stats(RunNet(1, 5)).epochs, 0.0);
    EXPECT_EQ(gNet.timeBudgetSeconds, 0);

    SetCutoffs(1.0, 0.0, 0.0); // the clock stands still: nothing is spent
    EXPECT_EQ(Stats(RunNet(1, 5)).epochs, 5.0);
    EXPECT_EQ(gNet.timeBudgetSeconds, 3600);
    PlatformSetClock(5000 + 3600); // an hour later the same budget is due at once
    SetCutoffs(0.0, 0.0, 0.0);
    gNet.timeLimitOn = 1;
    gNet.timeBudgetSeconds = INT32_MAX; // the deadline must not overflow
    EXPECT_EQ(Stats(RunNet(1, 2)).epochs, 2.0);
    EXPECT_EQ(gNet.timeBudgetSeconds, INT32_MAX);
}

TEST_F(RunLoop, RecallRunRecordsNothingButPrunesAndAdjustsTheRate) {
    BuildLinearNet(1);
    WriteTargets(std::vector<double>{0.55}); // e = 0.05: mean square 0.0025
    SetWeights(std::vector<double>{0.0, 0.0});
    ASSERT_STREQ(SetEnhanced(2, 1.0, 1, 0.0, 1, 0.0), "OK");
    gNet.testError = 0.5;
    const RunStats stats = Stats(RunNet(0, 3));
    EXPECT_EQ(stats.epochs, 3.0);
    EXPECT_EQ(gNet.errorHistoryCount, 0);
    EXPECT_EQ(gNet.errorBucketFill, 0);
    EXPECT_EQ(gNet.testError, 1.0);
    EXPECT_DOUBLE_EQ(gNet.learningRate, 0.5);
    EXPECT_EQ(gNet.learningRateFixed, 16384);
}

TEST_F(RunLoop, AutomaticRateFollowsTheMeanSquaredError) {
    const struct {
        double error, rate;
        int16_t fixed;
    } cases[] = {{0.02, 1.0, 32767},
                 {0.01, 1.0, 32767}, // 0.01 is not above 0.01
                 {0.0001, 0.1, 3276},
                 {std::numeric_limits<double>::quiet_NaN(), 0.1, 3276}};
    for (const auto& c : cases) {
        SetAutomaticRate(c.error);
        EXPECT_DOUBLE_EQ(gNet.learningRate, c.rate) << c.error;
        EXPECT_EQ(gNet.learningRateFixed, c.fixed) << c.error;
    }
}

TEST_F(RunLoop, PruningZeroesSmallWeightsInBothMethods) {
    BuildNet(5, 1, 1, 1, 1, {}, CALC_FIXED16);
    SetWeights(std::vector<int32_t>{100, -100, 101, -101, 0, 5000});
    SetLastChanges(std::vector<int16_t>{1, 2, 3, 4, 5, 6});
    ASSERT_STREQ(SetEnhanced(3, 1.0, 1, 100 / 67108864.0, 0, 0.0), "OK");
    ASSERT_EQ(gNet.pruneThreshold, 100);
    RunNet(0, 1);
    EXPECT_EQ(Weights<int32_t>(), (std::vector<int32_t>{0, 0, 101, -101, 0, 5000}));
    EXPECT_EQ(LastChanges<int16_t>(), (std::vector<int16_t>{1, 2, 3, 4, 5, 6}));

    BuildNet(2, 1, 1, 1, 1, {}, CALC_DOUBLE);
    SetWeights(std::vector<double>{0.5, -0.5, 0.5000001});
    ASSERT_STREQ(SetEnhanced(3, 1.0, 1, 0.5, 0, 0.0), "OK");
    RunNet(0, 1);
    EXPECT_EQ(Weights<double>(), (std::vector<double>{0.0, 0.0, 0.5000001}));
}

void RecordSample(int32_t train, int32_t test) {
    const double t = (train + 0.5) / 32767.0, u = (test + 0.5) / 32767.0;
    gNet.trainError = t * t;
    gNet.testError = u * u;
    RecordErrorHistory();
}

TEST_F(RunLoop, HistoryHalvesWhenFull) {
    ResetRunHistory();
    for (int i = 0; i < 253; ++i)
        RecordSample(2 * i, 100);
    EXPECT_EQ(gNet.errorHistoryCount, 253);
    RecordSample(7, 100);
    EXPECT_EQ(gNet.errorHistoryCount, 127);
    EXPECT_EQ(gNet.errorBucketSize, 2);
    EXPECT_EQ(gNet.trainErrorHistory[0], 1);     // (0 + 2) / 2
    EXPECT_EQ(gNet.trainErrorHistory[125], 501); // (500 + 502) / 2
    EXPECT_EQ(gNet.trainErrorHistory[126], 255); // (504 + 7) / 2, truncated
    EXPECT_EQ(gNet.testErrorHistory[126], 100);
    // The plot shows the 127 points and nothing of the halved-away tail.
    const FP* plot = PlotError();
    EXPECT_EQ(plot->array[0] + plot->array[2], 127.0 + 2.0);
    EXPECT_EQ(plot->array[2 * 128], 255 / 32767.0);
    for (int k = 2 * 129; k < 2 * 256; ++k)
        ASSERT_EQ(plot->array[k], 0.0) << k;
    RecordSample(1000, 3);
    EXPECT_EQ(gNet.errorHistoryCount, 127);
    EXPECT_EQ(gNet.errorBucketFill, 1);
    EXPECT_EQ(PlotError()->array[2 * 129 + 1], 3 / 32767.0); // the open bucket
    RecordSample(1001, 0);
    EXPECT_EQ(gNet.errorHistoryCount, 128);
    EXPECT_EQ(gNet.trainErrorHistory[127], 1000);
    EXPECT_EQ(gNet.testErrorHistory[127], 1);
}

// 32767 stands for every error of 1.0 or more (a symmetric output can err by 2.0) and for an
// error that is not a number. At 16384 epochs a point the bucket stops doubling (its size is a
// 16-bit count); the history goes on halving.
TEST_F(RunLoop, HistoryLimits) {
    gNet.trainError = 4.0;
    gNet.testError = std::numeric_limits<double>::quiet_NaN();
    RecordErrorHistory();
    EXPECT_EQ(gNet.trainErrorHistory[0], 32767);
    EXPECT_EQ(gNet.testErrorHistory[0], 32767);

    gNet.errorBucketSize = 16384;
    gNet.errorHistoryCount = 253;
    gNet.errorBucketFill = 16383;
    gNet.trainErrorSum = 16383 * 32767;
    gNet.trainError = 1.0;
    RecordErrorHistory();
    EXPECT_EQ(gNet.errorHistoryCount, 127);
    EXPECT_EQ(gNet.errorBucketSize, 16384);
    EXPECT_EQ(gNet.trainErrorHistory[126], (0 + 32767) / 2);
}

} // namespace
