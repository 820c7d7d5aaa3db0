#include "engine/network_state.h"
#include "platform/platform.h"
#include "support/fresh_library.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

using Histogram = LibraryTest;

void BuildSmall(int16_t method) {
    ASSERT_EQ(std::string(InitBP(10, 2, 20, 1, 1, 0, 3, 5, 0, 0, 0, method)), "OK");
}

void LoadWeights(const std::vector<double>& values) {
    OwnedFp page(static_cast<uint16_t>((values.size() + 7) / 8), 8, values);
    ASSERT_EQ(std::string(SetWeights(page.get(), 0)), "OK");
}

} // namespace

TEST_F(Histogram, CountsOfZeroWeights) {
    BuildSmall(CALC_DOUBLE);
    EXPECT_EQ(std::string(WeightHistStr(4, -1.0, 1.0)), "{0,0,67,0}");
    EXPECT_EQ(std::string(WeightHistStr(1, -1.0, 1.0)), "{67}");
    EXPECT_EQ(gNet.histogramFp, nullptr);
}

TEST_F(Histogram, BinEdgesAndOutliers) {
    BuildSmall(CALC_DOUBLE);
    // -1 (at lo) and -3 in bin 0; -0.26 in bin 1 (1.48); 1 (at hi) and 7 in the last bin;
    // 0.49999 in bin 2; the other 61 weights (0.0) in bin 2.
    LoadWeights({-1.0, -3.0, -0.26, 1.0, 7.0, 0.49999});
    EXPECT_EQ(std::string(WeightHistStr(4, -1.0, 1.0)), "{2,1,62,2}");
}

TEST_F(Histogram, FixedPointWeightsCountInRealUnits) {
    BuildSmall(CALC_FIXED16);
    LoadWeights({1.0, 0.999}); // stored 67108864 and just below it
    EXPECT_EQ(std::string(WeightHistStr(2, 0.0, 2.0)), "{66,1}");
}

TEST_F(Histogram, RefusalsAnswerAMessageAndFreeEverything) {
    EXPECT_NE(WeightHistStr(4, -1.0, 1.0)[0], '{'); // no network
    BuildSmall(CALC_DOUBLE);
    const int32_t live = PlatformLiveBlocks();
    EXPECT_NE(WeightHistStr(0, -1.0, 1.0)[0], '{');
    EXPECT_NE(WeightHistStr(-3, -1.0, 1.0)[0], '{');
    EXPECT_NE(WeightHistStr(4, 1.0, 1.0)[0], '{');
    EXPECT_NE(WeightHistStr(4, 1.0, -1.0)[0], '{');
    EXPECT_NE(WeightHistStr(4, 0.0, std::nan(""))[0], '{');
    PlatformFailAllocation(1);
    EXPECT_NE(WeightHistStr(4, -1.0, 1.0)[0], '{');
    PlatformFailAllocation(0);
    EXPECT_EQ(PlatformLiveBlocks(), live);
    EXPECT_EQ(gNet.histogramFp, nullptr);
}

TEST_F(Histogram, TheTextHoldsAtMost255Characters) {
    // Two weights: 127 one-digit counts and 126 commas with the braces make 255 characters.
    ASSERT_EQ(std::string(InitBP(1, 1, 1, 1, 1, 0, 2, 0, 0, 0, 0, CALC_DOUBLE)), "OK");
    const int32_t live = PlatformLiveBlocks();
    std::string text = WeightHistStr(127, 0.5, 1.0);
    EXPECT_EQ(text.size(), 255u);
    EXPECT_EQ(text.substr(0, 4), "{2,0");
    EXPECT_EQ(text.back(), '}');
    EXPECT_NE(WeightHistStr(128, 0.5, 1.0)[0], '{');
    EXPECT_NE(WeightHistStr(32767, 0.5, 1.0)[0], '{');
    EXPECT_EQ(PlatformLiveBlocks(), live);
}

TEST_F(Histogram, NonFiniteWeightsStayInRange) {
    BuildSmall(CALC_DOUBLE);
    LoadWeights({std::nan(""), 1e308, -1e308, HUGE_VAL});
    EXPECT_EQ(std::string(WeightHistStr(4, -1.0, 1.0)), "{2,0,63,2}");
}
