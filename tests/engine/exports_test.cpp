// The exports that build a network and move its weights, outputs and histogram in and out:
// every refusal and what it leaves behind, memory failures, pages and row alignment.
#include "engine/network_state.h"
#include "platform/platform.h"
#include "support/fresh_library.h"
#include "support/training_net.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using Exports = LibraryTest;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// 10 inputs x window 1, 5 hidden, 2 outputs: (10 + 1) x 5 + (5 + 1) x 2 = 67 weights.
std::string BuildSmall(int16_t method) {
    return InitBP(10, 2, 20, 1, 1, 0, 3, 5, 0, 0, 0, method);
}

std::vector<double> Values(const FP* fp) {
    return std::vector<double>(fp->array, fp->array + size_t(fp->rows) * fp->columns);
}

// Each refusal answers its message and leaves no block behind.
TEST_F(Exports, RefusalMessages) {
    const char* const kNoNetwork = "No network has been initialized";
    const char* const kBadShape = "Weight array must have 8 columns and at most one page of rows";
    const char* const kTooLong = "Histogram does not fit 255 characters";
    OwnedFp page(9, 8), narrow(9, 7), tall(10, 8), empty(0, 8);
    EXPECT_STREQ(SetWeights(page.get(), 0), kNoNetwork);
    EXPECT_STREQ(WeightHistStr(4, -1.0, 1.0), kNoNetwork);
    EXPECT_EQ(RunNet(1, 5), nullptr);
    EXPECT_EQ(GetWeights(0), nullptr);
    EXPECT_EQ(GetOutputs(0), nullptr);
    ASSERT_EQ(BuildSmall(CALC_DOUBLE), "OK");
    const int32_t live = PlatformLiveBlocks();
    EXPECT_EQ(GetWeights(-1), nullptr);
    EXPECT_EQ(GetOutputs(2), nullptr);
    EXPECT_EQ(GetOutputs(-1), nullptr);
    EXPECT_STREQ(SetWeights(nullptr, 0), "No weight array given");
    for (FP* bad : {narrow.get(), tall.get(), empty.get()})
        EXPECT_STREQ(SetWeights(bad, 0), kBadShape);
    for (int16_t row : {-1, 9}) // row 9 starts at weight 72, past the last
        EXPECT_STREQ(SetWeights(page.get(), row), "Weight row out of range");
    EXPECT_STREQ(WeightHistStr(0, -1.0, 1.0), "Number of bins must be at least 1");
    for (double hi : {1.0, kNaN})
        EXPECT_STREQ(WeightHistStr(4, 1.0, hi), "Histogram range is empty");
    for (int16_t bins : {128, 32767})
        EXPECT_STREQ(WeightHistStr(bins, 0.5, 1.0), kTooLong);
    PlatformFailAllocation(1);
    EXPECT_STREQ(WeightHistStr(4, -1.0, 1.0), "Insufficient memory for histogram.");
    PlatformFailAllocation(0);
    EXPECT_EQ(PlatformLiveBlocks(), live);
    // A refused code changes nothing; a refused margin keeps the old margin.
    EXPECT_STREQ(SetEnhanced(3, 1.0, 1, 0.01, 0, 0.4), "OK");
    EXPECT_STREQ(SetEnhanced(7, 2.0, 0, 1.0, 1, 1.0), "Unrecognized Function Code");
    EXPECT_EQ(gNet.pruneEnabled, 1);
    for (double margin : {-0.5, kNaN, HUGE_VAL})
        EXPECT_STREQ(SetEnhanced(1, 2.0, 1, 0.01, 1, margin), "Invalid Scale Margin");
    EXPECT_EQ(gNet.scaleMargin, 0.2);
}

TEST_F(Exports, InitRefusalsLeaveThePreviousNetworkUsable) {
    ASSERT_EQ(BuildSmall(CALC_DOUBLE), "OK");
    const int32_t live = PlatformLiveBlocks();
    const struct {
        int16_t a[12];
        const char* message;
    } cases[] = {
        {{10, 2, 20, 1, 1, 0, 7, 5, 5, 5, 5, 1}, "Incorrect network size"},
        {{10, 2, 20, 1, 1, 0, 3, 5, 0, 0, 0, 2}, "Invalid calculation method"},
        {{0, 2, 20, 1, 1, 0, 3, 5, 0, 0, 0, 1}, "Incorrect network size"},
        {{10, 2, 20, 1, 0, 0, 3, 5, 0, 0, 0, 1}, "Invalid window or pattern step"},
        {{10, 2, 20, 1, 1, -1, 3, 5, 0, 0, 0, 1}, "Invalid number of rows"},
        {{10, 2, 20, 3, 1, 18, 3, 5, 0, 0, 0, 1}, "Invalid number of rows"}, // no pattern
        // 2113 x 62 inputs, 1 hidden, 1 output: 131007 + 2 weights.
        {{2113, 1, 62, 62, 1, 0, 3, 1, 0, 0, 0, 1}, "Total weights exceeded 131,008 limit."},
    };
    for (const auto& c : cases) {
        const int16_t* a = c.a;
        EXPECT_EQ(std::string(InitBP(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9],
                                     a[10], a[11])),
                  c.message);
        EXPECT_EQ(gNet.weightCount, 67);
        EXPECT_EQ(PlatformLiveBlocks(), live);
    }
    EXPECT_STREQ(Init(10, 2, 20, 1, 1, 0, 3, 5, 0, 0, 0), "OK");
    EXPECT_EQ(gNet.calcMethod, CALC_FIXED16);
    // 2047 x 64 = 131008 weights: the limit itself is allowed.
    EXPECT_STREQ(InitBP(2046, 64, 1, 1, 1, 0, 2, 0, 0, 0, 0, CALC_FIXED16), "OK");
}

