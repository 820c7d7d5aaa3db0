// Both passes against online back-propagation with momentum written out from the formulas with
// plain indices, bit for bit; and the double pass against the numeric gradient of its error.
#include "engine/fixed_math.h"
#include "engine/network_state.h"
#include "engine/transfer.h"
#include "support/fresh_library.h"
#include "support/training_net.h"

#include <cmath>
#include <cstdint>

namespace {

// The double method: net = a x w + net in ascending order, delta = slope x error, hidden
// delta = (sum of delta x w) x slope, change = a x g + last x momentum, g = (1 - m) x rate x d.
struct DoubleArith {
    using Stored = double; // a value in the data blocks
    using Unit = double;
    using Weight = double;
    using Change = double;
    using Square = double;
    static constexpr Unit kBias = 1.0;
    static constexpr double kSquareScale = 1.0;
    double rate = gNet.learningRate, momentum = gNet.momentum;
    bool symmetric = gNet.transferCode == 5;

    double Slope(double y) const { return symmetric ? (1.0 - y * y) * 0.25 : (1.0 - y) * y; }
    double AddInput(double net, double a, double w) const { return a * w + net; }
    double Transfer(double net) const { return ApplyTransferDouble(net); }
    double Error(double t, double y) const { return t - y; }
    double OutputDelta(double e, double y) const { return Slope(y) * e; }
    double AddBack(double s, double d, double w) const { return d * w + s; }
    double HiddenDelta(double s, double y) const { return s * Slope(y); }
    double Factor() const { return (1.0 - momentum) * rate; }
    double Gain(double d, double factor) const { return factor * d; }
    void Update(double& w, double& last, double a, double g) const {
        const double change = momentum != 0.0 ? a * g + last * momentum : a * g;
        last = change;
        w = w + change;
    }
};

// The 16-bit method: Q15 values, Q16 net inputs, weights with 2^26 = 1.0, every shift rounded
// by itself and every narrowing to 16 bits a wrap unless it saturates.
struct FixedArith {
    using Stored = int16_t;
    using Unit = int32_t;
    using Weight = int32_t;
    using Change = int16_t;
    using Square = int64_t;
    static constexpr Unit kBias = 32767;
    static constexpr double kSquareScale = 1073741824.0;
    int32_t rate = gNet.learningRateFixed, momentum = gNet.momentumFixed;
    bool symmetric = gNet.transferCode == 5;

