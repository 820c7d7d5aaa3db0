// The 16-bit pass: hand-worked values of single steps and of its integer helpers.
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

} // namespace
