#include "engine/network_state.h"
#include "engine/random.h"
#include "platform/platform.h"
#include "support/fresh_library.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using Weights = LibraryTest;

// 67 weights: 10 inputs, 5 hidden, 2 outputs.
void BuildSmall(int16_t method) {
    ASSERT_EQ(std::string(InitBP(10, 2, 20, 1, 1, 0, 3, 5, 0, 0, 0, method)), "OK");
}

// 6000 weights: 5999 inputs, 1 output.
void BuildLarge(int16_t method) {
    ASSERT_EQ(std::string(InitBP(5999, 1, 1, 1, 1, 0, 2, 0, 0, 0, 0, method)), "OK");
}

// The stored weights and last changes, read through a lock of their block.
struct StoredWeights {
    std::vector<double> values;
    std::vector<double> changes;
};

StoredWeights ReadStored() {
    StoredWeights out;
    auto* block = static_cast<unsigned char*>(GlobalBlockLock(gNet.weightsBlock));
    const int32_t n = gNet.weightCount;
    for (int32_t i = 0; i < n; ++i) {
        if (gNet.calcMethod == CALC_FIXED16) {
            out.values.push_back(reinterpret_cast<int32_t*>(block)[i]);
            out.changes.push_back(reinterpret_cast<int16_t*>(block + 4 * n)[i]);
        } else {
            out.values.push_back(reinterpret_cast<double*>(block)[i]);
            out.changes.push_back(reinterpret_cast<double*>(block + 8 * n)[i]);
        }
    }
    GlobalBlockUnlock(gNet.weightsBlock);
    return out;
}

void SetAllLastChanges(double value) {
    auto* block = static_cast<unsigned char*>(GlobalBlockLock(gNet.weightsBlock));
    const int32_t n = gNet.weightCount;
    for (int32_t i = 0; i < n; ++i) {
        if (gNet.calcMethod == CALC_FIXED16)
            reinterpret_cast<int16_t*>(block + 4 * n)[i] = static_cast<int16_t>(value);
        else
            reinterpret_cast<double*>(block + 8 * n)[i] = value;
    }
    GlobalBlockUnlock(gNet.weightsBlock);
}

// The weight a draw gives, computed the way the weights are spread over -range ... +range.
double WeightOfDraw(int32_t draw, double range) {
    return (draw * 2.0 / 32767.0 - 1.0) * range;
}

} // namespace

TEST_F(Weights, GeneratorSequenceFromSeedOne) {
    // state = state x 214013 + 2531011: 1 -> 2745024, whose bits 16..30 are 41, and so on.
    const int32_t expected[] = {41, 18467, 6334, 26500, 19169, 15724};
    for (int32_t value : expected)
        EXPECT_EQ(NextRandom(), value);
    SeedRandom(0);
    EXPECT_EQ(NextRandom(), 38); // 2531011 >> 16
    EXPECT_EQ(RandomState(), 2531011u);
}

TEST_F(Weights, SeededRandomizationIsRepeatableInBothMethods) {
    BuildSmall(CALC_DOUBLE);
    SetAllLastChanges(0.25);
    EXPECT_EQ(RandomizeWeights(1, 7, 0.5), 1);
    StoredWeights first = ReadStored();
    // Seed 7: state 4029102, draw 61.
    EXPECT_EQ(first.values[0], WeightOfDraw(61, 0.5));
    for (double change : first.changes)
        EXPECT_EQ(change, 0.0);
    RandomizeWeights(1, 7, 0.5);
    EXPECT_EQ(ReadStored().values, first.values);

    BuildSmall(CALC_FIXED16);
    SetAllLastChanges(3);
    RandomizeWeights(1, 7, 0.5);
    StoredWeights fixed = ReadStored();
    for (size_t i = 0; i < fixed.values.size(); ++i) {
        EXPECT_EQ(fixed.values[i], std::trunc(first.values[i] * 67108864.0)) << i;
        EXPECT_EQ(fixed.changes[i], 0.0);
    }
}

TEST_F(Weights, SeedsAreSignExtendedAndTheClockSeedUsesItsLow16Bits) {
    BuildSmall(CALC_DOUBLE);
    RandomizeWeights(1, -1, 1.0);
    // Seed 4294967295: state 2316998, draw 35.
    EXPECT_EQ(ReadStored().values[0], WeightOfDraw(35, 1.0));

    RandomizeWeights(1, -32768, 1.0);
    std::vector<double> seeded = ReadStored().values;
    PlatformSetClock(0x12348000); // low 16 bits 0x8000, sign-extended to -32768
    RandomizeWeights(0, 5, 1.0);
    EXPECT_EQ(ReadStored().values, seeded);
}

TEST_F(Weights, RandomizeWithoutNetworkTouchesNothing) {
    EXPECT_EQ(RandomizeWeights(1, 7, 1.0), 1);
    EXPECT_EQ(RandomState(), 1u);
}

