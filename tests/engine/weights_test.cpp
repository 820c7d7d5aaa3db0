#include "engine/network_state.h"
#include "engine/random.h"
#include "platform/platform.h"
#include "support/fresh_library.h"
#include "support/training_net.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

using WeightStore = LibraryTest;

// 67 weights: 10 inputs, 5 hidden, 2 outputs; every last change set to a non-zero value.
void BuildSmall(int16_t method) {
    ASSERT_EQ(std::string(InitBP(10, 2, 20, 1, 1, 0, 3, 5, 0, 0, 0, method)), "OK");
    if (method == CALC_FIXED16)
        SetLastChanges(std::vector<int16_t>(67, 5));
    else
        SetLastChanges(std::vector<double>(67, 0.5));
}

} // namespace

TEST_F(WeightStore, GeneratorSequence) {
    // 1 -> 2745024 (draw 41) -> ...
    for (int32_t value : {41, 18467, 6334, 26500, 19169, 15724})
        EXPECT_EQ(NextRandom(), value);
}

TEST_F(WeightStore, SeededRandomizationIsRepeatableInBothMethods) {
    EXPECT_EQ(RandomizeWeights(1, 7, 0.5), 1); // no network: nothing happens
    EXPECT_EQ(RandomState(), 1u);

    BuildSmall(CALC_DOUBLE);
    RandomizeWeights(1, 7, 0.5);
    const std::vector<double> doubles = Weights<double>();
    EXPECT_EQ(doubles[0], (61 * 2.0 / 32767.0 - 1.0) * 0.5); // seed 7: state 4029102, draw 61
    EXPECT_EQ(LastChanges<double>(), std::vector<double>(67, 0.0));

    BuildSmall(CALC_FIXED16);
    RandomizeWeights(1, 7, 0.5);
    const std::vector<int32_t> fixed = Weights<int32_t>();
    for (int32_t i = 0; i < 67; ++i)
        EXPECT_EQ(fixed[i], std::trunc(doubles[i] * 67108864.0)) << i;
    EXPECT_EQ(LastChanges<int16_t>(), std::vector<int16_t>(67, 0));

    RandomizeWeights(1, -1, 1.0); // seed 4294967295: state 2316998, draw 35
    EXPECT_EQ(Weights<int32_t>()[0], std::trunc((35 * 2.0 / 32767.0 - 1.0) * 67108864.0));
    RandomizeWeights(1, -32768, 1.0);
    const int32_t seeded = Weights<int32_t>()[5];
    PlatformSetClock(0x12348000); // the clock's low 16 bits, sign-extended: -32768
    RandomizeWeights(0, 5, 1.0);
    EXPECT_EQ(Weights<int32_t>()[5], seeded);
}

TEST_F(WeightStore, GetWeightsPagesAndPadding) {
    EXPECT_EQ(GetWeights(0), nullptr);
    BuildSmall(CALC_DOUBLE);
    EXPECT_EQ(GetWeights(-1), nullptr);
    RandomizeWeights(1, 3, 1.0);
    for (int32_t k = 0; k < 72; ++k)
        gNet.weightFpRecord->array[k] = 99.0;
    FP* page = GetWeights(0);
    ASSERT_EQ(page, gNet.weightFpRecord);
    EXPECT_EQ(page->array[66], Weights<double>()[66]);
    for (int32_t k = 67; k < 72; ++k)
        EXPECT_EQ(page->array[k], 0.0); // the last row is completed
    page->array[0] = 42.0;
    GetWeights(9); // past the last weight: nothing written
    EXPECT_EQ(page->array[0], 42.0);
}

TEST_F(WeightStore, PagesOfALargeNetworkRoundTrip) {
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
    EXPECT_EQ(Weights<double>()[5999], -5999.0);
}

TEST_F(WeightStore, FixedPointStorageTruncatesSaturatesAndClearsChanges) {
    BuildSmall(CALC_FIXED16);
    OwnedFp page(1, 8, {0.5, -0.1, 100.0, -1e300, std::nan(""), 1.0});
    ASSERT_EQ(std::string(SetWeights(page.get(), 8)), "OK"); // weights 64 ... 66
    std::vector<int32_t> w = Weights<int32_t>();
    EXPECT_EQ(w[64], 33554432);
    EXPECT_EQ(w[65], -6710886); // -6710886.4 truncated toward zero
    EXPECT_EQ(w[66], INT32_MAX);
    EXPECT_EQ(LastChanges<int16_t>()[66], 0);
    EXPECT_EQ(LastChanges<int16_t>()[63], 5); // outside the page: untouched
    EXPECT_EQ(GetWeights(8)->array[0], 0.5);

    page.at(0) = -1e300;
    page.at(1) = std::nan("");
    SetWeights(page.get(), 8);
    w = Weights<int32_t>();
    EXPECT_EQ(w[64], INT32_MIN);
    EXPECT_EQ(w[65], 0);
}

TEST_F(WeightStore, SetWeightsRefusals) {
    OwnedFp page(9, 8), narrow(9, 7), tall(10, 8), empty(0, 8);
    EXPECT_STREQ(SetWeights(page.get(), 0), "No network has been initialized");
    BuildSmall(CALC_DOUBLE);
    EXPECT_STREQ(SetWeights(nullptr, 0), "No weight array given");
    for (FP* bad : {narrow.get(), tall.get(), empty.get()})
        EXPECT_STREQ(SetWeights(bad, 0),
                     "Weight array must have 8 columns and at most one page of rows");
    EXPECT_STREQ(SetWeights(page.get(), -1), "Weight row out of range");
    EXPECT_STREQ(SetWeights(page.get(), 9),
                 "Weight row out of range"); // weight 72 is past the last
}
