// The pass structure (selection, order, counting, tolerance, noise) that both methods share,
// seen through the double pass.
#include "engine/network_state.h"
#include "engine/random.h"
#include "engine/run_loop.h"
#include "engine/transfer.h"
#include "support/fresh_library.h"
#include "support/training_net.h"

#include <cmath>

namespace {

class DoublePass : public LibraryTest {};

// A 1-1 network with the linear transfer and zero weights answers 0.5 for every pattern.
void BuildFlatNet(int patterns, int step) {
    BuildNet(1, 1, patterns, 1, step, {}, CALC_DOUBLE);
    ASSERT_STREQ(SetEnhanced(2, 1.0, 0, 0.0, 0, 0.0), "OK");
    SetOutputs(std::vector<double>(patterns, -7.0));
}

TEST_F(DoublePass, VisitsEveryStepAndSelectsByMode) {
    BuildFlatNet(5, 2);
    RunNet(0, 1);
    EXPECT_EQ(Outputs<double>(), (std::vector<double>{0.5, -7.0, 0.5, -7.0, 0.5}));

    BuildFlatNet(5, 1);
    SetPatternFlags({MODE_TRAIN, MODE_TEST, MODE_SKIP, MODE_TEST, MODE_MIN});
    SetWeights(std::vector<double>{0.0, 0.0});
    SetParams(0.0, 0.0, 0.5, 0.0, 0.0);
    WriteTargets(std::vector<double>{1.0, 1.0, 1.0, 1.0, 1.0});
    RunStats stats = Stats(RunNet(1, 1)); // learns from pattern 0 only
    EXPECT_EQ(stats.within + stats.outside, 1.0);
    EXPECT_EQ(Outputs<double>(), (std::vector<double>{0.5, -7, -7, -7, -7}));

    SetCutoffs(0.0, 0.0, 0.5); // a testing pass after the training pass: TEST patterns only
    RunNet(1, 1);
    std::vector<double> out = Outputs<double>();
    EXPECT_NE(out[1], -7.0);
    EXPECT_EQ(out[1], out[3]);
    EXPECT_EQ(out[2], -7.0);
    EXPECT_EQ(out[4], -7.0);

    stats = Stats(RunNet(0, 1)); // recall: evaluates TEST patterns, propagates all
    EXPECT_EQ(stats.within + stats.outside, 2.0);
    out = Outputs<double>();
    for (double v : out)
        EXPECT_EQ(v, out[0]);

    const std::vector<double> learned = Weights<double>();
    SetPatternFlags({MODE_TEST, MODE_SKIP, MODE_TEST, MODE_TEST, MODE_SKIP});
    stats = Stats(RunNet(1, 1)); // nothing to learn from: no error, no counts, no change
    EXPECT_EQ(stats.within + stats.outside, 0.0);
    EXPECT_EQ(gNet.passError, 0.0);
    EXPECT_EQ(Weights<double>(), learned);
}

TEST_F(DoublePass, ToleranceIsStrictAndChosenByPassAndFlag) {
    BuildFlatNet(1, 1);
    WriteTargets(std::vector<double>{0.75}); // e = 0.25 exactly
    SetParams(0.25, 0.25, 0.0, 0.0, 0.0);
    RunStats stats = Stats(RunNet(1, 1));
    EXPECT_EQ(stats.within, 0.0);
    EXPECT_EQ(stats.outside, 1.0);
    EXPECT_EQ(stats.rms, 0.25);

    SetParams(0.3, 0.2, 0.0, 0.0, 0.0);
    stats = Stats(RunNet(1, 1)); // training pattern: training tolerance
    EXPECT_EQ(stats.within, 1.0);
    stats = Stats(RunNet(0, 1)); // recall: testing tolerance
    EXPECT_EQ(stats.within, 0.0);
}

TEST_F(DoublePass, NoiseIsDrawnWhileLearningAndItsMeanOtherwise) {
    BuildNet(2, 1, 1, 1, 1, {}, CALC_DOUBLE);
    WriteInputs(std::vector<double>{0.25, 0.5});
    SetParams(0.0, 0.0, 0.0, 0.0, 0.125); // noise share 0.25 / 1.25 = 0.2
    RunNet(0, 1);
    EXPECT_EQ(gNet.unitActivationsDouble[0], 0.25 + gNet.inputNoise / 2.0);
    EXPECT_NEAR(gNet.unitActivationsDouble[1], 0.6, 1e-15);

    SeedRandom(7);
    RunNet(1, 1);
    uint32_t state = 7; // the generator's recurrence, written out
    for (int i = 0; i < 2; ++i) {
        state = state * 214013u + 2531011u;
        const double draw = double((state >> 16) & 32767);
        const double stored = i == 0 ? 0.25 : 0.5;
        EXPECT_EQ(gNet.unitActivationsDouble[i], stored + draw * gNet.inputNoise / 32767.0);
    }
}

} // namespace
