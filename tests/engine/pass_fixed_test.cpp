// The 16-bit pass: hand-worked values of single steps, and whole networks against a
// written-out integer back-propagation, bit for bit.
#include "engine/fixed_math.h"
#include "engine/network_state.h"
#include "engine/random.h"
#include "engine/transfer.h"
#include "support/fresh_library.h"
#include "support/training_net.h"

#include <cstdint>

namespace {

class FixedPass : public LibraryTest {};

int16_t OutputDelta(int k) {
    return gNet.unitDeltasFixedEnd[-gNet.outputColumns + k];
}

// Zero weights: every unit answers table(0) = 16384. With target 32767: e = 16383,
// d = (16384 x 16384 + 8192) >> 14 = 16384, output delta = (16383 x 16384 + 16384) >> 15 =
// 8192. Hidden deltas are 0, since every term (0 x 8192 + 512) >> 10 is 0.
TEST_F(FixedPass, FirstUpdateFromZeroWeightsByHand) {
    BuildNet(2, 1, 1, 1, 1, {2}, CALC_FIXED16);
    WriteInputs(std::vector<int16_t>{8000, 20000});
    WriteTargets(std::vector<int16_t>{32767});
    SetParams(0.0, 0.0, 0.5, 0.9, 0.0); // rate 16384, momentum 29491
    const RunStats stats = Stats(RunNet(1, 1));
    EXPECT_EQ(OutputDelta(0), 8192);
    EXPECT_EQ(gNet.unitDeltasFixed[0], 0);
    EXPECT_EQ(gNet.unitDeltasFixed[1], 0);
    EXPECT_EQ(stats.outside, 1.0); // 16383 is outside any tolerance up to 16383
    EXPECT_EQ(gNet.passError, 16383.0 * 16383.0 / 1073741824.0);

    // rateFactor = (16384 x (32768 - 29491) + 16384) >> 15 = 1639;
    // g = (8192 x 1639 x 2 + 32768) >> 16 = 410.
    // Hidden unit value 16384: c = 16384 x 410 = 6717440, weight += (c + 16) >> 5 = 209920,
    //   last = (2c + 32768) >> 16 = 205.
    // Bias 32767: c = 13434470, weight += 419827, last = 410.
    EXPECT_EQ(Weights<int32_t>(), (std::vector<int32_t>{0, 0, 0, 0, 0, 0, 209920, 209920, 419827}));
    EXPECT_EQ(LastChanges<int16_t>(), (std::vector<int16_t>{0, 0, 0, 0, 0, 0, 205, 205, 410}));
}

// A bias of -16.0 drives the output to table(-10) = 0; targets of 16384 then err by 16384.
TEST_F(FixedPass, ErrorOfHalfInEveryValueGivesQuarterMeanSquare) {
    BuildNet(1, 2, 3, 1, 1, {}, CALC_FIXED16);
    SetWeights(std::vector<int32_t>{0, -1073741824, 0, -1073741824});
    WriteTargets(std::vector<int16_t>(6, 16384));
    SetParams(0.0, 0.0, 0.5, 0.9, 0.0);
    const RunStats stats = Stats(RunNet(1, 1));
    EXPECT_EQ(gNet.passError, 0.25);
    EXPECT_EQ(stats.rms, 0.5);
    // y = 0: c = 32767 (32768 is replaced), d = 0, so no delta and no weight moves.
    EXPECT_EQ(OutputDelta(0), 0);
    EXPECT_EQ(Weights<int32_t>(), (std::vector<int32_t>{0, -1073741824, 0, -1073741824}));
}

TEST_F(FixedPass, WeightsSaturateAtSixteen) {
    BuildNet(1, 1, 1, 1, 1, {}, CALC_FIXED16);
    WriteTargets(std::vector<int16_t>{32767});
    // The output is at 32767 already (e = 0), so only the momentum moves the weights.
    SetWeights(std::vector<int32_t>{0, 1073741823});
    SetLastChanges(std::vector<int16_t>{-32768, 32767});
    SetParams(0.0, 0.0, 0.5, 0.9, 0.0);
    RunNet(1, 1);
    std::vector<int32_t> w = Weights<int32_t>();
    EXPECT_EQ(w[1], 1073741823); // c > 0 pushed it past 2^30 - 1
    // c = -32768 x 29491 = -966361088: last = (2c + 32768) >> 16 of the 32-bit doubling.
    EXPECT_EQ(w[0], (-966361088 + 16) >> 5);
    EXPECT_EQ(LastChanges<int16_t>()[0], -29491);
    EXPECT_EQ(LastChanges<int16_t>()[1], 29490);

    SetWeights(std::vector<int32_t>{-1073741800, 0});
    SetLastChanges(std::vector<int16_t>{-32768, 0});
    RunNet(1, 1);
    EXPECT_EQ(Weights<int32_t>()[0], -1073741824);
}

TEST_F(FixedPass, InputNoiseDrawsMeansAndSaturates) {
    BuildNet(2, 1, 1, 1, 1, {}, CALC_FIXED16);
    WriteInputs(std::vector<int16_t>{1000, 32700});
    SetParams(0.0, 0.0, 0.0, 0.0, 0.0);
    RunNet(0, 1);
    EXPECT_EQ(gNet.unitActivationsFixed[0], 1000);
    gNet.inputNoiseFixed = 1000; // recall: + 500, capped at 32767
    RunNet(0, 1);
    EXPECT_EQ(gNet.unitActivationsFixed[0], 1500);
    EXPECT_EQ(gNet.unitActivationsFixed[1], 32767);

    SeedRandom(3);
    RunNet(1, 1);
    uint32_t state = 3;
    for (int i = 0; i < 2; ++i) {
        state = state * 214013u + 2531011u;
        const int32_t draw = int32_t((state >> 16) & 32767) * 2002 >> 16; // 0 ... 1000
        const int32_t sum = (i == 0 ? 1000 : 32700) + draw;
        EXPECT_EQ(gNet.unitActivationsFixed[i], sum > 32767 ? 32767 : sum);
    }
}

TEST_F(FixedPass, SymmetricOutputErrorSaturates) {
    BuildNet(1, 1, 1, 1, 1, {}, CALC_FIXED16);
    ASSERT_STREQ(SetEnhanced(5, 1.0, 0, 0.0, 0, 0.0), "OK");
    SetWeights(std::vector<int32_t>{0, -1073741824}); // output -32767
    WriteTargets(std::vector<int16_t>{32767});
    RunNet(0, 1);
    EXPECT_EQ(gNet.unitActivationsFixed[2], -32767);
    // t - y = 65534 saturates to 32767; d = (2^30 - 32767^2 + 32768) >> 16 = 1;
    // delta = (32767 x 1 + 16384) >> 15 = 1.
    EXPECT_EQ(gNet.passError, 32767.0 * 32767.0 / 1073741824.0);
    SetParams(0.0, 0.0, 0.5, 0.0, 0.0);
    RunNet(1, 1);
    EXPECT_EQ(OutputDelta(0), 1);
}

TEST(FixedMath, HiddenDeltaBranchesByHand) {
    // |s| < 65536: (d x s + 32768) >> 16.
    EXPECT_EQ(HiddenDeltaQ15(16384, 1000), 250);
    EXPECT_EQ(HiddenDeltaQ15(16384, -1001), -250); // -250.25 rounds to -250
    // 65536 <= |s| < 4194304: t = (s + 128) >> 8, r = (t x d + 128) >> 8, held to +-16384.
    EXPECT_EQ(HiddenDeltaQ15(8192, 70000), 8736); // t = 273, (273 x 8192 + 128) >> 8
    EXPECT_EQ(HiddenDeltaQ15(16384, 131064), 16384);
    EXPECT_EQ(HiddenDeltaQ15(16384, -131064), -16384);
    // Larger: t = (s + 32768) >> 16, r = t x d.
    EXPECT_EQ(HiddenDeltaQ15(3, 5000000), 228); // t = 76
    EXPECT_EQ(HiddenDeltaQ15(16384, INT32_MIN), -16384);
}

TEST(FixedMath, LastChangeKeepsTheBitsOfTheWrappedDoubling) {
    EXPECT_EQ(RoundHalfOfDoubled(6717440), 205);
    // 2c = 3000000000 passes 32 bits: 3000032768 mod 2^32, shifted, is -19760.
    EXPECT_EQ(RoundHalfOfDoubled(1500000000), -19760);
    EXPECT_EQ(RoundHalfOfDoubled(-1500000000), 19760);
}

// The integer pass written out from its formulas with plain indices.
struct ReferenceFixed {
    std::vector<int> sizes;
    std::vector<int32_t> w;
    std::vector<int16_t> last;
    std::vector<std::vector<int32_t>> act, delta;
    int32_t rate = 0, momentum = 0;
    bool symmetric = false;

