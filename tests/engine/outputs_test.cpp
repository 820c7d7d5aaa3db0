// GetOutputs de-scaling and row alignment, and the PlotError layout.
#include "engine/network_build.h"
#include "engine/network_state.h"
#include "engine/run_loop.h"
#include "support/fresh_library.h"
#include "support/training_net.h"

namespace {

class Outputs : public LibraryTest {};

std::vector<double> Column(const FP* fp) {
    return std::vector<double>(fp->array, fp->array + fp->rows);
}

TEST_F(Outputs, DescaledIntoTheTargetColumnsUnits) {
    EXPECT_EQ(GetOutputs(0), nullptr); // no network
    BuildNet(1, 2, 2, 1, 1, {}, CALC_DOUBLE);
    EXPECT_EQ(GetOutputs(2), nullptr);
    EXPECT_EQ(GetOutputs(-1), nullptr);
    WriteTargetRange({10.0, -1.0}, {30.0, 1.0});
    SetOutputs(std::vector<double>{0.25, 0.5, 1.0, 0.0});
    EXPECT_EQ(Column(GetOutputs(0)), (std::vector<double>{15.0, 30.0}));
    EXPECT_EQ(Column(GetOutputs(1)), (std::vector<double>{0.0, -1.0}));

    BuildNet(1, 1, 3, 1, 1, {}, CALC_FIXED16);
    WriteTargetRange({10.0}, {30.0});
    SetOutputs(std::vector<int16_t>{16384, 32767, -16384});
    const std::vector<double> out = Column(GetOutputs(0));
    EXPECT_EQ(out[0], 20.0);
    EXPECT_EQ(out[1], (32767 / 32768.0) * 20.0 + 10.0); // 29.99939
    EXPECT_EQ(out[2], 0.0);                             // the stored value is signed
}

TEST_F(Outputs, BlankRowsLineUpWithTheRange) {
    // Window 3 over 10 rows with row 5 blank: 7 patterns over 8 positions.
    ASSERT_STREQ(InitBP(1, 1, 10, 3, 1, 1, 2, 0, 0, 0, 0, CALC_DOUBLE), "OK");
    WriteTargetRange({0.0}, {10.0});
    WriteBlock<int32_t>(gNet.blankRowFlags, 5 * 4, {1});
    SetOutputs(std::vector<double>{0.0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6});
    EXPECT_EQ(Column(GetOutputs(0)), (std::vector<double>{0.0, 1.0, 2.0, 0.0, 3.0, 4.0, 5.0, 6.0}));

    // A blank row among the first window - 1 rows is no pattern position: the walk covers 7
    // of the 8 rows, and the last row must not keep an earlier column's value.
    WriteBlock<int32_t>(gNet.blankRowFlags, 0, {1, 0, 0, 0, 0, 0});
    gNet.blankPatternRows = 0;
    gNet.outputsFpRecord->array[7] = 99.0;
    EXPECT_EQ(Column(GetOutputs(0)), (std::vector<double>{0.0, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 0.0}));

    // More data positions than stored patterns: the cursor stops at the last pattern.
    gNet.patterns = 5;
    gNet.blankPatternRows = 3;
    WriteBlock<int32_t>(gNet.blankRowFlags, 0, {0});
    EXPECT_EQ(Column(GetOutputs(0)), (std::vector<double>{0.0, 1.0, 2.0, 3.0, 4.0, 0.0, 0.0, 0.0}));
}

std::vector<double> PlotRow(const FP* plot, int row) {
    return {plot->array[2 * row], plot->array[2 * row + 1]};
}

TEST_F(Outputs, PlotShowsPointsThenTheOpenBucket) {
    BuildNet(1, 1, 2, 1, 1, {}, CALC_DOUBLE);
    const FP* plot = PlotError(); // no points, bucket size 1
    ASSERT_EQ(plot->rows, 256);
    ASSERT_EQ(plot->columns, 2);
    EXPECT_EQ(PlotRow(plot, 0), (std::vector<double>{0.0, 0.0}));
    EXPECT_EQ(PlotRow(plot, 1), (std::vector<double>{1.0, 1.0}));
    EXPECT_EQ(PlotRow(plot, 2), (std::vector<double>{0.0, 0.0}));

    gNet.errorHistoryCount = 5;
    gNet.errorBucketSize = 2;
    for (int i = 0; i < 5; ++i) {
        gNet.trainErrorHistory[i] = int16_t(1000 * (i + 1));
        gNet.testErrorHistory[i] = 32767;
    }
    gNet.errorBucketFill = 1;
    gNet.trainErrorSum = 16383;
    gNet.testErrorSum = -3; // truncates toward zero: -3 / 1
    plot = PlotError();
    EXPECT_EQ(PlotRow(plot, 0), (std::vector<double>{5.0, 5.0}));
    EXPECT_EQ(PlotRow(plot, 1), (std::vector<double>{2.0, 2.0}));
    EXPECT_EQ(PlotRow(plot, 2), (std::vector<double>{1000 / 32767.0, 1.0}));
    EXPECT_EQ(PlotRow(plot, 6), (std::vector<double>{5000 / 32767.0, 1.0}));
    EXPECT_EQ(PlotRow(plot, 7), (std::vector<double>{16383 / 32767.0, -3 / 32767.0}));
    for (int row = 8; row < 256; ++row)
        EXPECT_EQ(PlotRow(plot, row), (std::vector<double>{0.0, 0.0}));

    gNet.errorBucketFill = 2;
    gNet.trainErrorSum = 5; // 5 / 2 = 2
    EXPECT_EQ(PlotRow(PlotError(), 7)[0], 2 / 32767.0);
}

} // namespace
