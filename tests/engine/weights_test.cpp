#include "engine/network_state.h"
#include "engine/random.h"
#include "platform/platform.h"
#include "support/fresh_library.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

using Weights = LibraryTest;

// 67 weights: 10 inputs, 5 hidden, 2 outputs.
void BuildSmall(int16_t method) {
    ASSERT_EQ(std::string(InitBP(10, 2, 20, 1, 1, 0, 3, 5, 0, 0, 0, method)), "OK");
}

// Weight i (fixed-point units in CALC_FIXED16) or, with `changes`, its last change.
double Stored(int32_t i, bool changes = false) {
    auto* block = static_cast<unsigned char*>(GlobalBlockLock(gNet.weightsBlock));
    const size_t n = size_t(gNet.weightCount);
    double v;
    if (gNet.calcMethod == CALC_FIXED16)
        v = changes ? reinterpret_cast<int16_t*>(block + 4 * n)[i]
                    : reinterpret_cast<int32_t*>(block)[i];
    else
        v = reinterpret_cast<double*>(block + (changes ? 8 * n : 0))[i];
    GlobalBlockUnlock(gNet.weightsBlock);
    return v;
}

void FillLastChanges() {
    auto* block = static_cast<unsigned char*>(GlobalBlockLock(gNet.weightsBlock));
    const size_t n = size_t(gNet.weightCount);
    for (size_t i = 0; i < n; ++i) {
        if (gNet.calcMethod == CALC_FIXED16)
            reinterpret_cast<int16_t*>(block + 4 * n)[i] = 5;
        else
            reinterpret_cast<double*>(block + 8 * n)[i] = 0.5;
    }
    GlobalBlockUnlock(gNet.weightsBlock);
}

} // namespace

TEST_F(Weights, GeneratorSequence) {
    // 1 -> 2745024 (draw 41) -> ...
    for (int32_t value : {41, 18467, 6334, 26500, 19169, 15724})
        EXPECT_EQ(NextRandom(), value);
}

TEST_F(Weights, SeededRandomizationIsRepeatableInBothMethods) {
    EXPECT_EQ(RandomizeWeights(1, 7, 0.5), 1); // no network: nothing happens
    EXPECT_EQ(RandomState(), 1u);

    BuildSmall(CALC_DOUBLE);
    FillLastChanges();
    RandomizeWeights(1, 7, 0.5);
    EXPECT_EQ(Stored(0), (61 * 2.0 / 32767.0 - 1.0) * 0.5); // seed 7: state 4029102, draw 61
    EXPECT_EQ(Stored(66, true), 0.0);
    std::vector<double> doubles;
    for (int32_t i = 0; i < 67; ++i)
        doubles.push_back(Stored(i));

    BuildSmall(CALC_FIXED16);
    FillLastChanges();
    RandomizeWeights(1, 7, 0.5);
    for (int32_t i = 0; i < 67; ++i) {
        EXPECT_EQ(Stored(i), std::trunc(doubles[i] * 67108864.0)) << i;
        EXPECT_EQ(Stored(i, true), 0.0);
    }

    RandomizeWeights(1, -1, 1.0); // seed 4294967295: state 2316998, draw 35
    EXPECT_EQ(Stored(0), std::trunc((35 * 2.0 / 32767.0 - 1.0) * 67108864.0));
    RandomizeWeights(1, -32768, 1.0);
    const double seeded = Stored(5);
    PlatformSetClock(0x12348000); // the clock's low 16 bits, sign-extended: -32768
    RandomizeWeights(0, 5, 1.0);
    EXPECT_EQ(Stored(5), seeded);
}

TEST_F(Weights, GetWeightsPagesAndPadding) {
    EXPECT_EQ(GetWeights(0), nullptr);
    BuildSmall(CALC_DOUBLE);
    EXPECT_EQ(GetWeights(-1), nullptr);
    RandomizeWeights(1, 3, 1.0);
    for (int32_t k = 0; k < 72; ++k)
        gNet.weightFpRecord->array[k] = 99.0;
    FP* page = GetWeights(0);
    ASSERT_EQ(page, gNet.weightFpRecord);
    EXPECT_EQ(page->array[66], Stored(66));
    for (int32_t k = 67; k < 72; ++k)
        EXPECT_EQ(page->array[k], 0.0); // the last row is completed
    page->array[0] = 42.0;
    GetWeights(9); // past the last weight: nothing written
    EXPECT_EQ(page->array[0], 42.0);
}

TEST_F(Weights, PagesOfALargeNetworkRoundTrip) {
    ASSERT_EQ(std::string(InitBP(5999, 1, 1, 1, 1, 0, 2, 0, 0, 0, 0, CALC_DOUBLE)), "OK");
    OwnedFp first(680, 8), second(70, 8);
    for (int32_t k = 0; k < 5440; ++k)
        first.at(k) = k;
    for (int32_t k = 0; k < 560; ++k)
        second.at(k) = -(5440 + k);
    EXPECT_EQ(std::string(SetWeights(first.get(), 0)), "OK");
    EXPECT_EQ(std::string(SetWeights(second.get(), 680)), "OK");
    FP* page = GetWeights(0);
    for (int32_t k = 0; k < 5440; ++k)
        ASSERT_EQ(page->array[k], k);
    page = GetWeights(680);
    for (int32_t k = 0; k < 5440; ++k) // 560 values fill 70 rows; the rest is the first page
        ASSERT_EQ(page->array[k], k < 560 ? -(5440 + k) : k) << k;
    // The whole 680-row record loads back; values past the last weight are ignored.
    EXPECT_EQ(std::string(SetWeights(page, 680)), "OK");
    EXPECT_EQ(Stored(5999), -5999.0);
}

TEST_F(Weights, FixedPointStorageTruncatesSaturatesAndClearsChanges) {
    BuildSmall(CALC_FIXED16);
    FillLastChanges();
    OwnedFp page(1, 8, {0.5, -0.1, 100.0, -1e300, std::nan(""), 1.0});
    ASSERT_EQ(std::string(SetWeights(page.get(), 8)), "OK"); // weights 64 ... 66
    EXPECT_EQ(Stored(64), 33554432.0);
    EXPECT_EQ(Stored(65), -6710886.0); // -6710886.4 truncated toward zero
    EXPECT_EQ(Stored(66), 2147483647.0);
    EXPECT_EQ(Stored(66, true), 0.0);
    EXPECT_EQ(Stored(63, true), 5.0); // outside the page: untouched
    EXPECT_EQ(GetWeights(8)->array[0], 0.5);

    page.at(0) = -1e300;
    page.at(1) = std::nan("");
    SetWeights(page.get(), 8);
    EXPECT_EQ(Stored(64), -2147483648.0);
    EXPECT_EQ(Stored(65), 0.0);
}

TEST_F(Weights, SetWeightsRefusals) {
    OwnedFp page(9, 8), narrow(9, 7), tall(10, 8), empty(0, 8);
    EXPECT_NE(std::string(SetWeights(page.get(), 0)), "OK"); // no network
    BuildSmall(CALC_DOUBLE);
    for (FP* bad : {static_cast<FP*>(nullptr), narrow.get(), tall.get(), empty.get()})
        EXPECT_NE(std::string(SetWeights(bad, 0)), "OK");
    EXPECT_NE(std::string(SetWeights(page.get(), -1)), "OK");
    EXPECT_NE(std::string(SetWeights(page.get(), 9)), "OK"); // weight 72 is past the last
}
