#include "data/symbols.h"
#include "data/translated_outputs.h"
#include "data_fixture.h"

namespace {

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

TEST_F(GetOutputsExTest, RefusalsLeaveTheOutputsAlone) {
    gNet.outputsFpRecord->array[0] = 42.0;
    EXPECT_EQ(AnswerText(GetOutputsEx(0, 0, 1)), "Row offset not supported in this version.");
    EXPECT_EQ(AnswerText(GetOutputsEx(2, 0, 0)), "Incorrect output column");
    EXPECT_EQ(AnswerText(GetOutputsEx(-1, 0, 0)), "Incorrect output column");
    EXPECT_EQ(AnswerText(GetOutputsEx(0, 3, 0)), "Invalid output mode");
    EXPECT_EQ(gNet.outputsFpRecord->array[0], 42.0);
    CleanUp();
    EXPECT_EQ(GetOutputsEx(0, 0, 0), nullptr);
}

} // namespace
