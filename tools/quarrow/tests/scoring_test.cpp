// Figures of outputs against targets, against values worked out by hand.
#include "metrics_json.h"
#include "scoring.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Actual a a a b b c, predicted a a b b c c, one row without a target, one without an output
// and one predicted off every class:
//            a  b  c
//   actual a 2  1  0
//          b 0  1  1
//          c 0  0  1   (+ one c predicted as nothing)
TEST(Scoring, ConfusionTableAndClassFigures) {
    RangeColumn column;
    column.name = "kind";
    column.bounds.symbols = {"a", "b", "c"};
    const char* actual[] = {"a", "a", "A", "b", "b", "c", "", "c", "c"};
    const char* predicted[] = {"a", "A", "b", "b", "c", "c", "a", "", "Value out of range"};
    std::vector<Cell> outputs;
    std::vector<int> rows;
    for (int r = 0; r < 9; ++r) {
        column.cells.push_back(*actual[r] ? TextCell(actual[r]) : Cell());
        outputs.push_back(*predicted[r] ? TextCell(predicted[r]) : Cell());
        rows.push_back(r);
    }
    OutputFigures f = ScoreColumn(column, outputs, rows);
    EXPECT_EQ(f.rows, 7);
    EXPECT_EQ(f.confusion, (std::vector<std::vector<int>>{{2, 1, 0}, {0, 1, 1}, {0, 0, 1}}));
    EXPECT_DOUBLE_EQ(f.accuracy, 4.0 / 7.0);
    // recall a 2/3, b 1/2, c 1/2
    EXPECT_DOUBLE_EQ(f.balancedAccuracy, (2.0 / 3.0 + 0.5 + 0.5) / 3.0);
    ASSERT_EQ(f.perClass.size(), 3u);
    EXPECT_DOUBLE_EQ(f.perClass[0].precision, 1.0);
    EXPECT_DOUBLE_EQ(f.perClass[1].precision, 0.5);
    EXPECT_DOUBLE_EQ(f.perClass[1].f1, 0.5);
    EXPECT_DOUBLE_EQ(f.perClass[2].f1, 2 * 0.5 * 0.5 / 1.0);
    EXPECT_EQ(f.perClass[2].support, 2);

    RunFigures run;
    run.sets.push_back(SetFigures{"test", {f}});
    EXPECT_NE(MetricsJson(run).find("\"confusion\":[[2,1,0],[0,1,1],[0,0,1]]"), std::string::npos);
}

TEST(Scoring, NumericErrorsInDataUnits) {
    RangeColumn column;
    column.name = "a\"b\\c\nd\x01ö"; // escaped where JSON asks, UTF-8 as it is
    std::vector<Cell> outputs;
    const double actual[] = {1, 2, 3, 4}, predicted[] = {1.5, 2, 2, 4};
    for (int r = 0; r < 4; ++r) {
        column.cells.push_back(NumberCell(actual[r]));
        outputs.push_back(NumberCell(predicted[r]));
    }
    OutputFigures f = ScoreColumn(column, outputs, {0, 1, 2, 3});
    EXPECT_DOUBLE_EQ(f.rmse, std::sqrt(1.25 / 4));
    EXPECT_DOUBLE_EQ(f.mae, 1.5 / 4);
    EXPECT_DOUBLE_EQ(f.r2, 1.0 - 1.25 / 5.0); // spread around the mean 2.5 is 5
    f = ScoreColumn(column, outputs, {1});    // one target: no spread, no R^2
    EXPECT_TRUE(std::isnan(f.r2));
    RunFigures run;
    run.sets.push_back(SetFigures{"x", {f}});
    EXPECT_NE(MetricsJson(run).find("\"r2\":null"), std::string::npos);
    EXPECT_NE(MetricsJson(run).find("\"a\\\"b\\\\c\\u000ad\\u0001ö\""), std::string::npos);
}

} // namespace
