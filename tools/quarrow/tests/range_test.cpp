#include "column_lists.h"
#include "range.h"
#include "sheet_support.h"
#include "symbols.h"

#include <gtest/gtest.h>

namespace {

// Column A in, column B out, column C (when given) the mode column.
RangeRequest Columns(int mode) {
    RangeRequest request;
    request.columns.inputs = {0};
    request.columns.outputs = {1};
    request.columns.mode = mode;
    return request;
}

// The sheet in CSV text loaded as asked: "" when it loads, else the reason.
std::string Build(const std::string& csv, const RangeRequest& request, Range* range) {
    std::string error;
    return BuildRange(Sheet(csv), request, range, &error) ? "" : error;
}

// Items are names first, letters only when no column has that name; ranges of either.
TEST(ColumnLists, RangesAndNamesBeforeLetters) {
    Worksheet sheet = Sheet("b,a,height,weight,e\n1,2,3,4,5\n");
    struct Case {
        const char* list;
        std::vector<int> columns; // empty: refused
    } cases[] = {
        {"a", {1}},           {"A", {0}},  {"b:d", {0, 1, 2, 3}}, {"A:C, e", {0, 1, 2, 4}},
        {"a:height", {1, 2}}, {"D:B", {}}, {"x:e", {}},
    };
    for (const Case& c : cases) {
        std::vector<int> columns;
        std::string error;
        EXPECT_EQ(ColumnList(sheet, c.list, &columns, &error), !c.columns.empty()) << c.list;
        if (!c.columns.empty()) {
            EXPECT_EQ(columns, c.columns) << c.list;
        }
    }
    std::string error;
    ColumnChoice choice;
    EXPECT_FALSE(ResolveColumns(sheet, "A", "C", "B,D", &choice, &error));
    EXPECT_EQ(error, "--mode names one column only");
    EXPECT_FALSE(ResolveColumns(sheet, "b", "A", "", &choice, &error));
    EXPECT_NE(error.find("twice"), std::string::npos) << error;
}

TEST(Symbols, ListsSplitAsTheLibrarySplitsThem) {
    std::vector<std::string> symbols;
    std::string error;
    ASSERT_TRUE(SymbolsOfList("red, green ,,blue,", &symbols, &error));
    EXPECT_EQ(symbols, (std::vector<std::string>{"red", "green ", "blue"}));
    ASSERT_TRUE(SymbolsOfList("abcdefghijklmnopqrst", &symbols, &error));
    EXPECT_EQ(symbols[0], "abcdefghijklmno");
    EXPECT_FALSE(SymbolsOfList("a, ,b", &symbols, &error));
    EXPECT_EQ(SymbolIndex({"RED", "BLUE"}, "blue"), 1);
    EXPECT_EQ(SymbolIndex({"RED", "BLUE"}, "blu"), -1);
}

// Symbols stand for k + 0.5; the bounds are the data's extremes, or the MIN and MAX rows,
// widened by the margin on each side.
TEST(Range, BoundsAndSymbolsAsTheLibraryWorksThemOut) {
    Range range;
    ASSERT_EQ(Build("a,class\n2,yes\n,\n4,no\n6,Yes\n", Columns(-1), &range), "");
    // The SYMBOL row added at the end of the four sheet rows.
    EXPECT_EQ(range.outputs[0].cells[4].text, "no,yes");
    EXPECT_EQ(range.outputs[0].bounds.lo, 0.5);
    EXPECT_EQ(range.outputs[0].bounds.hi, 1.5);
    EXPECT_EQ(range.inputs[0].bounds.lo, 2.0);
    EXPECT_EQ(range.inputs[0].bounds.hi, 6.0);

    RangeRequest request = Columns(2);
    request.scaleMargin = 0.05;
    ASSERT_EQ(Build("x,y,m\n0,A,MIN\n10,C,MAX\n,\"A,B,C\",SYMBOL\n4,B,TRAIN\n6,A,TEST\n8,C,skip\n",
                    request, &range),
              "");
    EXPECT_EQ(range.inputs[0].bounds.lo, 0.0 - 10.0 * 0.05);
    EXPECT_EQ(range.inputs[0].bounds.hi, 10.0 + 10.0 * 0.05);
    // y: the MIN symbol A sets 0, the MAX symbol C sets 3.
    EXPECT_EQ(range.outputs[0].bounds.lo, 0.0 - 3.0 * 0.05);
    EXPECT_EQ(range.outputs[0].bounds.hi, 3.0 + 3.0 * 0.05);

    // Symbols of the MIN and MAX rows join the list the added SYMBOL row carries.
    ASSERT_EQ(Build("x,y,m\n1,LOW,MIN\n5,TOP,MAX\n2,MID,\n3,low,TEST\n", Columns(2), &range), "");
    EXPECT_EQ(range.outputs[0].cells[4].text, "LOW,MID,TOP");

    // A SKIP row without a target gets a value inside the range, never 0.
    ASSERT_EQ(Build("a,b,m\n1,20,TRAIN\n2,,SKIP\n3,30,TRAIN\n", Columns(2), &range), "");
    EXPECT_EQ(range.outputs[0].cells[1].number, 20.0);
    EXPECT_EQ(range.outputs[0].bounds.lo, 20.0);
}

TEST(Range, RefusesWhatTheLibraryWouldMisread) {
    const struct {
        const char* sheet;
        int mode, window;
        const char* message;
    } cases[] = {
        {"a,b\n1,2\n,3\n", -1, 1, "row 3 has no value in input column A (a)"},
        {"a,b\n1,2\n3,\n", -1, 1, "(mark it SKIP in the mode column to leave it out)"},
        {"a,b\n1,averyveryverylongname\n", -1, 1, "is longer than 15 characters"},
        {"a,b,m\n1,2,TRAINING\n", 2, 1, "row 2: \"TRAINING\" in the mode column is not one of"},
        {"a,b,m\n1,2,MIN\n3,4,min\n", 2, 1, "rows 2 and 3 are both MIN rows"},
        {"a,b\n,\n1,2\n3,4\n", -1, 2, "row 2 lies in the first window of rows"},
        {"a,b\n1,2\n", -1, 2, "the sheet has 1 data rows; the window needs 2"},
    };
    for (const auto& c : cases) {
        RangeRequest request = Columns(c.mode);
        request.window = c.window;
        Range range;
        const std::string error = Build(c.sheet, request, &range);
        EXPECT_NE(error.find(c.message), std::string::npos) << c.sheet << ": " << error;
    }
}

TEST(Range, RecallKeepsTheTrainedBoundsAndSymbols) {
    RangeRequest request = Columns(-1);
    request.recall = true;
    request.inputBounds = {ColumnBounds{0.5, 2.5, {}}};
    request.outputBounds = {ColumnBounds{0.0, 2.0, {"X", "Y"}}};
    Range range;
    // 9 lies outside 0.5 .. 2.5: recalled at the edge and flagged.
    ASSERT_EQ(Build("a,b\n1,x\n9,\n", request, &range), "");
    EXPECT_EQ(range.outOfRange[1], 1);
    EXPECT_EQ(range.inputs[0].cells[1].number, 2.5);
    // MIN, MAX and SYMBOL rows are added; a missing target stands at the minimum.
    EXPECT_EQ(range.mode, (std::vector<std::string>{"TEST", "TEST", "MIN", "MAX", "SYMBOL"}));
    EXPECT_EQ(range.inputs[0].cells[2].number, 0.5);
    EXPECT_EQ(range.outputs[0].cells[4].text, "X,Y");
    EXPECT_EQ(range.outputs[0].cells[1].number, 0.0);
}

} // namespace
