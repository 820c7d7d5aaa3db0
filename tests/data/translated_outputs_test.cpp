#include "data/symbols.h"
#include "data/translated_outputs.h"
#include "data_fixture.h"

#include <cmath>

namespace {

// Every cell of a GetOutputsEx answer as text: numbers printed, empty texts as "".
struct Cell {
    bool text;
    std::string s;
    double v;
};

std::vector<Cell> Cells(const XLOPER* answer) {
    std::vector<Cell> cells;
    if (answer == nullptr || answer->xltype != xltypeMulti) return cells;
    for (int k = 0; k < answer->val.array.rows; ++k) {
        const XLOPER& x = answer->val.array.lparray[k];
        if (x.xltype == xltypeStr)
            cells.push_back({true, CountedText(x.val.str), 0.0});
        else
            cells.push_back({false, "", x.val.num});
    }
    return cells;
}

std::string AnswerText(const XLOPER* answer) {
    return answer != nullptr && answer->xltype == xltypeStr ? CountedText(answer->val.str)
                                                            : "<not a text>";
}

class GetOutputsExTest : public LibraryTest {
  protected:
    // Four patterns; output 0 lists A, B, C; output 1 is numeric. Both de-scale as they stand.
    void SetUp() override {
        LibraryTest::SetUp();
        ASSERT_EQ(Build(1, 2, 4, 1, 1, 0, CALC_DOUBLE), "OK");
        char list[] = "A,B,C";
        ASSERT_STREQ(SetColumnSymbols(COLUMN_OUTPUT, 0, list), "OK");
        WriteTargetRange({0.0, 0.0}, {1.0, 1.0});
        SetOutputs<double>({0.4, 0.4, 1.5, 1.5, 2.95, 2.95, 3.2, 3.2});
    }
};

TEST_F(GetOutputsExTest, SymbolicColumnInEveryMode) {
    std::vector<Cell> values = Cells(GetOutputsEx(0, OUTPUT_VALUES, 0));
    ASSERT_EQ(values.size(), 4u);
    EXPECT_EQ(values[1].v, 1.5);
    EXPECT_EQ(values[3].v, 3.2);

    std::vector<Cell> symbols = Cells(GetOutputsEx(0, OUTPUT_SYMBOLS, 0));
    ASSERT_EQ(symbols.size(), 4u);
    EXPECT_EQ(symbols[0].s, "A");
    EXPECT_EQ(symbols[1].s, "B");
    EXPECT_EQ(symbols[2].s, "C");
    EXPECT_EQ(symbols[3].s, "Value out of range");

    std::vector<Cell> residuals = Cells(GetOutputsEx(0, OUTPUT_RESIDUALS, 0));
    ASSERT_EQ(residuals.size(), 4u);
    EXPECT_DOUBLE_EQ(residuals[0].v, -0.1);
    EXPECT_EQ(residuals[1].v, 0.0);
    EXPECT_DOUBLE_EQ(residuals[2].v, 0.45);
    EXPECT_EQ(residuals[3].v, 3.2);
}

TEST_F(GetOutputsExTest, NumericColumnGivesNumbersAndNoResiduals) {
    for (int mode : {OUTPUT_VALUES, OUTPUT_SYMBOLS}) {
        std::vector<Cell> cells = Cells(GetOutputsEx(1, mode, 0));
        ASSERT_EQ(cells.size(), 4u);
        EXPECT_FALSE(cells[2].text);
        EXPECT_EQ(cells[2].v, 2.95);
    }
    for (const Cell& cell : Cells(GetOutputsEx(1, OUTPUT_RESIDUALS, 0)))
        EXPECT_EQ(cell.v, 0.0);
}

TEST_F(GetOutputsExTest, PositionsWithoutAPatternAreEmptyTexts) {
    ASSERT_EQ(Build(1, 1, 5, 1, 1, 1, CALC_DOUBLE), "OK");
    ASSERT_EQ(Load(COLUMN_BLANK_FLAG, 0, {0, 0, 0, 1, 0}), "OK");
    WriteTargetRange({0.0}, {1.0});
    SetOutputs<double>({0.25, 0.5, 0.75, 1.0});
    for (int mode : {OUTPUT_VALUES, OUTPUT_SYMBOLS, OUTPUT_RESIDUALS}) {
        std::vector<Cell> cells = Cells(GetOutputsEx(0, mode, 0));
        ASSERT_EQ(cells.size(), 5u);
        EXPECT_TRUE(cells[3].text && cells[3].s.empty());
        EXPECT_FALSE(cells[4].text);
    }
    EXPECT_EQ(gNet.outputsFpRecord->array[3], 0.0);
    EXPECT_EQ(Cells(GetOutputsEx(0, OUTPUT_VALUES, 0))[4].v, 1.0);

    ASSERT_EQ(Build(1, 1, 4, 1, 2, 0, CALC_DOUBLE), "OK");
    ASSERT_EQ(Load(COLUMN_BLANK_FLAG, 0, {0, 0, 0, 0}), "OK");
    std::vector<Cell> cells = Cells(GetOutputsEx(0, OUTPUT_VALUES, 0));
    ASSERT_EQ(cells.size(), 4u);
    EXPECT_FALSE(cells[0].text);
    EXPECT_TRUE(cells[1].text);
    EXPECT_FALSE(cells[2].text);
    EXPECT_TRUE(cells[3].text);
}

TEST_F(GetOutputsExTest, RefusalsLeaveTheOutputsAlone) {
    gNet.outputsFpRecord->array[0] = 42.0;
    EXPECT_EQ(AnswerText(GetOutputsEx(0, OUTPUT_VALUES, 1)),
              "Row offset not supported in this version.");
    EXPECT_EQ(AnswerText(GetOutputsEx(2, OUTPUT_VALUES, 0)), "Incorrect output column");
    EXPECT_EQ(AnswerText(GetOutputsEx(-1, OUTPUT_VALUES, 0)), "Incorrect output column");
    EXPECT_EQ(AnswerText(GetOutputsEx(0, 3, 0)), "Invalid output mode");
    EXPECT_EQ(AnswerText(GetOutputsEx(0, -1, 0)), "Invalid output mode");
    EXPECT_EQ(gNet.outputsFpRecord->array[0], 42.0);

    OwnedFp wide(4, 2), tooLong(5, 1), values(4, 1), shortFlags(3, 1);
    EXPECT_EQ(AnswerText(TranslateOutputs(0, 0, wide.get(), values.get())),
              "Output column too large");
    EXPECT_EQ(AnswerText(TranslateOutputs(0, 0, tooLong.get(), tooLong.get())),
              "Output column too large");
    EXPECT_EQ(AnswerText(TranslateOutputs(0, 0, values.get(), shortFlags.get())),
              "Blank flag column invalid");
    EXPECT_EQ(AnswerText(TranslateOutputs(0, 0, values.get(), wide.get())),
              "Blank flag column invalid");

    CleanUp();
    EXPECT_EQ(GetOutputsEx(0, OUTPUT_VALUES, 0), nullptr);
}

// A threshold learnt from worksheet cells: x below 0.5 is LOW, above it HIGH.
TEST(SymbolicClassificationTest, TrainsFromCellsAndAnswersInSymbols) {
    FreshLibrary();
    const std::vector<double> xs = {0.05, 0.9, 0.2, 0.75, 0.35, 0.6, 0.1, 0.95, 0.3, 0.7, 0.45};
    const size_t rows = xs.size() + 2; // a SYMBOL row, then a blank row, then the data
    ASSERT_EQ(Build(1, 1, int(rows), 1, 1, 1, CALC_DOUBLE), "OK");

    OwnedCells blank(rows), modes(rows), inputs(rows), outputs(rows);
    for (size_t k = 0; k < rows; ++k)
        blank.SetNumber(k, 1.0);
    blank.SetNil(1);
    FillTexts(modes, {"symbol"});
    outputs.SetString(0, "Low,High");
    std::vector<std::string> expected = {"", ""};
    for (size_t k = 0; k < xs.size(); ++k) {
        modes.SetString(k + 2, "train");
        inputs.SetNumber(k + 2, xs[k]);
        outputs.SetString(k + 2, xs[k] < 0.5 ? "low" : "HIGH");
        expected.push_back(xs[k] < 0.5 ? "LOW" : "HIGH");
    }
    ASSERT_STREQ(SetColumnEx(COLUMN_BLANK_FLAG, 0, blank.multi(), 0), "OK");
    ASSERT_STREQ(SetColumnEx(COLUMN_MODE_FLAG, 0, modes.multi(), 0), "OK");
    ASSERT_STREQ(SetColumnEx(COLUMN_INPUT, 0, inputs.multi(), 0), "OK");
    ASSERT_STREQ(SetColumnEx(COLUMN_OUTPUT, 0, outputs.multi(), 0), "OK");
    EXPECT_EQ(Counts(), (std::vector<int32_t>{11, 2, 11, 2}));

    ASSERT_STREQ(SetParams(0.1, 0.1, 0.9, 0.5, 0.0), "OK");
    RandomizeWeights(1, 11, 0.5);
    ASSERT_NE(RunNet(1, 3000), nullptr);
    ASSERT_NE(RunNet(0, 1), nullptr);

    std::vector<Cell> cells = Cells(GetOutputsEx(0, OUTPUT_SYMBOLS, 0));
    ASSERT_EQ(cells.size(), rows);
    for (size_t k = 0; k < rows; ++k) {
        EXPECT_TRUE(cells[k].text) << k;
        EXPECT_EQ(cells[k].s, expected[k]) << k;
    }
    for (const Cell& cell : Cells(GetOutputsEx(0, OUTPUT_RESIDUALS, 0)))
        if (!cell.text) EXPECT_LT(std::fabs(cell.v), 0.5);
    FreshLibrary();
}

} // namespace