// Allocations 1 ... 11 report their own site (10 and 11 by method), the column blocks after
// them report 12; each failure leaves no network and no block behind.
TEST_F(Exports, EveryAllocationFailureLeavesNoNetworkAndNoLeak) {
    for (int16_t method : {CALC_FIXED16, CALC_DOUBLE}) {
        for (int32_t n = 1; n <= 15; ++n) {
            const int32_t baseline = PlatformLiveBlocks();
            ASSERT_EQ(BuildSmall(CALC_DOUBLE), "OK"); // the network to replace
            PlatformFailAllocation(n);
            const std::string result = BuildSmall(method);
            PlatformFailAllocation(0);
            std::string site = std::to_string(n < 12 ? n : 12);
            if (n == 10 || n == 11) site += method == CALC_FIXED16 ? "A" : "B";
            EXPECT_EQ(result, "Insufficient memory (" + site + ").");
            EXPECT_EQ(PlatformLiveBlocks(), baseline) << "allocation " << n;
        }
    }
}

// 5999 weights: a full 680-row page, then 559 values whose last row is completed with zeros;
// values past the last weight are never read or written.
TEST_F(Exports, WeightPagesRoundTrip) {
    ASSERT_STREQ(InitBP(5998, 1, 1, 1, 1, 0, 2, 0, 0, 0, 0, CALC_DOUBLE), "OK");
    OwnedFp first(680, 8), second(70, 8);
    for (int32_t k = 0; k < 5440; ++k)
        first.at(k) = k;
    for (int32_t k = 0; k < 560; ++k)
        second.at(k) = -(5440 + k);
    EXPECT_STREQ(SetWeights(first.get(), 0), "OK");
    EXPECT_STREQ(SetWeights(second.get(), 680), "OK");
    FP* page = GetWeights(0);
    ASSERT_EQ(page->rows, 680);
    for (int32_t k = 0; k < 5440; ++k)
        ASSERT_EQ(page->array[k], k);
    page = GetWeights(680);
    for (int32_t k = 0; k < 5440; ++k)
        ASSERT_EQ(page->array[k], k < 559 ? -(5440 + k) : k == 559 ? 0.0 : k) << k;
    EXPECT_STREQ(SetWeights(page, 680), "OK");
    EXPECT_EQ(Weights<double>()[5998], -5998.0);
}

// Fixed weights store x x 2^26 truncated toward zero and saturated, NaN as 0, and a stored
// weight's last change is cleared. The histogram reads them back as reals.
TEST_F(Exports, FixedWeightsTruncateSaturateAndClearChanges) {
    ASSERT_EQ(BuildSmall(CALC_FIXED16), "OK");
    SetLastChanges(std::vector<int16_t>(67, 5));
    OwnedFp page(1, 8, {0.5, -0.1, 100.0, -1e300, kNaN, 1.0, 0.0, 0.0});
    ASSERT_STREQ(SetWeights(page.get(), 0), "OK");
    const std::vector<int32_t> w = Weights<int32_t>();
    EXPECT_EQ(std::vector<int32_t>(w.begin(), w.begin() + 5),
              (std::vector<int32_t>{33554432, -6710886, INT32_MAX, INT32_MIN, 0}));
    EXPECT_EQ(LastChanges<int16_t>()[7], 0);
    EXPECT_EQ(LastChanges<int16_t>()[8], 5); // outside the page: untouched
    EXPECT_EQ(GetWeights(0)->array[0], 0.5);
    EXPECT_STREQ(WeightHistStr(2, 0.0, 2.0), "{65,2}"); // 2^26 counts as 1.0
}

// Bins of (hi - lo) / bins from lo: -1 (at lo), -3 and NaN count in the first, -0.26 (at
// 1.48) in the second, 1 (at hi), 7 and infinity in the last.
TEST_F(Exports, HistogramCounts) {
    ASSERT_EQ(BuildSmall(CALC_DOUBLE), "OK");
    OwnedFp spread(1, 8, {-1.0, -3.0, -0.26, 1.0, 7.0, 0.49999, kNaN, HUGE_VAL});
    ASSERT_STREQ(SetWeights(spread.get(), 0), "OK");
    EXPECT_STREQ(WeightHistStr(4, -1.0, 1.0), "{3,1,60,3}");
}

TEST_F(Exports, OutputRowsLineUpWithTheRange) {
    // Window 3 over 10 rows with row 5 blank: 7 patterns over 8 positions, in target units.
    ASSERT_STREQ(InitBP(1, 1, 10, 3, 1, 1, 2, 0, 0, 0, 0, CALC_DOUBLE), "OK");
    WriteTargetRange({10.0}, {20.0});
    WriteBlock<int32_t>(gNet.blankRowFlags, 5 * 4, {1});
    SetOutputs(std::vector<double>{0.0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6});
    EXPECT_EQ(Values(GetOutputs(0)), (std::vector<double>{10, 11, 12, 0, 13, 14, 15, 16}));

    // A blank row among the first window - 1 rows is no pattern position: the walk covers 7
    // of the 8 rows, and the last row must not keep an earlier column's value.
    WriteBlock<int32_t>(gNet.blankRowFlags, 0, {1, 0, 0, 0, 0, 0});
    gNet.blankPatternRows = 0;
    gNet.outputsFpRecord->array[7] = 99.0;
    EXPECT_EQ(Values(GetOutputs(0)), (std::vector<double>{10, 11, 12, 13, 14, 15, 16, 0}));
}

} // namespace