    static int32_t Low16(int64_t x) { return int16_t(uint16_t(uint64_t(x) & 0xFFFF)); }
    size_t First(size_t l) const {
        size_t k = 0;
        for (size_t i = 1; i < l; ++i)
            k += (sizes[i - 1] + 1) * sizes[i];
        return k;
    }
    int32_t Slope(int32_t y) const {
        if (symmetric) return Low16(((int64_t(1) << 30) - int64_t(y) * y + 32768) >> 16);
        int32_t c = Low16(32768 - y);
        if (c < 0) c = 32767;
        return Low16((int64_t(c) * y + 8192) >> 14);
    }

    int64_t Learn(const int16_t* in, const int16_t* t) {
        act.assign(sizes.size(), {});
        delta.assign(sizes.size(), {});
        act[0].assign(in, in + sizes[0]);
        act[0].push_back(32767);
        for (size_t l = 1; l < sizes.size(); ++l) {
            for (int j = 0; j < sizes[l]; ++j) {
                int64_t net = 0;
                for (int i = 0; i <= sizes[l - 1]; ++i) {
                    const int64_t upper = w[First(l) + j * (sizes[l - 1] + 1) + i] >> 16;
                    net += (upper * act[l - 1][i] + 256) >> 9;
                }
                act[l].push_back(ApplyTransferFixed(int32_t(net)));
            }
            act[l].push_back(32767);
        }
        const size_t top = sizes.size() - 1;
        int64_t squares = 0;
        for (int k = 0; k < sizes[top]; ++k) {
            const int32_t y = act[top][k];
            int64_t e = int64_t(t[k]) - y;
            e = symmetric ? (e > 32767 ? 32767 : e < -32768 ? -32768 : e) : Low16(e);
            delta[top].push_back(Low16((e * Slope(y) + 16384) >> 15));
            squares += e * e;
        }
        for (size_t l = top - 1; l >= 1; --l)
            for (int j = 0; j < sizes[l]; ++j) {
                int64_t s = 0;
                for (int k = 0; k < sizes[l + 1]; ++k) {
                    const int64_t upper = w[First(l + 1) + k * (sizes[l] + 1) + j] >> 16;
                    s += (upper * delta[l + 1][k] + 512) >> 10;
                }
                delta[l].push_back(HiddenDeltaQ15(Slope(act[l][j]), int32_t(s)));
            }
        int32_t r = Low16(32768 - momentum);
        if (r < 0) r = 32767;
        const int64_t factor = Low16((int64_t(rate) * r + 16384) >> 15);
        for (size_t l = 1; l < sizes.size(); ++l)
            for (int j = 0; j < sizes[l]; ++j) {
                const int64_t g = Low16((delta[l][j] * factor * 2 + 32768) >> 16);
                for (int i = 0; i <= sizes[l - 1]; ++i) {
                    const size_t at = First(l) + j * (sizes[l - 1] + 1) + i;
                    const int64_t c = act[l - 1][i] * g + int64_t(last[at]) * momentum;
                    last[at] = int16_t(Low16((2 * c + 32768) >> 16));
                    const int64_t weight = int64_t(w[at]) + ((c + 16) >> 5);
                    w[at] = weight > 1073741823 || weight < -1073741824
                                ? (c >= 0 ? 1073741823 : -1073741824)
                                : int32_t(weight);
                }
            }
        return squares;
    }
};

TEST_F(FixedPass, LearnsExactlyAsWrittenOutOverTwoEpochs) {
    struct Case {
        std::vector<int> hidden;
        int16_t code;
        double rate, momentum;
    };
    const Case cases[] = {
        {{2}, 3, 0.5, 0.9}, {{3, 2}, 3, 0.9, 0.5}, {{3, 2}, 5, 0.7, 0.3}, {{3, 2}, 1, 0.4, 0.0}};
    const std::vector<int16_t> inputs = {3000, 29000, 26000, 7000, 16000, 16500};
    const std::vector<int16_t> targets = {32767, 0, 8192};
    for (const Case& c : cases) {
        FreshLibrary();
        BuildNet(2, 1, 3, 1, 1, c.hidden, CALC_FIXED16);
        ASSERT_STREQ(SetEnhanced(c.code, 1.0, 0, 0.0, 0, 0.0), "OK");
        SetParams(0.05, 0.05, c.rate, c.momentum, 0.0);
        WriteInputs(inputs);
        WriteTargets(targets);
        std::vector<int32_t> start;
        for (int i = 0; i < gNet.weightCount; ++i)
            start.push_back(int32_t((i * 7919 % 401 - 200) * 400000));
        SetWeights(start);

        ReferenceFixed ref;
        ref.sizes = {2};
        ref.sizes.insert(ref.sizes.end(), c.hidden.begin(), c.hidden.end());
        ref.sizes.push_back(1);
        ref.w = start;
        ref.last.assign(gNet.weightCount, 0);
        ref.rate = gNet.learningRateFixed;
        ref.momentum = gNet.momentumFixed;
        ref.symmetric = c.code == 5;
        for (int epoch = 0; epoch < 2; ++epoch) {
            int64_t squares = 0;
            std::vector<int16_t> outputs;
            for (int p = 0; p < 3; ++p) {
                squares += ref.Learn(&inputs[2 * p], &targets[p]);
                outputs.push_back(int16_t(ref.act.back()[0]));
            }
            RunNet(1, 1);
            EXPECT_EQ(Weights<int32_t>(), ref.w) << "code " << c.code << " epoch " << epoch;
            EXPECT_EQ(LastChanges<int16_t>(), ref.last);
            EXPECT_EQ(Outputs<int16_t>(), outputs);
            EXPECT_EQ(gNet.passError, double(squares) / 1073741824.0 / 3.0);
        }
    }
}

} // namespace