    static int32_t Low16(int64_t x) { return int16_t(uint16_t(uint64_t(x) & 0xFFFF)); }
    int32_t Slope(int32_t y) const {
        if (symmetric) return Low16(((int64_t(1) << 30) - int64_t(y) * y + 32768) >> 16);
        int32_t c = Low16(32768 - y);
        if (c < 0) c = 32767;
        return Low16((int64_t(c) * y + 8192) >> 14);
    }
    int64_t AddInput(int64_t net, int32_t a, int32_t w) const {
        return net + (((int64_t(w) >> 16) * a + 256) >> 9);
    }
    int32_t Transfer(int64_t net) const { return ApplyTransferFixed(int32_t(net)); }
    int64_t Error(int16_t t, int32_t y) const {
        const int64_t e = int64_t(t) - y;
        return symmetric ? (e > 32767 ? 32767 : e < -32768 ? -32768 : e) : Low16(e);
    }
    int32_t OutputDelta(int64_t e, int32_t y) const { return Low16((e * Slope(y) + 16384) >> 15); }
    int64_t AddBack(int64_t s, int32_t d, int32_t w) const {
        return s + (((int64_t(w) >> 16) * d + 512) >> 10);
    }
    int32_t HiddenDelta(int64_t s, int32_t y) const { return HiddenDeltaQ15(Slope(y), int32_t(s)); }
    int64_t Factor() const {
        int32_t r = Low16(32768 - momentum);
        if (r < 0) r = 32767;
        return Low16((int64_t(rate) * r + 16384) >> 15);
    }
    int64_t Gain(int32_t d, int64_t factor) const { return Low16((d * factor * 2 + 32768) >> 16); }
    void Update(int32_t& w, int16_t& last, int32_t a, int64_t g) const {
        const int64_t c = a * g + int64_t(last) * momentum;
        last = int16_t(Low16((2 * c + 32768) >> 16));
        const int64_t weight = int64_t(w) + ((c + 16) >> 5);
        w = weight > 1073741823 || weight < -1073741824 ? (c >= 0 ? 1073741823 : -1073741824)
                                                        : int32_t(weight);
    }
};

// One pattern at a time through layers of `sizes`, each layer followed by its bias unit.
template <typename A> struct ReferencePass {
    A arith;
    std::vector<int> sizes;
    std::vector<typename A::Weight> w;
    std::vector<typename A::Change> last;
    std::vector<std::vector<typename A::Unit>> act, delta;

    size_t At(size_t l, int j, int i) const { // weight of input i of unit j in layer l
        size_t k = 0;
        for (size_t m = 1; m < l; ++m)
            k += size_t(sizes[m - 1] + 1) * sizes[m];
        return k + size_t(j) * (sizes[l - 1] + 1) + i;
    }

    // Learns one pattern; answers its sum of e x e.
    typename A::Square Learn(const typename A::Stored* in, const typename A::Stored* t) {
        act.assign(sizes.size(), {});
        delta.assign(sizes.size(), {});
        act[0].assign(in, in + sizes[0]);
        act[0].push_back(A::kBias);
        for (size_t l = 1; l < sizes.size(); ++l) {
            for (int j = 0; j < sizes[l]; ++j) {
                decltype(arith.AddInput(0, 0, 0)) net = 0;
                for (int i = 0; i <= sizes[l - 1]; ++i)
                    net = arith.AddInput(net, act[l - 1][i], w[At(l, j, i)]);
                act[l].push_back(arith.Transfer(net));
            }
            act[l].push_back(A::kBias);
        }
        const size_t top = sizes.size() - 1;
        typename A::Square squares = 0;
        for (int k = 0; k < sizes[top]; ++k) {
            const auto e = arith.Error(t[k], act[top][k]);
            delta[top].push_back(arith.OutputDelta(e, act[top][k]));
            squares += e * e;
        }
        for (size_t l = top - 1; l >= 1; --l)
            for (int j = 0; j < sizes[l]; ++j) {
                decltype(arith.AddBack(0, 0, 0)) s = 0;
                for (int k = 0; k < sizes[l + 1]; ++k)
                    s = arith.AddBack(s, delta[l + 1][k], w[At(l + 1, k, j)]);
                delta[l].push_back(arith.HiddenDelta(s, act[l][j]));
            }
        const auto factor = arith.Factor();
        for (size_t l = 1; l < sizes.size(); ++l)
            for (int j = 0; j < sizes[l]; ++j) {
                const auto g = arith.Gain(delta[l][j], factor);
                for (int i = 0; i <= sizes[l - 1]; ++i)
                    arith.Update(w[At(l, j, i)], last[At(l, j, i)], act[l - 1][i], g);
            }
        return squares;
    }
};

struct Case {
    std::vector<int> hidden;
    int16_t code;
    double rate, momentum;
};

// Two epochs over three patterns of a 2-...-1 network: weights, last changes, outputs and the
// pass error after each epoch as written out.
template <typename A>
void ExpectTwoEpochsAsWrittenOut(int method, const Case& c,
                                 const std::vector<typename A::Stored>& inputs,
                                 const std::vector<typename A::Stored>& targets,
                                 const std::vector<typename A::Weight>& start) {
    FreshLibrary();
    BuildNet(2, 1, 3, 1, 1, c.hidden, method);
    ASSERT_STREQ(SetEnhanced(c.code, 1.0, 0, 0.0, 0, 0.0), "OK");
    SetParams(0.05, 0.05, c.rate, c.momentum, 0.0);
    WriteInputs(inputs);
    WriteTargets(targets);
    std::vector<typename A::Weight> weights(start.begin(), start.begin() + gNet.weightCount);
    SetWeights(weights);

    ReferencePass<A> ref;
    ref.sizes = {2};
    ref.sizes.insert(ref.sizes.end(), c.hidden.begin(), c.hidden.end());
    ref.sizes.push_back(1);
    ref.w = weights;
    ref.last.assign(size_t(gNet.weightCount), 0);
    for (int epoch = 0; epoch < 2; ++epoch) {
        typename A::Square squares = 0;
        std::vector<typename A::Stored> outputs;
        for (int p = 0; p < 3; ++p) {
            squares += ref.Learn(&inputs[2 * p], &targets[p]);
            outputs.push_back(typename A::Stored(ref.act.back()[0]));
        }
        const RunStats stats = Stats(RunNet(1, 1));
        const std::string where = "method " + std::to_string(method) + " code " +
                                  std::to_string(c.code) + " epoch " + std::to_string(epoch);
        EXPECT_EQ(Weights<typename A::Weight>(), ref.w) << where;
        EXPECT_EQ(LastChanges<typename A::Change>(), ref.last) << where;
        EXPECT_EQ(Outputs<typename A::Stored>(), outputs) << where;
        EXPECT_EQ(gNet.passError, double(squares) / A::kSquareScale / 3.0) << where;
        EXPECT_EQ(stats.within + stats.outside, 3.0) << where;
    }
}

TEST_F(LibraryTest, BothMethodsLearnExactlyAsWrittenOut) {
    std::vector<double> startDouble;
    std::vector<int32_t> startFixed;
    for (int i = 0; i < 20; ++i) {
        startDouble.push_back(0.37 * std::sin(1.7 * i + 0.3));
        startFixed.push_back(int32_t((i * 7919 % 401 - 200) * 400000));
    }
    const Case doubleCases[] = {{{2}, 2, 0.5, 0.9},    // linear
                                {{3, 2}, 3, 0.8, 0.5}, // logistic
                                {{3, 2}, 5, 0.3, 0.0}, // symmetric sigmoid, no momentum
                                {{2}, 3, 1.5, 0.0}};
    for (const Case& c : doubleCases)
        ExpectTwoEpochsAsWrittenOut<DoubleArith>(CALC_DOUBLE, c, {0.1, 0.9, 0.8, 0.2, 0.5, 0.5},
                                                 {1.0, 0.0, 0.25}, startDouble);
    const Case fixedCases[] = {
        {{2}, 3, 0.5, 0.9}, {{3, 2}, 3, 0.9, 0.5}, {{3, 2}, 5, 0.7, 0.3}, {{3, 2}, 1, 0.4, 0.0}};
    for (const Case& c : fixedCases)
        ExpectTwoEpochsAsWrittenOut<FixedArith>(CALC_FIXED16, c,
                                                {3000, 29000, 26000, 7000, 16000, 16500},
                                                {32767, 0, 8192}, startFixed);
}

// Without momentum a learning step moves each weight by rate x (-dE/dw) for E = e^2 / 2 of
// the one pattern: the back-propagated deltas against central differences of the error.
TEST_F(LibraryTest, DoublePassFollowsTheNumericGradient) {
    for (int16_t code : {3, 5}) {
        FreshLibrary();
        BuildNet(2, 2, 1, 1, 1, {3}, CALC_DOUBLE);
        ASSERT_STREQ(SetEnhanced(code, 1.0, 0, 0.0, 0, 0.0), "OK");
        const std::vector<double> targets = {0.9, 0.2};
        WriteInputs(std::vector<double>{0.3, 0.8});
        WriteTargets(targets);
        std::vector<double> start;
        for (int i = 0; i < gNet.weightCount; ++i)
            start.push_back(0.6 * std::cos(2.3 * i + 0.1));
        auto halfSquare = [&](const std::vector<double>& w) {
            SetWeights(w);
            RunNet(0, 1);
            double sum = 0.0;
            for (int k = 0; k < 2; ++k) {
                const double e = targets[size_t(k)] - Outputs<double>()[size_t(k)];
                sum += e * e / 2.0;
            }
            return sum;
        };
        const double rate = 0.25, h = 1e-6;
        SetParams(0.0, 0.0, rate, 0.0, 0.0);
        SetWeights(start);
        RunNet(1, 1);
        const std::vector<double> learned = Weights<double>();
        for (size_t i = 0; i < start.size(); ++i) {
            std::vector<double> up = start, down = start;
            up[i] += h;
            down[i] -= h;
            const double numeric = (halfSquare(up) - halfSquare(down)) / (2.0 * h);
            EXPECT_NEAR((learned[i] - start[i]) / rate, -numeric, 1e-8)
                << "code " << code << " weight " << i;
        }
    }
}

} // namespace
