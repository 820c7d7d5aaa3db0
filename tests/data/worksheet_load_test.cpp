#include "data/symbols.h"
#include "data/worksheet_load.h"
#include "data_fixture.h"

namespace {

std::string LoadCells(int type, int index, OwnedCells& cells) {
    return SetColumnEx(int16_t(type), int16_t(index), cells.multi(), 0);
}

std::string LoadTexts(int type, int index, const std::vector<std::string>& texts) {
    OwnedCells cells(texts.size());
    FillTexts(cells, texts);
    return LoadCells(type, index, cells);
}

std::string LoadNumbers(int type, int index, const std::vector<double>& values) {
    OwnedCells cells(values.size());
    for (size_t k = 0; k < values.size(); ++k)
        cells.SetNumber(k, values[k]);
    return LoadCells(type, index, cells);
}

using WorksheetLoadTest = LibraryTest;

TEST_F(WorksheetLoadTest, CellsTranslateByTheirType) {
    ASSERT_EQ(Build(1, 1, 5, 1, 1, 0, CALC_DOUBLE), "OK");
    OwnedCells cells(5);
    cells.SetNumber(0, 2.5);
    cells.SetString(1, "x");
    cells.SetBool(2, true);
    cells.SetError(3, 7);
    cells.SetNil(4);
    ASSERT_TRUE(TranslateColumn(COLUMN_INPUT, 0, cells.multi()));
    FP* scratch = gNet.columnScratchRecord;
    EXPECT_EQ(std::vector<double>(scratch->array, scratch->array + 5),
              (std::vector<double>{2.5, 0.0, 1.0, 0.0, 0.0}));
    ASSERT_TRUE(TranslateColumn(COLUMN_BLANK_FLAG, 0, cells.multi()));
    EXPECT_EQ(std::vector<double>(scratch->array, scratch->array + 5),
              (std::vector<double>{0.0, 0.0, 0.0, 1.0, 1.0}));
    OwnedCells tooLong(6);
    EXPECT_FALSE(TranslateColumn(COLUMN_INPUT, 0, tooLong.multi()));
    OwnedCells wide(5, 2);
    EXPECT_FALSE(TranslateColumn(COLUMN_INPUT, 0, wide.multi()));
}

TEST_F(WorksheetLoadTest, EmptyCellsInTheBlankFlagColumnMarkBlankRows) {
    ASSERT_EQ(Build(1, 1, 8, 1, 1, 0, CALC_DOUBLE), "OK");
    OwnedCells flags(8);
    for (size_t k = 0; k < 8; ++k)
        flags.SetString(k, "row");
    flags.SetNil(4);
    ASSERT_EQ(LoadCells(COLUMN_BLANK_FLAG, 0, flags), "OK");
    EXPECT_EQ(Counts(), (std::vector<int32_t>{7, 1, 7, 1}));
    EXPECT_EQ(PositionFlags(), (std::vector<double>{0, 0, 0, 0, 1, 0, 0, 0}));

    EXPECT_EQ(LoadNumbers(COLUMN_INPUT, 0, {1, 2, 3, 4, 7, 5, 6, 7}),
              "Non-blank value in a \"blank\" row");
    EXPECT_EQ(LoadNumbers(COLUMN_INPUT, 0, {1, 2, 3, 4, 0, 5, 6, 7}), "OK");
    EXPECT_EQ(LoadTexts(COLUMN_INPUT, 0, {"", "", "", "", "", "", "", ""}), "OK");

    // Loading the flags again starts from all data rows.
    flags.SetString(4, "row");
    flags.SetError(6, 42);
    ASSERT_EQ(LoadCells(COLUMN_BLANK_FLAG, 0, flags), "OK");
    EXPECT_EQ(RowFlags(), (std::vector<int32_t>{0, 0, 0, 0, 0, 0, 1, 0}));
    EXPECT_EQ(Counts(), (std::vector<int32_t>{7, 1, 7, 1}));
}

TEST_F(WorksheetLoadTest, RefusedBlankFlagLoadsLeaveEverythingAsItWas) {
    ASSERT_EQ(Build(1, 1, 8, 3, 1, 1, CALC_FIXED16), "OK");
    OwnedCells flags(8);
    for (size_t k = 0; k < 8; ++k)
        flags.SetNumber(k, 1.0);
    flags.SetNil(5);
    ASSERT_EQ(LoadCells(COLUMN_BLANK_FLAG, 0, flags), "OK");
    ASSERT_EQ(LoadTexts(COLUMN_MODE_FLAG, 0, {"train", "min", "test", "", "max", "test"}), "OK");
    std::vector<int32_t> counts = Counts(), special = SpecialRows(), rowFlags = RowFlags();
    std::vector<double> positions = PositionFlags();

    OwnedCells wide(8, 2);
    EXPECT_EQ(LoadCells(COLUMN_BLANK_FLAG, 0, wide), "Not a single column array");
    OwnedCells tooLong(9);
    EXPECT_EQ(LoadCells(COLUMN_BLANK_FLAG, 0, tooLong), "Failed to translate in SetColumnEx");
    flags.SetNil(0); // blank row inside the first window
    EXPECT_EQ(LoadCells(COLUMN_BLANK_FLAG, 0, flags),
              "Blank rows must lie after the first window of rows");
    flags.SetNumber(0, 1.0);
    flags.SetNumber(5, 1.0); // no blank row although one was announced
    EXPECT_EQ(LoadCells(COLUMN_BLANK_FLAG, 0, flags),
              "More data rows than the network was built for");
    EXPECT_STREQ(SetColumnEx(COLUMN_BLANK_FLAG, 0, nullptr, 0), "No column given");

    EXPECT_EQ(Counts(), counts);
    EXPECT_EQ(SpecialRows(), special);
    EXPECT_EQ(RowFlags(), rowFlags);
    EXPECT_EQ(PositionFlags(), positions);
}

TEST_F(WorksheetLoadTest, ModeFlagColumnFindsAndMarksTheSpecialRows) {
    ASSERT_EQ(Build(1, 1, 7, 2, 1, 0, CALC_FIXED16), "OK");
    ASSERT_EQ(LoadTexts(COLUMN_MODE_FLAG, 0, {"test", "min", "Max", "train", "symbol", "skip"}),
              "OK");
    EXPECT_EQ(SpecialRows(), (std::vector<int32_t>{2, 3, 5}));
    EXPECT_EQ(Counts(), (std::vector<int32_t>{4, 3, 3, 3}));
    EXPECT_EQ(RowFlags(), (std::vector<int32_t>{0, 0, 1, 1, 0, 1, 0}));
    EXPECT_EQ(PatternCodes(3), (std::vector<int32_t>{1, 0, 5}));
    EXPECT_EQ(gNet.dataModeActive, 1);

    // Loading again first releases the rows; a second MIN row stops the load.
    SetPatternFlags({4, 4, 4}, false);
    EXPECT_EQ(LoadTexts(COLUMN_MODE_FLAG, 0, {"min", "test", "MIN", "train", "test", "test"}),
              "Can't have more than one MIN row");
    EXPECT_EQ(SpecialRows(), (std::vector<int32_t>{1, -1, -1}));
    EXPECT_EQ(Counts(), (std::vector<int32_t>{7, 0, 6, 0}));
    EXPECT_EQ(PatternCodes(3), (std::vector<int32_t>{4, 4, 4}));
    EXPECT_EQ(gNet.dataModeActive, 0);
    EXPECT_EQ(LoadTexts(COLUMN_MODE_FLAG, 0, {"max", "max", "test", "test", "test", "test"}),
              "Can't have more than one MAX row");
    EXPECT_EQ(LoadTexts(COLUMN_MODE_FLAG, 0, {"symbol", "test", "test", "test", "test", "Symbol"}),
              "Can't have more than one SYMBOL row");
    EXPECT_EQ(LoadTexts(COLUMN_MODE_FLAG, 0, {"min", "test", "test", "test", "test"}),
              "Incorrect column size");
    EXPECT_EQ(Counts(), (std::vector<int32_t>{7, 0, 6, 0}));

    // A negative index releases the special rows and clears the codes.
    ASSERT_EQ(LoadTexts(COLUMN_MODE_FLAG, 0, {"test", "min", "Max", "train", "symbol", "skip"}),
              "OK");
    OwnedCells none(1);
    EXPECT_EQ(LoadCells(COLUMN_MODE_FLAG, -1, none), "OK");
    EXPECT_EQ(SpecialRows(), (std::vector<int32_t>{-1, -1, -1}));
    EXPECT_EQ(Counts(), (std::vector<int32_t>{7, 0, 6, 0}));
    EXPECT_EQ(PatternCodes(6), std::vector<int32_t>(6, 0));
    EXPECT_EQ(gNet.dataModeActive, 0);
}

// Window 1: row 0 lists the symbols, row 1 is the MIN row, row 2 the MAX row.
class SymbolicColumnTest : public LibraryTest {
  protected:
    void LoadExample(int method) {
        ASSERT_EQ(Build(1, 1, 6, 1, 1, 0, method), "OK");
        ASSERT_EQ(
            LoadTexts(COLUMN_MODE_FLAG, 0, {"SYMBOL", "MIN", "MAX", "train", "train", "test"}),
            "OK");
        ASSERT_EQ(LoadTexts(COLUMN_INPUT, 0, {"", "", "", "0", "1", "2"}), "OK");
        ASSERT_EQ(LoadTexts(COLUMN_OUTPUT, 0, {"A,B,C", "A", "C", "B", "a", "c"}), "OK");
    }
};

TEST_F(SymbolicColumnTest, MinAndMaxSymbolsBoundTheirBandsInDouble) {
    LoadExample(CALC_DOUBLE);
    EXPECT_EQ(Bounds(gNet.targetBlock, 1, 0), (std::vector<double>{0.0, 3.0}));
    std::vector<double> targets = StoredTargets<double>(0);
    ASSERT_EQ(targets.size(), 3u);
    EXPECT_EQ(targets[0], 0.5);
    EXPECT_EQ(targets[1], 0.5 / 3.0);
    EXPECT_EQ(targets[2], 2.5 / 3.0);
    EXPECT_EQ(CountedText(SymbolAt(0, 2.4)), "C");
}

TEST_F(SymbolicColumnTest, MinAndMaxSymbolsBoundTheirBandsInFixedPoint) {
    LoadExample(CALC_FIXED16);
    EXPECT_EQ(Bounds(gNet.targetBlock, 1, 0), (std::vector<double>{0.0, 3.0}));
    // 1.5 x 32768 / 3 + 0.5 = 16384.5; 0.5 -> 5461.8; 2.5 -> 27307.2.
    EXPECT_EQ(StoredTargets<int16_t>(0), (std::vector<int16_t>{16384, 5461, 27307}));
    EXPECT_EQ(StoredOutputs<int16_t>(0), (std::vector<int16_t>{0, 0, 0}));
}

TEST_F(SymbolicColumnTest, SymbolRowCellsMustBeTextsOrEmpty) {
    LoadExample(CALC_DOUBLE);
    EXPECT_EQ(LoadNumbers(COLUMN_OUTPUT, 0, {1, 0, 0, 0, 0, 0}),
              "Symbol is neither blank nor a string");
    EXPECT_EQ(LoadTexts(COLUMN_OUTPUT, 0, {"A, ,C", "A", "C", "A", "A", "A"}), "Missing Symbol");
    EXPECT_EQ(LoadTexts(COLUMN_OUTPUT, 0, {"A,B,C", "A", "C", "B", "a", "c", "c"}),
              "Failed to translate in SetColumnEx");
    // An empty text is a list with one missing symbol; an empty cell makes the column numeric.
    OwnedCells cells(6);
    FillTexts(cells, {"", "", "", "", "", ""});
    cells.SetString(0, "");
    EXPECT_EQ(LoadCells(COLUMN_OUTPUT, 0, cells), "Missing Symbol");
    cells.SetNil(0);
    for (size_t k = 1; k < 6; ++k)
        cells.SetNumber(k, double(k));
    cells.SetNumber(1, 0.0);  // MIN row
    cells.SetNumber(2, 10.0); // MAX row
    EXPECT_EQ(LoadCells(COLUMN_OUTPUT, 0, cells), "OK");
    EXPECT_EQ(SymbolAt(0, 1.0), nullptr);
    EXPECT_EQ(Bounds(gNet.targetBlock, 1, 0), (std::vector<double>{0.0, 10.0}));
}

TEST_F(WorksheetLoadTest, RowOffsetAndMissingNetworkChangeNothing) {
    OwnedCells cells(4);
    EXPECT_STREQ(SetColumnEx(COLUMN_INPUT, 0, cells.multi(), 1),
                 "Row offset not supported in this version.");
    EXPECT_STREQ(SetColumnEx(COLUMN_INPUT, 0, cells.multi(), 0), "Can't load columns before Init");
    ASSERT_EQ(Build(1, 1, 4, 1, 1, 0, CALC_DOUBLE), "OK");
    ASSERT_EQ(LoadTexts(COLUMN_MODE_FLAG, 0, {"min", "max", "test", "test"}), "OK");
    EXPECT_STREQ(SetColumnEx(COLUMN_BLANK_FLAG, 0, cells.multi(), 1),
                 "Row offset not supported in this version.");
    EXPECT_EQ(SpecialRows(), (std::vector<int32_t>{0, 1, -1}));
    XLOPER notMulti{};
    notMulti.xltype = xltypeNum;
    EXPECT_STREQ(SetColumnEx(COLUMN_INPUT, 0, &notMulti, 0), "Not a single column array");
}

} // namespace
