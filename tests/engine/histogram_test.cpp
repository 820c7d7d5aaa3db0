#include "engine/network_state.h"
#include "platform/platform.h"
#include "support/fresh_library.h"

#include <cmath>
#include <string>

namespace {

using Histogram = LibraryTest;

void BuildSmall(int16_t method, std::initializer_list<double> weights) {
    ASSERT_EQ(std::string(InitBP(10, 2, 20, 1, 1, 0, 3, 5, 0, 0, 0, method)), "OK");
    OwnedFp page(1, 8, weights);
    ASSERT_EQ(std::string(SetWeights(page.get(), 0)), "OK");
}

} // namespace

TEST_F(Histogram, Counts) {
    BuildSmall(CALC_DOUBLE, {});
    EXPECT_EQ(std::string(WeightHistStr(4, -1.0, 1.0)), "{0,0,67,0}");
    EXPECT_EQ(std::string(WeightHistStr(1, -1.0, 1.0)), "{67}");
    // -1 (at lo), -3 and NaN in bin 0; -0.26 in bin 1 (1.48); 1 (at hi), 7 and infinity in
    // the last bin; 0.49999 and the 59 zeros in bin 2.
    BuildSmall(CALC_DOUBLE, {-1.0, -3.0, -0.26, 1.0, 7.0, 0.49999, std::nan(""), HUGE_VAL});
    EXPECT_EQ(std::string(WeightHistStr(4, -1.0, 1.0)), "{3,1,60,3}");
    BuildSmall(CALC_FIXED16, {1.0, 0.999}); // 67108864 counts as 1.0
    EXPECT_EQ(std::string(WeightHistStr(2, 0.0, 2.0)), "{66,1}");
    EXPECT_EQ(gNet.histogramFp, nullptr);
}

TEST_F(Histogram, RefusalsAnswerTheirMessageAndFreeEverything) {
    EXPECT_STREQ(WeightHistStr(4, -1.0, 1.0), "No network has been initialized");
    BuildSmall(CALC_DOUBLE, {});
    const int32_t live = PlatformLiveBlocks();
    EXPECT_STREQ(WeightHistStr(0, -1.0, 1.0), "Number of bins must be at least 1");
    EXPECT_STREQ(WeightHistStr(4, 1.0, 1.0), "Histogram range is empty");
    EXPECT_STREQ(WeightHistStr(4, 0.0, std::nan("")), "Histogram range is empty");
    PlatformFailAllocation(1);
    EXPECT_STREQ(WeightHistStr(4, -1.0, 1.0), "Insufficient memory for histogram.");
    EXPECT_EQ(PlatformLiveBlocks(), live);
}

TEST_F(Histogram, TheTextHoldsAtMost255Characters) {
    // Two weights: 127 one-digit counts, 126 commas and the braces make 255 characters.
    ASSERT_EQ(std::string(InitBP(1, 1, 1, 1, 1, 0, 2, 0, 0, 0, 0, CALC_DOUBLE)), "OK");
    const int32_t live = PlatformLiveBlocks();
    const std::string text = WeightHistStr(127, 0.5, 1.0);
    EXPECT_EQ(text.size(), 255u);
    EXPECT_EQ(text.substr(0, 4), "{2,0");
    EXPECT_EQ(text.back(), '}');
    for (int16_t bins : {128, 32767})
        EXPECT_STREQ(WeightHistStr(bins, 0.5, 1.0), "Histogram does not fit 255 characters");
    EXPECT_EQ(PlatformLiveBlocks(), live);
}
