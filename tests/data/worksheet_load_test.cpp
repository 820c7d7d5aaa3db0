#include "data_fixture.h"

namespace {

using WorksheetLoadTest = LibraryTest;

std::string LoadCells(int type, int index, OwnedCells& cells) {
    return SetColumnEx(int16_t(type), int16_t(index), cells.multi(), 0);
}

// Numbers as they are, TRUE as 1, unlisted texts, errors and empty cells as 0.
TEST_F(WorksheetLoadTest, CellsReadByTheirType) {
    ASSERT_EQ(Build(1, 1, 5, 1, 1, 0, CALC_DOUBLE), "OK");
    OwnedCells cells(5);
    cells.SetNumber(0, 3.0);
    cells.SetString(1, "x");
    cells.SetBool(2, true);
    cells.SetError(3, 7);
    ASSERT_EQ(LoadCells(COLUMN_INPUT, 0, cells), "OK");
    EXPECT_EQ(Inputs<double>(), (Doubles{1.0, 0.0, 1.0 / 3.0, 0.0, 0.0}));
}

TEST_F(WorksheetLoadTest, BlankFlagCellsRebuildTheCountsOrChangeNothing) {
    ASSERT_EQ(Build(1, 1, 8, 3, 1, 1, CALC_FIXED16), "OK");
    OwnedCells flags(8);
    for (size_t k = 0; k < 8; ++k)
        flags.SetString(k, "row");
    flags.SetNil(5);
    ASSERT_EQ(LoadCells(COLUMN_BLANK_FLAG, 0, flags), "OK");
    EXPECT_EQ(PositionFlags(), (Doubles{0, 0, 0, 1, 0, 0}));
    EXPECT_EQ(Load(COLUMN_INPUT, 0, {1, 2, 3, 4, 5, 7, 6, 7}),
              "Non-blank value in a \"blank\" row");
    EXPECT_EQ(LoadTexts(COLUMN_INPUT, 0, {"", "", "", "", "", "", "", ""}), "OK");
    ASSERT_EQ(LoadTexts(COLUMN_MODE_FLAG, 0, {"train", "min", "test", "", "max", "test"}), "OK");
    Ints counts = Counts(), rowFlags = RowFlags();
    EXPECT_EQ(counts, (Ints{5, 3, 3, 3, 3, 6, -1}));

    EXPECT_STREQ(SetColumnEx(COLUMN_BLANK_FLAG, 0, nullptr, 0), "No column given");
    OwnedCells wide(8, 2), tooLong(9);
    EXPECT_EQ(LoadCells(COLUMN_BLANK_FLAG, 0, wide), "Not a single column array");
    EXPECT_EQ(LoadCells(COLUMN_BLANK_FLAG, 0, tooLong), "Failed to translate in SetColumnEx");
    EXPECT_STREQ(SetColumnEx(COLUMN_BLANK_FLAG, 0, flags.multi(), 1),
                 "Row offset not supported in this version.");
    EXPECT_EQ(Counts(), counts);
    EXPECT_EQ(RowFlags(), rowFlags);
}

TEST_F(WorksheetLoadTest, ModeFlagCellsFindTheSpecialRows) {
    ASSERT_EQ(Build(1, 1, 7, 2, 1, 0, CALC_FIXED16), "OK");
    ASSERT_EQ(LoadTexts(COLUMN_MODE_FLAG, 0, {"test", "min", "Max", "train", "symbol", "skip"}),
              "OK");
    EXPECT_EQ(Counts(), (Ints{4, 3, 3, 3, 2, 3, 5}));
    EXPECT_EQ(Codes(3), (Ints{1, 0, 5}));

    SetPatternFlags({4, 4, 4}, false);
    EXPECT_EQ(LoadTexts(COLUMN_MODE_FLAG, 0, {"min", "test", "MIN", "train", "test", "test"}),
              "Can't have more than one MIN row");
    EXPECT_EQ(Counts(), (Ints{7, 0, 6, 0, 1, -1, -1})); // recorded, not marked
    EXPECT_EQ(Codes(3), (Ints{4, 4, 4}));
    EXPECT_EQ(LoadTexts(COLUMN_MODE_FLAG, 0, {"max", "max", "", "", "", ""}),
              "Can't have more than one MAX row");
    EXPECT_EQ(LoadTexts(COLUMN_MODE_FLAG, 0, {"symbol", "", "", "", "", "Symbol"}),
              "Can't have more than one SYMBOL row");
    ASSERT_EQ(LoadTexts(COLUMN_MODE_FLAG, 0, {"test", "min", "Max", "", "", ""}), "OK");
    EXPECT_EQ(LoadTexts(COLUMN_MODE_FLAG, -1, {""}), "OK");
    EXPECT_EQ(Counts(), (Ints{7, 0, 6, 0, -1, -1, -1}));
    EXPECT_EQ(Codes(6), Ints(6, 0));
    EXPECT_EQ(gNet.dataModeActive, 0);
}

// Row 0 lists the symbols, row 1 is the MIN row and row 2 the MAX row; the second of two
// output columns is symbolic.
void LoadSymbolicExample(int method) {
    ASSERT_EQ(Build(1, 2, 6, 1, 1, 0, method), "OK");
    ASSERT_EQ(LoadTexts(COLUMN_MODE_FLAG, 0, {"SYMBOL", "MIN", "MAX", "train", "train", "test"}),
              "OK");
    ASSERT_EQ(LoadTexts(COLUMN_OUTPUT, 1, {"A,B,C", "A", "C", "B", "a", "c"}), "OK");
    EXPECT_EQ(Bounds(gNet.targetBlock, 2, 1), (Doubles{0.0, 3.0}));
}

TEST_F(WorksheetLoadTest, MinAndMaxSymbolsBoundTheirBands) {
    // 1.5 x 32768 / 3 + 0.5 = 16384.5; 0.5 gives 5461.8 and 2.5 gives 27307.2.
    LoadSymbolicExample(CALC_FIXED16);
    EXPECT_EQ(Targets<int16_t>(1), (std::vector<int16_t>{16384, 5461, 27307}));
}

TEST_F(WorksheetLoadTest, SymbolRowCellsMustHoldAListOrNothing) {
    LoadSymbolicExample(CALC_DOUBLE);
    OwnedCells cells(6);
    cells.SetNumber(0, 1.0);
    EXPECT_EQ(LoadCells(COLUMN_OUTPUT, 0, cells), "Symbol is neither blank nor a string");
    cells.SetString(0, "");
    EXPECT_EQ(LoadCells(COLUMN_OUTPUT, 0, cells), "Missing Symbol");
    EXPECT_EQ(LoadTexts(COLUMN_OUTPUT, 0, {"A,B", "A", "B", "A", "B", "A", "B"}),
              "Failed to translate in SetColumnEx");
    // An empty SYMBOL-row cell leaves the column numeric, bounded by the MIN and MAX values.
    cells.SetNil(0);
    for (size_t k = 1; k < 6; ++k)
        cells.SetNumber(k, double(k) * 2.0); // MIN row 2, MAX row 4, data 6, 8 and 10
    EXPECT_EQ(LoadCells(COLUMN_OUTPUT, 0, cells), "Value greater than Max set");
    cells.SetNumber(2, 10.0);
    EXPECT_EQ(LoadCells(COLUMN_OUTPUT, 0, cells), "OK");
    EXPECT_EQ(Bounds(gNet.targetBlock, 2), (Doubles{2.0, 10.0}));
}

} // namespace
