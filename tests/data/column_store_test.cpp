#include "data/column_store.h"
#include "data_fixture.h"

#include <cmath>
#include <limits>

namespace {

using ColumnStoreTest = LibraryTest;

TEST_F(ColumnStoreTest, FixedInputsScaleToTheFullRangeWithMarginAndNoise) {
    ASSERT_EQ(Build(2, 1, 3, 1, 1, 0, CALC_FIXED16), "OK");
    ASSERT_EQ(Load(COLUMN_INPUT, 1, {1.0, 2.0, 3.0}), "OK");
    EXPECT_EQ(StoredInputs<int16_t>(1), (std::vector<int16_t>{0, 16384, 32767}));
    EXPECT_EQ(Bounds(gNet.inputBlock, 2, 1), (std::vector<double>{1.0, 3.0}));
    EXPECT_EQ(StoredInputs<int16_t>(0), (std::vector<int16_t>{0, 0, 0})); // untouched

    gNet.scaleMargin = 0.1;
    ASSERT_EQ(Load(COLUMN_INPUT, 0, {1.0, 2.0, 3.0}), "OK");
    std::vector<double> bounds = Bounds(gNet.inputBlock, 2, 0);
    EXPECT_DOUBLE_EQ(bounds[0], 0.8);
    EXPECT_DOUBLE_EQ(bounds[1], 3.2);
    // The range 3.2 - 0.8 rounds to 2.4000000000000004, which puts 2.0 just below 16383.5.
    EXPECT_EQ(StoredInputs<int16_t>(0), (std::vector<int16_t>{2731, 16383, 30036}));

    gNet.scaleMargin = 0.0;
    gNet.inputNoiseFixed = 3277; // the top 3277 steps stay free for the noise
    ASSERT_EQ(Load(COLUMN_INPUT, 0, {1.0, 2.0, 3.0}), "OK");
    EXPECT_EQ(StoredInputs<int16_t>(0), (std::vector<int16_t>{0, 14745, 29490}));
}

TEST_F(ColumnStoreTest, DoubleInputsLeaveTheNoiseShareFree) {
    ASSERT_EQ(Build(1, 1, 3, 1, 1, 0, CALC_DOUBLE), "OK");
    gNet.inputNoise = 0.25;
    ASSERT_EQ(Load(COLUMN_INPUT, 0, {-2.0, 0.0, 2.0}), "OK");
    EXPECT_EQ(StoredInputs<double>(0), (std::vector<double>{0.0, 0.375, 0.75}));
}

TEST_F(ColumnStoreTest, ConstantColumnStoresZeroWithEqualBounds) {
    ASSERT_EQ(Build(1, 1, 3, 1, 1, 0, CALC_FIXED16), "OK");
    ASSERT_EQ(Load(COLUMN_INPUT, 0, {5.0, 5.0, 5.0}), "OK");
    EXPECT_EQ(StoredInputs<int16_t>(0), (std::vector<int16_t>{0, 0, 0}));
    EXPECT_EQ(Bounds(gNet.inputBlock, 1, 0), (std::vector<double>{5.0, 5.0}));
}

TEST_F(ColumnStoreTest, FixedTargetsSaturateAndInitialiseOutputsToTheImageOfZero) {
    ASSERT_EQ(Build(1, 2, 3, 1, 1, 0, CALC_FIXED16), "OK");
    ASSERT_EQ(Load(COLUMN_OUTPUT, 0, {0.0, 0.5, 1.0}), "OK");
    EXPECT_EQ(StoredTargets<int16_t>(0), (std::vector<int16_t>{0, 16384, 32767}));
    EXPECT_EQ(StoredOutputs<int16_t>(0), (std::vector<int16_t>{0, 0, 0}));

    // 0.0 lies below the range: its image is negative and becomes 32767.
    ASSERT_EQ(Load(COLUMN_OUTPUT, 1, {1.0, 2.0, 3.0}), "OK");
    EXPECT_EQ(StoredOutputs<int16_t>(1), (std::vector<int16_t>{32767, 32767, 32767}));
    // 0.0 in the middle of -1 ... 1.
    ASSERT_EQ(Load(COLUMN_OUTPUT, 1, {-1.0, 0.0, 1.0}), "OK");
    EXPECT_EQ(StoredTargets<int16_t>(1), (std::vector<int16_t>{0, 16384, 32767}));
    EXPECT_EQ(StoredOutputs<int16_t>(1), (std::vector<int16_t>{16384, 16384, 16384}));
    // 0.0 far above the range: 4.5 x 32768 + 0.5 would wrap to 16384 in 16 bits.
    ASSERT_EQ(Load(COLUMN_OUTPUT, 1, {-4.5, -3.5, -4.0}), "OK");
    EXPECT_EQ(StoredOutputs<int16_t>(1), (std::vector<int16_t>{32767, 32767, 32767}));
    EXPECT_EQ(StoredOutputs<int16_t>(0), (std::vector<int16_t>{0, 0, 0}));
}

TEST_F(ColumnStoreTest, DoubleTargetsScaleToUnitRangeAndClearOutputs) {
    ASSERT_EQ(Build(1, 1, 3, 1, 1, 0, CALC_DOUBLE), "OK");
    SetOutputs<double>({0.7, 0.7, 0.7});
    ASSERT_EQ(Load(COLUMN_OUTPUT, 0, {10.0, 30.0, 15.0}), "OK");
    EXPECT_EQ(StoredTargets<double>(0), (std::vector<double>{0.0, 1.0, 0.25}));
    EXPECT_EQ(StoredOutputs<double>(0), (std::vector<double>{0.0, 0.0, 0.0}));
    EXPECT_EQ(Bounds(gNet.targetBlock, 1, 0), (std::vector<double>{10.0, 30.0}));
}

TEST_F(ColumnStoreTest, ModeFlagsTruncateAndOutOfRangeCodesSkip) {
    ASSERT_EQ(Build(1, 1, 7, 1, 1, 0, CALC_FIXED16), "OK");
    double nan = std::numeric_limits<double>::quiet_NaN();
    ASSERT_EQ(Load(COLUMN_MODE_FLAG, 0, {1.7, -0.5, 6.0, -1.0, 2.0, nan, 1e300}), "OK");
    EXPECT_EQ(PatternCodes(7), (std::vector<int32_t>{1, 0, 5, 5, 2, 5, 5}));
    EXPECT_EQ(gNet.dataModeActive, 1);

    // A negative index clears without looking at the column.
    OwnedFp anything(1, 1);
    EXPECT_STREQ(SetColumn(COLUMN_MODE_FLAG, -1, anything.get()), "OK");
    EXPECT_EQ(PatternCodes(7), std::vector<int32_t>(7, 0));
    EXPECT_EQ(gNet.dataModeActive, 0);
}

TEST_F(ColumnStoreTest, UnusualNumbersStoreWithoutFault) {
    ASSERT_EQ(Build(1, 1, 3, 1, 1, 0, CALC_FIXED16), "OK");
    double nan = std::numeric_limits<double>::quiet_NaN();
    // A NaN first value makes the whole range NaN: every fixed-point value stores as 0.
    EXPECT_STREQ(xSetColumn(COLUMN_INPUT, 0, Column({nan, 1.0, 2.0}).get(), 0), "OK");
    EXPECT_EQ(StoredInputs<int16_t>(0), (std::vector<int16_t>{0, 0, 0}));
    EXPECT_STREQ(xSetColumn(COLUMN_OUTPUT, 0, Column({-1e308, 0.0, 1e308}).get(), 0), "OK");
    EXPECT_STREQ(xSetColumn(COLUMN_OUTPUT, 0, Column({nan, nan, nan}).get(), 0), "OK");
    EXPECT_EQ(StoredOutputs<int16_t>(0), (std::vector<int16_t>{32767, 32767, 32767}));
}

TEST_F(ColumnStoreTest, RefusalsComeInOrderAndChangeNothing) {
    EXPECT_STREQ(SetColumn(COLUMN_INPUT, 0, Column({1.0}).get()), "Can't load columns before Init");
    EXPECT_STREQ(xSetColumn(COLUMN_INPUT, 0, nullptr, 0), "Can't load columns before Init");

    ASSERT_EQ(Build(2, 1, 4, 2, 1, 0, CALC_FIXED16), "OK");
    ASSERT_EQ(Load(COLUMN_INPUT, 0, {1.0, 2.0, 3.0, 4.0}), "OK");
    std::vector<int16_t> before = StoredInputs<int16_t>(0);

    EXPECT_STREQ(SetColumn(COLUMN_INPUT, 0, nullptr), "No column given");
    OwnedFp wide(4, 2);
    EXPECT_STREQ(SetColumn(COLUMN_INPUT, 7, wide.get()), "Incorrect column width");
    EXPECT_STREQ(SetColumn(COLUMN_INPUT, 2, Column({1, 2}).get()), "Incorrect index");
    EXPECT_STREQ(SetColumn(COLUMN_OUTPUT, -1, Column({1, 2}).get()), "Incorrect index");
    EXPECT_STREQ(SetColumn(4, 0, Column({1, 2}).get()), "Incorrect type");
    EXPECT_STREQ(SetColumn(COLUMN_INPUT, 0, Column({1, 2, 3}).get()), "Incorrect column size");
    // Output and mode flag columns hold one entry per pattern position (4 - 2 + 1).
    EXPECT_STREQ(SetColumn(COLUMN_OUTPUT, 0, Column({1, 2, 3, 4}).get()), "Incorrect column size");
    EXPECT_STREQ(SetColumn(COLUMN_MODE_FLAG, 0, Column({1, 2}).get()), "Incorrect column size");
    EXPECT_STREQ(SetColumn(COLUMN_BLANK_FLAG, 0, Column({0, 0, 0}).get()), "Incorrect column size");
    EXPECT_EQ(StoredInputs<int16_t>(0), before);
    EXPECT_EQ(Counts(), (std::vector<int32_t>{4, 0, 3, 0}));
}

// Window 1, 8 rows of which row 4 is blank (announced to InitBP).
class BlankRowTest : public LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        ASSERT_EQ(Build(1, 1, 8, 1, 1, 1, CALC_DOUBLE), "OK");
    }
};

