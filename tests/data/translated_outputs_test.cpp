#include "data/symbols.h"
#include "data/translated_outputs.h"
#include "data_fixture.h"

#include <cmath>

namespace {

// The cells of a GetOutputsEx answer: texts as they are, numbers printed with "#".
std::vector<std::string> Texts(const XLOPER* answer) {
    std::vector<std::string> texts;
    if (answer == nullptr || answer->xltype != xltypeMulti) return {AnswerText(answer)};
    for (int k = 0; k < answer->val.array.rows; ++k) {
        const XLOPER& x = answer->val.array.lparray[k];
        texts.push_back(x.xltype == xltypeStr ? CountedText(x.val.str) : "#");
    }
    return texts;
}
double Number(const XLOPER* answer, int k) {
    return answer->val.array.lparray[k].val.num;
}

class GetOutputsExTest : public LibraryTest {
  protected:
    // Four patterns; output 0 lists A, B, C, output 1 is numeric; both de-scale as they stand.
    void SetUp() override {
        LibraryTest::SetUp();
        ASSERT_EQ(Build(1, 2, 4, 1, 1, 0, CALC_DOUBLE), "OK");
        char list[] = "A,B,C";
        ASSERT_STREQ(SetColumnSymbols(COLUMN_OUTPUT, 0, list), "OK");
        WriteTargetRange({0.0, 0.0}, {1.0, 1.0});
        SetOutputs<double>({0.4, 0.4, 1.5, 1.5, 2.95, 2.95, 3.2, 3.2});
    }
};

TEST_F(GetOutputsExTest, SymbolicAndNumericColumnsInEveryMode) {
    using Strings = std::vector<std::string>;
    EXPECT_EQ(Texts(GetOutputsEx(0, OUTPUT_SYMBOLS, 0)),
              (Strings{"A", "B", "C", "Value out of range"}));
    XLOPER* residuals = GetOutputsEx(0, OUTPUT_RESIDUALS, 0);
    EXPECT_DOUBLE_EQ(Number(residuals, 0), -0.1);
    EXPECT_EQ(Number(residuals, 1), 0.0);
    EXPECT_DOUBLE_EQ(Number(residuals, 2), 0.45);
    EXPECT_EQ(Number(residuals, 3), 3.2);
    XLOPER* values = GetOutputsEx(0, OUTPUT_VALUES, 0);
    EXPECT_EQ(Texts(values), Strings(4, "#"));
    EXPECT_EQ(Number(values, 2), 2.95);

    EXPECT_EQ(Texts(GetOutputsEx(1, OUTPUT_SYMBOLS, 0)), Strings(4, "#"));
    EXPECT_EQ(Number(GetOutputsEx(1, OUTPUT_SYMBOLS, 0), 3), 3.2);
    EXPECT_EQ(Number(GetOutputsEx(1, OUTPUT_RESIDUALS, 0), 3), 0.0);
}

TEST_F(GetOutputsExTest, PositionsWithoutAPatternAreEmptyTexts) {
    ASSERT_EQ(Build(1, 1, 5, 1, 1, 1, CALC_DOUBLE), "OK");
    ASSERT_EQ(Load(COLUMN_BLANK_FLAG, 0, {0, 0, 0, 1, 0}), "OK");
    WriteTargetRange({0.0}, {1.0});
    SetOutputs<double>({0.25, 0.5, 0.75, 1.0});
    for (int mode : {OUTPUT_VALUES, OUTPUT_SYMBOLS, OUTPUT_RESIDUALS})
        EXPECT_EQ(Texts(GetOutputsEx(0, mode, 0)),
                  (std::vector<std::string>{"#", "#", "#", "", "#"}));
    EXPECT_EQ(Number(GetOutputsEx(0, OUTPUT_VALUES, 0), 4), 1.0);

    ASSERT_EQ(Build(1, 1, 4, 1, 2, 0, CALC_DOUBLE), "OK");
    ASSERT_EQ(Load(COLUMN_BLANK_FLAG, 0, {0, 0, 0, 0}), "OK");
    EXPECT_EQ(Texts(GetOutputsEx(0, OUTPUT_VALUES, 0)),
              (std::vector<std::string>{"#", "", "#", ""}));
}

TEST_F(GetOutputsExTest, RefusalsLeaveTheOutputsAlone) {
    gNet.outputsFpRecord->array[0] = 42.0;
    EXPECT_EQ(AnswerText(GetOutputsEx(0, 0, 1)), "Row offset not supported in this version.");
    EXPECT_EQ(AnswerText(GetOutputsEx(2, 0, 0)), "Incorrect output column");
    EXPECT_EQ(AnswerText(GetOutputsEx(-1, 0, 0)), "Incorrect output column");
    EXPECT_EQ(AnswerText(GetOutputsEx(0, 3, 0)), "Invalid output mode");
    EXPECT_EQ(gNet.outputsFpRecord->array[0], 42.0);

    OwnedFp tooLong(5, 1), values(4, 1), shortFlags(3, 1);
    EXPECT_EQ(CountedText(TranslateOutputs(0, 0, tooLong.get(), tooLong.get()).refusal),
              "Output column too large");
    EXPECT_EQ(CountedText(TranslateOutputs(0, 0, values.get(), shortFlags.get()).refusal),
              "Blank flag column invalid");
    CleanUp();
    EXPECT_EQ(GetOutputsEx(0, 0, 0), nullptr);
}

// A threshold learnt from worksheet cells: x below 0.5 is LOW, above it HIGH. The range has a
// SYMBOL row and a blank row before the data.
TEST(SymbolicClassificationTest, TrainsFromCellsAndAnswersInSymbols) {
    FreshLibrary();
    const Doubles xs = {0.05, 0.9, 0.2, 0.75, 0.35, 0.6, 0.1, 0.95, 0.3, 0.7, 0.45};
    const size_t rows = xs.size() + 2;
    ASSERT_EQ(Build(1, 1, int(rows), 1, 1, 1, CALC_DOUBLE), "OK");
    OwnedCells blank(rows), modes(rows), inputs(rows), outputs(rows);
    modes.SetString(0, "symbol");
    outputs.SetString(0, "Low,High");
    std::vector<std::string> expected = {"", ""};
    for (size_t k = 0; k < rows; ++k)
        if (k != 1) blank.SetBool(k, true);
    for (size_t k = 0; k < xs.size(); ++k) {
        modes.SetString(k + 2, "train");
        inputs.SetNumber(k + 2, xs[k]);
        outputs.SetString(k + 2, xs[k] < 0.5 ? "low" : "HIGH");
        expected.push_back(xs[k] < 0.5 ? "LOW" : "HIGH");
    }
    // Out of order first: refused without harm.
    EXPECT_STREQ(SetColumnEx(COLUMN_INPUT, 0, inputs.multi(), 0),
                 "More data rows than the network was built for");
    ASSERT_STREQ(SetColumnEx(COLUMN_BLANK_FLAG, 0, blank.multi(), 0), "OK");
    ASSERT_STREQ(SetColumnEx(COLUMN_MODE_FLAG, 0, modes.multi(), 0), "OK");
    ASSERT_STREQ(SetColumnEx(COLUMN_INPUT, 0, inputs.multi(), 0), "OK");
    ASSERT_STREQ(SetColumnEx(COLUMN_OUTPUT, 0, outputs.multi(), 0), "OK");
    EXPECT_EQ(Counts(), (Ints{11, 2, 11, 2, -1, -1, 0}));

    ASSERT_STREQ(SetParams(0.1, 0.1, 0.9, 0.5, 0.0), "OK");
    RandomizeWeights(1, 11, 0.5);
    ASSERT_NE(RunNet(1, 3000), nullptr);
    ASSERT_NE(RunNet(0, 1), nullptr);
    EXPECT_EQ(Texts(GetOutputsEx(0, OUTPUT_SYMBOLS, 0)), expected);
    XLOPER* residuals = GetOutputsEx(0, OUTPUT_RESIDUALS, 0);
    for (size_t k = 2; k < rows; ++k)
        EXPECT_LT(std::fabs(Number(residuals, int(k))), 0.5);
    FreshLibrary();
}

} // namespace