TEST_F(Weights, GetWeightsCompletesTheLastRowWithZeros) {
    EXPECT_EQ(GetWeights(0), nullptr); // no network
    BuildSmall(CALC_DOUBLE);
    EXPECT_EQ(GetWeights(-1), nullptr);
    RandomizeWeights(1, 3, 1.0);
    std::vector<double> stored = ReadStored().values;
    for (int32_t k = 0; k < 72; ++k)
        gNet.weightFpRecord->array[k] = 99.0;
    FP* page = GetWeights(0);
    ASSERT_EQ(page, gNet.weightFpRecord);
    EXPECT_EQ(page->rows, 9);
    EXPECT_EQ(page->columns, 8);
    for (int32_t k = 0; k < 67; ++k)
        EXPECT_EQ(page->array[k], stored[k]);
    for (int32_t k = 67; k < 72; ++k)
        EXPECT_EQ(page->array[k], 0.0);

    // A page past the last weight writes nothing.
    page->array[0] = 42.0;
    GetWeights(9);
    EXPECT_EQ(page->array[0], 42.0);
}

TEST_F(Weights, PagesOfALargeNetworkRoundTrip) {
    BuildLarge(CALC_DOUBLE);
    ASSERT_EQ(gNet.weightFpRows, 680);
    OwnedFp first(680, 8), second(70, 8);
    for (int32_t k = 0; k < 5440; ++k)
        first.at(k) = k * 0.001;
    for (int32_t k = 0; k < 560; ++k)
        second.at(k) = -(5440 + k) * 0.001;
    EXPECT_EQ(std::string(SetWeights(first.get(), 0)), "OK");
    EXPECT_EQ(std::string(SetWeights(second.get(), 680)), "OK");

    FP* page = GetWeights(0);
    for (int32_t k = 0; k < 5440; ++k)
        ASSERT_EQ(page->array[k], k * 0.001) << k;
    page = GetWeights(680);
    for (int32_t k = 0; k < 560; ++k)
        ASSERT_EQ(page->array[k], -(5440 + k) * 0.001) << k;
    // 560 values fill 70 rows exactly; the rows after them keep the first page.
    for (int32_t k = 560; k < 5440; ++k)
        ASSERT_EQ(page->array[k], k * 0.001) << k;

    // What GetWeights handed out for the last page loads back as it is: 680 rows, of which
    // only the first 560 values are weights.
    EXPECT_EQ(std::string(SetWeights(page, 680)), "OK");
    EXPECT_EQ(ReadStored().values[5999], -5999 * 0.001);
}

TEST_F(Weights, FixedPointStorageTruncatesAndSaturates) {
    BuildSmall(CALC_FIXED16);
    SetAllLastChanges(7);
    OwnedFp page(9, 8);
    page.at(0) = 0.5;
    page.at(1) = -0.1; // -6710886.4 truncated toward zero
    page.at(2) = 100.0;
    page.at(3) = -1e300;
    page.at(4) = std::nan("");
    page.at(5) = 1.0;
    ASSERT_EQ(std::string(SetWeights(page.get(), 0)), "OK");
    StoredWeights stored = ReadStored();
    EXPECT_EQ(stored.values[0], 33554432.0);
    EXPECT_EQ(stored.values[1], -6710886.0);
    EXPECT_EQ(stored.values[2], 2147483647.0);
    EXPECT_EQ(stored.values[3], -2147483648.0);
    EXPECT_EQ(stored.values[4], 0.0);
    for (double change : stored.changes)
        EXPECT_EQ(change, 0.0);
    FP* out = GetWeights(0);
    EXPECT_EQ(out->array[0], 0.5);
    EXPECT_EQ(out->array[5], 1.0);
}

TEST_F(Weights, SetWeightsLoadsOnlyItsPageAndClearsOnlyItsChanges) {
    BuildSmall(CALC_DOUBLE);
    SetAllLastChanges(0.5);
    OwnedFp page(2, 8, std::vector<double>(16, 2.0));
    ASSERT_EQ(std::string(SetWeights(page.get(), 8)), "OK"); // weights 64 ... 66
    StoredWeights stored = ReadStored();
    for (int32_t i = 0; i < 67; ++i) {
        EXPECT_EQ(stored.values[i], i >= 64 ? 2.0 : 0.0) << i;
        EXPECT_EQ(stored.changes[i], i >= 64 ? 0.0 : 0.5) << i;
    }
}

TEST_F(Weights, SetWeightsRefusals) {
    OwnedFp page(9, 8);
    EXPECT_NE(std::string(SetWeights(page.get(), 0)), "OK"); // no network
    BuildSmall(CALC_DOUBLE);
    OwnedFp narrow(9, 7), tall(10, 8), empty(0, 8);
    EXPECT_NE(std::string(SetWeights(nullptr, 0)), "OK");
    EXPECT_NE(std::string(SetWeights(narrow.get(), 0)), "OK");
    EXPECT_NE(std::string(SetWeights(tall.get(), 0)), "OK");
    EXPECT_NE(std::string(SetWeights(empty.get(), 0)), "OK");
    EXPECT_NE(std::string(SetWeights(page.get(), -1)), "OK");
    EXPECT_NE(std::string(SetWeights(page.get(), 9)), "OK"); // weight 72 is past the last
    EXPECT_EQ(std::string(SetWeights(page.get(), 8)), "OK");
}