TEST_F(BlankRowTest, DataColumnsBeforeTheBlankFlagColumnAreRefused) {
    EXPECT_EQ(Load(COLUMN_INPUT, 0, {1, 2, 3, 4, 5, 6, 7, 8}),
              "More data rows than the network was built for");
    EXPECT_EQ(Load(COLUMN_OUTPUT, 0, {1, 2, 3, 4, 5, 6, 7, 8}),
              "More data rows than the network was built for");
    EXPECT_EQ(Load(COLUMN_MODE_FLAG, 0, {0, 0, 0, 0, 0, 0, 0, 0}),
              "More data rows than the network was built for");
    EXPECT_EQ(Bounds(gNet.inputBlock, 1, 0), (std::vector<double>{0.0, 0.0}));
    EXPECT_EQ(gNet.dataModeActive, 0);
}

TEST_F(BlankRowTest, BlankFlagColumnMustMarkTheAnnouncedRows) {
    EXPECT_EQ(Load(COLUMN_BLANK_FLAG, 0, {0, 0, 0, 0, 0, 0, 0, 0}),
              "More data rows than the network was built for");
    EXPECT_EQ(Load(COLUMN_BLANK_FLAG, 0, {0, 1, 0, 0, 1, 0, 0, 0}),
              "Blank flag column does not mark the announced blank rows");
    EXPECT_EQ(RowFlags(), std::vector<int32_t>(8, 0));

    ASSERT_EQ(Load(COLUMN_BLANK_FLAG, 0, {0, 0, 0, 0, 1, 0, 0, 0}), "OK");
    EXPECT_EQ(RowFlags(), (std::vector<int32_t>{0, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(PositionFlags(), (std::vector<double>{0, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(Counts(), (std::vector<int32_t>{7, 1, 7, 1}));

    EXPECT_EQ(Load(COLUMN_INPUT, 0, {1, 2, 3, 4, 7, 5, 6, 7}),
              "Non-blank value in a \"blank\" row");
    EXPECT_EQ(Bounds(gNet.inputBlock, 1, 0), (std::vector<double>{0.0, 0.0}));
    ASSERT_EQ(Load(COLUMN_INPUT, 0, {1, 2, 3, 4, 0, 5, 6, 7}), "OK");
    EXPECT_EQ(Bounds(gNet.inputBlock, 1, 0), (std::vector<double>{1.0, 7.0}));
    EXPECT_DOUBLE_EQ(StoredInputs<double>(0)[4], 4.0 / 6.0); // the row after the blank one
}

TEST_F(BlankRowTest, RefusedLoadLeavesTheStoredColumnWhole) {
    ASSERT_EQ(Load(COLUMN_BLANK_FLAG, 0, {0, 0, 0, 0, 1, 0, 0, 0}), "OK");
    ASSERT_EQ(Load(COLUMN_OUTPUT, 0, {0, 1, 2, 3, 0, 4, 5, 6}), "OK");
    std::vector<double> targets = StoredTargets<double>(0);
    SetOutputs<double>({0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5});
    // The offending value comes last: nothing before it may be stored either.
    EXPECT_EQ(Load(COLUMN_OUTPUT, 0, {9, 9, 9, 9, 9, 9, 9, 9}),
              "Non-blank value in a \"blank\" row");
    EXPECT_EQ(StoredTargets<double>(0), targets);
    EXPECT_EQ(StoredOutputs<double>(0), std::vector<double>(7, 0.5));
    EXPECT_EQ(Bounds(gNet.targetBlock, 1, 0), (std::vector<double>{0.0, 6.0}));
}

TEST_F(ColumnStoreTest, BlankRowsInTheFirstWindowAreRefused) {
    ASSERT_EQ(Build(1, 1, 6, 3, 1, 1, CALC_FIXED16), "OK");
    EXPECT_EQ(Load(COLUMN_BLANK_FLAG, 0, {1, 0, 0, 0, 0, 0}),
              "Blank rows must lie after the first window of rows");
    EXPECT_EQ(Load(COLUMN_BLANK_FLAG, 0, {0, 1, 0, 0, 0, 0}),
              "Blank rows must lie after the first window of rows");
    EXPECT_EQ(RowFlags(), std::vector<int32_t>(6, 0));
    // Row 2 ends the first window: it is pattern position 0.
    ASSERT_EQ(Load(COLUMN_BLANK_FLAG, 0, {0, 0, 1, 0, 0, 0}), "OK");
    EXPECT_EQ(PositionFlags(), (std::vector<double>{1, 0, 0, 0}));
    EXPECT_EQ(Counts(), (std::vector<int32_t>{5, 1, 3, 1}));
}

TEST_F(ColumnStoreTest, PatternStepMarksThePositionsPassedOver) {
    ASSERT_EQ(Build(1, 1, 8, 1, 3, 1, CALC_FIXED16), "OK");
    ASSERT_EQ(Load(COLUMN_BLANK_FLAG, 0, {0, 0, 0, 0, 1, 0, 0, 0}), "OK");
    // Data positions are counted past the blank row: k = 0 1 2 3 - 4 5 6.
    EXPECT_EQ(PositionFlags(), (std::vector<double>{0, 1, 1, 0, 1, 1, 1, 0}));

    ASSERT_EQ(Build(1, 1, 7, 1, 3, 0, CALC_FIXED16), "OK");
    ASSERT_EQ(Load(COLUMN_BLANK_FLAG, 0, std::vector<double>(7, 0.0)), "OK");
    EXPECT_EQ(PositionFlags(), (std::vector<double>{0, 1, 1, 0, 1, 1, 0}));
}

TEST_F(ColumnStoreTest, SpecialRowsKeepCountsAndFlagsInStep) {
    ASSERT_EQ(Build(1, 1, 8, 1, 2, 0, CALC_FIXED16), "OK");
    ASSERT_EQ(Load(COLUMN_BLANK_FLAG, 0, std::vector<double>(8, 0.0)), "OK");
    EXPECT_EQ(PositionFlags(), (std::vector<double>{0, 1, 0, 1, 0, 1, 0, 1}));

    // Row 1 lies at a position the step passes over; marking it still removes a pattern.
    MarkSpecialRow(1);
    EXPECT_EQ(Counts(), (std::vector<int32_t>{7, 1, 7, 1}));
    EXPECT_EQ(PositionFlags(), (std::vector<double>{0, 1, 1, 0, 1, 0, 1, 0}));
    MarkSpecialRow(1); // already blank
    EXPECT_EQ(Counts(), (std::vector<int32_t>{7, 1, 7, 1}));
    ReleaseSpecialRow(1);
    EXPECT_EQ(Counts(), (std::vector<int32_t>{8, 0, 8, 0}));
    EXPECT_EQ(PositionFlags(), (std::vector<double>{0, 1, 0, 1, 0, 1, 0, 1}));
    ReleaseSpecialRow(1); // already a data row
    ReleaseSpecialRow(-1);
    MarkSpecialRow(99);
    EXPECT_EQ(Counts(), (std::vector<int32_t>{8, 0, 8, 0}));
}

TEST_F(ColumnStoreTest, ReleasingARowMarkedByTheBlankFlagColumnNeverOverfillsTheBlocks) {
    ASSERT_EQ(Build(1, 1, 6, 1, 1, 1, CALC_FIXED16), "OK");
    ASSERT_EQ(Load(COLUMN_BLANK_FLAG, 0, {0, 0, 1, 0, 0, 0}), "OK");
    gNet.minRow = 2; // a MIN row that the blank flag column had marked already
    ASSERT_EQ(Load(COLUMN_MODE_FLAG, 0, {0, 0, 0, 0, 0, 0}), "OK");
    EXPECT_EQ(RowFlags(), (std::vector<int32_t>{0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(Counts(), (std::vector<int32_t>{5, 1, 5, 1}));
    EXPECT_EQ(gNet.minRow, -1);
}

TEST_F(ColumnStoreTest, MinAndMaxRowsBoundTheScale) {
    ASSERT_EQ(Build(1, 1, 5, 1, 1, 0, CALC_DOUBLE), "OK");
    MarkSpecialRow(0);
    MarkSpecialRow(1);
    gNet.minRow = 0;
    gNet.maxRow = 1;
    EXPECT_EQ(Load(COLUMN_INPUT, 0, {0.0, 10.0, -1.0, 5.0, 10.0}), "Value less than Min set");
    EXPECT_EQ(Load(COLUMN_INPUT, 0, {0.0, 10.0, 0.0, 5.0, 11.0}), "Value greater than Max set");
    EXPECT_EQ(Bounds(gNet.inputBlock, 1, 0), (std::vector<double>{0.0, 0.0}));
    // With a margin of 0.1 the data may reach 1.0 beyond either bound.
    gNet.scaleMargin = 0.1;
    ASSERT_EQ(Load(COLUMN_INPUT, 0, {0.0, 10.0, -1.0, 5.0, 11.0}), "OK");
    EXPECT_EQ(Bounds(gNet.inputBlock, 1, 0), (std::vector<double>{-1.0, 11.0}));
    EXPECT_EQ(StoredInputs<double>(0), (std::vector<double>{0.0, 0.5, 1.0}));
}

} // namespace
