// The double pass against a written-out back-propagation, and the pass structure (selection,
// order, counting, noise) that both methods share.
#include "engine/network_state.h"
#include "engine/random.h"
#include "engine/run_loop.h"
#include "engine/transfer.h"
#include "support/fresh_library.h"
#include "support/training_net.h"

#include <cmath>

namespace {

// Online back-propagation with momentum, written from the formulas with plain indices:
// net = a x w + net in ascending order, delta = slope x error, hidden delta = slope x sum of
// delta x w, change = a x g + last x momentum with g = (1 - momentum) x rate x delta.
struct ReferenceDouble {
    std::vector<int> sizes;
    std::vector<double> w, last;
    std::vector<std::vector<double>> act, delta;
    double rate = 0, momentum = 0;
    bool symmetric = false;

    size_t First(size_t l) const { // first weight of layer l
        size_t k = 0;
        for (size_t i = 1; i < l; ++i)
            k += (sizes[i - 1] + 1) * sizes[i];
        return k;
    }
    double Slope(double y) const { return symmetric ? (1.0 - y * y) * 0.25 : (1.0 - y) * y; }

    void Forward(const double* in) {
        act.assign(sizes.size(), {});
        delta.assign(sizes.size(), {});
        act[0].assign(in, in + sizes[0]);
        act[0].push_back(1.0);
        for (size_t l = 1; l < sizes.size(); ++l) {
            for (int j = 0; j < sizes[l]; ++j) {
                double net = 0.0;
                for (int i = 0; i <= sizes[l - 1]; ++i)
                    net = act[l - 1][i] * w[First(l) + j * (sizes[l - 1] + 1) + i] + net;
                act[l].push_back(ApplyTransferDouble(net));
            }
            act[l].push_back(1.0);
        }
    }

    double Learn(const double* in, const double* t) { // answers the sum of e x e
        Forward(in);
        const size_t top = sizes.size() - 1;
        double squares = 0.0;
        for (int k = 0; k < sizes[top]; ++k) {
            const double y = act[top][k], e = t[k] - y;
            delta[top].push_back(Slope(y) * e);
            squares += e * e;
        }
        for (size_t l = top - 1; l >= 1; --l) {
            for (int j = 0; j < sizes[l]; ++j) {
                double s = 0.0;
                for (int k = 0; k < sizes[l + 1]; ++k)
                    s = delta[l + 1][k] * w[First(l + 1) + k * (sizes[l] + 1) + j] + s;
                delta[l].push_back(s * Slope(act[l][j]));
            }
        }
        const double factor = (1.0 - momentum) * rate;
        for (size_t l = 1; l < sizes.size(); ++l)
            for (int j = 0; j < sizes[l]; ++j) {
                const double g = factor * delta[l][j];
                for (int i = 0; i <= sizes[l - 1]; ++i) {
                    const size_t at = First(l) + j * (sizes[l - 1] + 1) + i;
                    const double change = momentum != 0.0 ? act[l - 1][i] * g + last[at] * momentum
                                                          : act[l - 1][i] * g;
                    last[at] = change;
                    w[at] = w[at] + change;
                }
            }
        return squares;
    }
};

std::vector<double> StartWeights(int count) {
    std::vector<double> w;
    for (int i = 0; i < count; ++i)
        w.push_back(0.37 * std::sin(1.7 * i + 0.3));
    return w;
}

struct Case {
    std::vector<int> hidden;
    int16_t code;
    double rate, momentum;
};

class DoublePass : public LibraryTest {};

TEST_F(DoublePass, LearnsExactlyAsWrittenOutOverTwoEpochs) {
    const Case cases[] = {{{2}, 2, 0.5, 0.9},    // 2-2-1, linear
                          {{3, 2}, 3, 0.8, 0.5}, // 2-3-2-1, logistic
                          {{3, 2}, 5, 0.3, 0.0}, // symmetric sigmoid, no momentum
                          {{2}, 3, 1.5, 0.0}};
    const std::vector<double> inputs = {0.1, 0.9, 0.8, 0.2, 0.5, 0.5};
    const std::vector<double> targets = {1.0, 0.0, 0.25};
    for (const Case& c : cases) {
        FreshLibrary();
        BuildNet(2, 1, 3, 1, 1, c.hidden, CALC_DOUBLE);
        ASSERT_STREQ(SetEnhanced(c.code, 1.0, 0, 0.0, 0, 0.0), "OK");
        SetParams(0.1, 0.1, c.rate, c.momentum, 0.0);
        WriteInputs(inputs);
        WriteTargets(targets);
        SetWeights(StartWeights(gNet.weightCount));

        ReferenceDouble ref;
        ref.sizes = {2};
        ref.sizes.insert(ref.sizes.end(), c.hidden.begin(), c.hidden.end());
        ref.sizes.push_back(1);
        ref.w = StartWeights(gNet.weightCount);
        ref.last.assign(gNet.weightCount, 0.0);
        ref.rate = c.rate;
        ref.momentum = c.momentum;
        ref.symmetric = c.code == 5;

        for (int epoch = 0; epoch < 2; ++epoch) {
            double squares = 0.0;
            std::vector<double> outputs;
            for (int p = 0; p < 3; ++p) {
                squares += ref.Learn(&inputs[2 * p], &targets[p]);
                outputs.push_back(ref.act.back()[0]);
            }
            const RunStats stats = Stats(RunNet(1, 1));
            EXPECT_EQ(Weights<double>(), ref.w) << "code " << c.code << " epoch " << epoch;
            EXPECT_EQ(LastChanges<double>(), ref.last);
            EXPECT_EQ(Outputs<double>(), outputs);
            EXPECT_EQ(gNet.passError, squares / 3.0);
            EXPECT_EQ(stats.rms, std::sqrt(squares / 3.0));
            EXPECT_EQ(stats.within + stats.outside, 3.0);
        }
    }
}

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
