#include "data/column_store.h"
#include "data_fixture.h"

#include <limits>

namespace {

using ColumnStoreTest = LibraryTest;
const std::string kTooManyRows = "More data rows than the network was built for";
const std::string kNonBlank = "Non-blank value in a \"blank\" row";

TEST_F(ColumnStoreTest, InputsScaleWithMarginAndLeaveTheNoiseShareFree) {
    ASSERT_EQ(Build(2, 1, 3, 1, 1, 0, CALC_FIXED16), "OK");
    gNet.scaleMargin = 0.1;
    ASSERT_EQ(Load(COLUMN_INPUT, 0, {1.0, 2.0, 3.0}), "OK");
    EXPECT_DOUBLE_EQ(Bounds(gNet.inputBlock, 2)[0], 0.8);
    EXPECT_DOUBLE_EQ(Bounds(gNet.inputBlock, 2)[1], 3.2);
    // 3.2 - 0.8 rounds to 2.4000000000000004, which puts 2.0 just below 16383.5.
    EXPECT_EQ(Inputs<int16_t>(0), (std::vector<int16_t>{2731, 16383, 30036}));

    gNet.scaleMargin = 0.0;
    gNet.inputNoiseFixed = 3277;
    ASSERT_EQ(Load(COLUMN_INPUT, 0, {1.0, 2.0, 3.0}), "OK");
    EXPECT_EQ(Inputs<int16_t>(0), (std::vector<int16_t>{0, 14745, 29490}));

    ASSERT_EQ(Build(1, 1, 3, 1, 1, 0, CALC_DOUBLE), "OK");
    gNet.inputNoise = 0.25;
    ASSERT_EQ(Load(COLUMN_INPUT, 0, {-2.0, 0.0, 2.0}), "OK");
    EXPECT_EQ(Inputs<double>(), (Doubles{0.0, 0.375, 0.75}));
}

TEST_F(ColumnStoreTest, TargetsSaturateAndOutputsStartAtTheImageOfZero) {
    ASSERT_EQ(Build(1, 1, 3, 1, 1, 0, CALC_FIXED16), "OK");
    using V = std::vector<int16_t>;
    ASSERT_EQ(Load(COLUMN_OUTPUT, 0, {1.0, 2.0, 3.0}), "OK"); // 0.0 below the range
    EXPECT_EQ(Outputs<int16_t>(), (V{32767, 32767, 32767}));
    ASSERT_EQ(Load(COLUMN_OUTPUT, 0, {-1.0, 0.0, 1.0}), "OK");
    EXPECT_EQ(Outputs<int16_t>(), (V{16384, 16384, 16384}));
    // 4.5 x 32768 + 0.5 lies far above 32767 (and would wrap to 16384 in 16 bits).
    ASSERT_EQ(Load(COLUMN_OUTPUT, 0, {-4.5, -3.5, -4.0}), "OK");
    EXPECT_EQ(Outputs<int16_t>(), (V{32767, 32767, 32767}));
}

TEST_F(ColumnStoreTest, ModeFlagsTruncateAndANegativeIndexClears) {
    ASSERT_EQ(Build(1, 1, 7, 1, 1, 0, CALC_FIXED16), "OK");
    double nan = std::numeric_limits<double>::quiet_NaN();
    ASSERT_EQ(Load(COLUMN_MODE_FLAG, 0, {1.7, -0.5, 6.0, -1.0, 2.0, nan, 1e300}), "OK");
    EXPECT_EQ(Codes(7), (Ints{1, 0, 5, 5, 2, 5, 5}));
    EXPECT_EQ(Load(COLUMN_MODE_FLAG, -1, {9.0}), "OK");
    EXPECT_EQ(Codes(7), Ints(7, 0));
}

TEST_F(ColumnStoreTest, RefusalsComeInOrderAndChangeNothing) {
    EXPECT_EQ(Load(COLUMN_INPUT, 0, {1.0}), "Can't load columns before Init");
    ASSERT_EQ(Build(2, 1, 4, 2, 1, 0, CALC_FIXED16), "OK");
    ASSERT_EQ(Load(COLUMN_INPUT, 0, {1.0, 2.0, 3.0, 4.0}), "OK");
    std::vector<int16_t> before = Inputs<int16_t>();
    EXPECT_STREQ(xSetColumn(COLUMN_INPUT, 0, nullptr, 0), "No column given");
    OwnedFp wide(4, 2);
    EXPECT_STREQ(SetColumn(COLUMN_INPUT, 7, wide.get()), "Incorrect column width");
    EXPECT_EQ(Load(COLUMN_INPUT, 2, {1, 2}), "Incorrect index");
    EXPECT_EQ(Load(4, 0, {1, 2}), "Incorrect type");
    EXPECT_EQ(Load(COLUMN_INPUT, 0, {1, 2, 3}), "Incorrect column size");
    EXPECT_EQ(Load(COLUMN_OUTPUT, 0, {1, 2, 3, 4}), "Incorrect column size"); // 3 positions
    EXPECT_EQ(Inputs<int16_t>(), before);
    EXPECT_EQ(Counts(), (Ints{4, 0, 3, 0, -1, -1, -1}));
}

TEST_F(ColumnStoreTest, BlankRowsMustBeLoadedFirstAndAsAnnounced) {
    ASSERT_EQ(Build(1, 1, 8, 1, 1, 1, CALC_DOUBLE), "OK"); // room for 7 data rows
    EXPECT_EQ(Load(COLUMN_INPUT, 0, {1, 2, 3, 4, 5, 6, 7, 8}), kTooManyRows);
    EXPECT_EQ(Load(COLUMN_MODE_FLAG, 0, Doubles(8, 0.0)), kTooManyRows);
    EXPECT_EQ(Load(COLUMN_BLANK_FLAG, 0, Doubles(8, 0.0)), kTooManyRows);
    EXPECT_EQ(Load(COLUMN_BLANK_FLAG, 0, {0, 1, 0, 0, 1, 0, 0, 0}),
              "Blank flag column does not mark the announced blank rows");
    EXPECT_EQ(RowFlags(), Ints(8, 0));
    EXPECT_EQ(gNet.dataModeActive, 0);

    ASSERT_EQ(Load(COLUMN_BLANK_FLAG, 0, {0, 0, 0, 0, 1, 0, 0, 0}), "OK");
    EXPECT_EQ(PositionFlags(), (Doubles{0, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(Counts(), (Ints{7, 1, 7, 1, -1, -1, -1}));
    ASSERT_EQ(Load(COLUMN_OUTPUT, 0, {0, 1, 2, 3, 0, 4, 5, 6}), "OK");
    // The whole column is checked before anything is stored.
    EXPECT_EQ(Load(COLUMN_OUTPUT, 0, Doubles(8, 9.0)), kNonBlank);
    EXPECT_EQ(Targets<double>(), (Doubles{0, 1 / 6.0, 2 / 6.0, 3 / 6.0, 4 / 6.0, 5 / 6.0, 1}));
    EXPECT_EQ(Bounds(gNet.targetBlock, 1), (Doubles{0.0, 6.0}));
}

// A special row that the blank flag column marked stays blank when released: the blocks hold
// no more rows.
TEST_F(ColumnStoreTest, SpecialRowsReleaseOnlyWhatTheBlocksHold) {
    ASSERT_EQ(Build(1, 1, 6, 1, 1, 1, CALC_FIXED16), "OK");
    ASSERT_EQ(Load(COLUMN_BLANK_FLAG, 0, {0, 0, 1, 0, 0, 0}), "OK");
    MarkSpecialRow(99);
    gNet.minRow = 2;
    ASSERT_EQ(Load(COLUMN_MODE_FLAG, 0, Doubles(6, 0.0)), "OK");
    EXPECT_EQ(Counts(), (Ints{5, 1, 5, 1, -1, -1, -1}));
}

TEST_F(ColumnStoreTest, MinAndMaxRowsBoundTheScale) {
    ASSERT_EQ(Build(1, 1, 5, 1, 1, 0, CALC_DOUBLE), "OK");
    MarkSpecialRow(0);
    MarkSpecialRow(1);
    gNet.minRow = 0;
    gNet.maxRow = 1;
    EXPECT_EQ(Load(COLUMN_INPUT, 0, {0, 10, -1, 5, 10}), "Value less than Min set");
    EXPECT_EQ(Load(COLUMN_INPUT, 0, {0, 10, 0, 5, 11}), "Value greater than Max set");
    gNet.scaleMargin = 0.1; // the data may now reach 1.0 beyond either bound
    ASSERT_EQ(Load(COLUMN_INPUT, 0, {0, 10, -1, 5, 11}), "OK");
    EXPECT_EQ(Bounds(gNet.inputBlock, 1), (Doubles{-1.0, 11.0}));
    EXPECT_EQ(Inputs<double>(), (Doubles{0.0, 0.5, 1.0}));
}

// Rows of the first window start no pattern and cannot be blank.
TEST_F(ColumnStoreTest, BlankRowsLieAfterTheFirstWindow) {
    ASSERT_EQ(Build(1, 1, 12, 3, 1, 2, CALC_DOUBLE), "OK");
    for (int row : {0, 1}) {
        Doubles flags(12, 0.0);
        flags[size_t(row)] = 1.0;
        EXPECT_EQ(Load(COLUMN_BLANK_FLAG, 0, flags),
                  "Blank rows must lie after the first window of rows");
    }
    EXPECT_EQ(Load(COLUMN_BLANK_FLAG, 0, {0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0}), "OK");
}

} // namespace
