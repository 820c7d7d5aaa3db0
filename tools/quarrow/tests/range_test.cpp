#include "column_lists.h"
#include "range.h"
#include "sheet_support.h"
#include "symbols.h"

#include <gtest/gtest.h>

namespace {

// Column A in, column B out, column C the mode column.
RangeRequest WithMode() {
    RangeRequest request;
    request.columns.inputs = {0};
    request.columns.outputs = {1};
    request.columns.mode = 2;
    return request;
}

TEST(ColumnLists, NamesLettersAndMistakes) {
    Worksheet sheet = Sheet("x1,x2,colour,mode\n1,2,red,TRAIN\n");
    ColumnChoice choice;
    std::string error;
    ASSERT_TRUE(ResolveColumns(sheet, "x1, x2", "colour", "mode", &choice, &error)) << error;
    EXPECT_EQ(choice.inputs, (std::vector<int>{0, 1}));
    EXPECT_EQ(choice.outputs, (std::vector<int>{2}));
    EXPECT_EQ(choice.mode, 3);

    ASSERT_TRUE(ResolveColumns(sheet, "a,b", "C", "", &choice, &error)) << error;
    EXPECT_EQ(choice.inputs, (std::vector<int>{0, 1}));
    EXPECT_EQ(choice.mode, -1);

    EXPECT_FALSE(ResolveColumns(sheet, "A,,B", "C", "", &choice, &error));
    EXPECT_NE(error.find("--inputs"), std::string::npos) << error;
    EXPECT_FALSE(ResolveColumns(sheet, "A", "C", "B,D", &choice, &error));
    EXPECT_NE(error.find("--mode"), std::string::npos) << error;
    EXPECT_FALSE(ResolveColumns(sheet, "x1", "A", "", &choice, &error));
    EXPECT_NE(error.find("twice"), std::string::npos) << error;
}

// Items are names first, letters only when no column has that name; ranges of either.
TEST(ColumnLists, RangesAndNamesBeforeLetters) {
    Worksheet sheet = Sheet("b,a,height,weight,e\n1,2,3,4,5\n");
    struct Case {
        const char* list;
        std::vector<int> columns; // empty: refused
    } cases[] = {
        {"a", {1}},
        {"A", {0}},
        {"b:d", {0, 1, 2, 3}},
        {"height:weight", {2, 3}},
        {"A:C,e", {0, 1, 2, 4}},
        {"a:height", {1, 2}},
        {"D:B", {}},
        {"F", {}},
        {"color", {}},
        {"x:e", {}},
    };
    for (const Case& c : cases) {
        std::vector<int> columns;
        std::string error;
        EXPECT_EQ(ColumnList(sheet, c.list, &columns, &error), !c.columns.empty()) << c.list;
        if (!c.columns.empty()) {
            EXPECT_EQ(columns, c.columns) << c.list;
        }
    }
    std::vector<int> columns;
    std::string error;
    EXPECT_FALSE(ColumnList(sheet, "hieght", &columns, &error));
    EXPECT_EQ(error, "no column \"hieght\"; the sheet's columns are A b, B a, C height, D weight, "
                     "E e");
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

TEST(Range, BlankRowsSymbolsAndAddedSymbolRow) {
    Worksheet sheet = Sheet("a,b,class\n1,2,yes\n,,\n3,4,no\n5,6,Yes\n");
    RangeRequest request;
    request.columns.inputs = {0, 1};
    request.columns.outputs = {2};
    Range range;
    std::string error;
    ASSERT_TRUE(BuildRange(sheet, request, &range, &error)) << error;
    ASSERT_EQ(range.rows(), 5); // four sheet rows and the SYMBOL row added at the end
    EXPECT_EQ(range.blank, (std::vector<char>{0, 1, 0, 0, 0}));
    EXPECT_EQ(range.symbolRow, 4);
    EXPECT_EQ(range.sheetRow[4], -1);
    EXPECT_TRUE(range.modeColumn);
    EXPECT_EQ(range.mode[4], "SYMBOL");
    EXPECT_EQ(range.outputs[0].bounds.symbols, (std::vector<std::string>{"no", "yes"}));
    EXPECT_EQ(range.outputs[0].cells[4].text, "no,yes");
    EXPECT_TRUE(range.inputs[0].cells[4].empty());
    EXPECT_EQ(range.dataRows(), 3);
    // Symbols stand for k + 0.5: the data spans 0.5 .. 1.5, widened by nothing.
    EXPECT_EQ(range.outputs[0].bounds.lo, 0.5);
    EXPECT_EQ(range.outputs[0].bounds.hi, 1.5);
    EXPECT_EQ(range.inputs[1].bounds.lo, 2.0);
    EXPECT_EQ(range.inputs[1].bounds.hi, 6.0);
}

TEST(Range, MinMaxRowsAndMarginGiveTheLibrarysBounds) {
    Worksheet sheet =
        Sheet("x,y,m\n0,A,MIN\n10,C,MAX\n,\"A,B,C\",SYMBOL\n4,B,TRAIN\n6,A,TEST\n8,C,skip\n");
    RangeRequest request;
    request.columns.inputs = {0};
    request.columns.outputs = {1};
    request.columns.mode = 2;
    request.scaleMargin = 0.05;
    Range range;
    std::string error;
    ASSERT_TRUE(BuildRange(sheet, request, &range, &error)) << error;
    EXPECT_EQ(range.rows(), 6);
    EXPECT_EQ(range.minRow, 0);
    EXPECT_EQ(range.maxRow, 1);
    EXPECT_EQ(range.symbolRow, 2);
    EXPECT_EQ(range.mode[5], "SKIP");
    EXPECT_EQ(range.dataRows(), 3);
    // x: MIN 0 and MAX 10, widened by 10 x 0.05 on each side.
    EXPECT_EQ(range.inputs[0].bounds.lo, 0.0 - 10.0 * 0.05);
    EXPECT_EQ(range.inputs[0].bounds.hi, 10.0 + 10.0 * 0.05);
    // y: the MIN symbol A sets 0, the MAX symbol C sets 3.
    EXPECT_EQ(range.outputs[0].bounds.lo, 0.0 - 3.0 * 0.05);
    EXPECT_EQ(range.outputs[0].bounds.hi, 3.0 + 3.0 * 0.05);
}

TEST(Range, SymbolsOfTheMinAndMaxRowsJoinTheList) {
    Worksheet sheet = Sheet("x,y,m\n1,LOW,MIN\n5,TOP,MAX\n2,MID,\n3,low,TEST\n");
    Range range;
    std::string error;
    ASSERT_TRUE(BuildRange(sheet, WithMode(), &range, &error)) << error;
    EXPECT_EQ(range.outputs[0].bounds.symbols, (std::vector<std::string>{"LOW", "MID", "TOP"}));
    ASSERT_EQ(range.symbolRow, 4); // added, as the sheet has none
    EXPECT_EQ(range.outputs[0].cells[4].text, "LOW,MID,TOP");
    EXPECT_EQ(range.outputs[0].bounds.lo, 0.0); // LOW in the MIN row: its band starts at 0
    EXPECT_EQ(range.outputs[0].bounds.hi, 3.0); // TOP in the MAX row: its band ends at 3
}

TEST(Range, RefusesWhatTheLibraryWouldMisread) {
    RangeRequest request;
    request.columns.inputs = {0};
    request.columns.outputs = {1};
    Range range;
    std::string error;
    EXPECT_FALSE(BuildRange(Sheet("a,b\n1,2\n,3\n"), request, &range, &error));
    EXPECT_NE(error.find("row 3 has no value in input"), std::string::npos) << error;
    EXPECT_FALSE(BuildRange(Sheet("a,b\n1,2\n3,\n"), request, &range, &error));
    EXPECT_NE(error.find("SKIP"), std::string::npos) << error;
    EXPECT_FALSE(BuildRange(Sheet("a,b\n1,averyveryverylongname\n"), request, &range, &error));
    EXPECT_FALSE(BuildRange(Sheet("a,b,m\n1,2,TRAINING\n"), WithMode(), &range, &error));
    EXPECT_NE(error.find("TRAINING"), std::string::npos) << error;
    EXPECT_FALSE(BuildRange(Sheet("a,b,m\n1,2,MIN\n3,4,min\n"), WithMode(), &range, &error));
    EXPECT_NE(error.find("both MIN rows"), std::string::npos) << error;
    request.window = 2;
    EXPECT_FALSE(BuildRange(Sheet("a,b\n,\n1,2\n3,4\n"), request, &range, &error));
    EXPECT_FALSE(BuildRange(Sheet("a,b\n1,2\n"), request, &range, &error));
}

TEST(Range, SkippedRowWithoutTargetGetsAnInRangeValue) {
    Worksheet sheet = Sheet("a,b,m\n1,20,TRAIN\n2,,SKIP\n3,30,TRAIN\n");
    Range range;
    std::string error;
    ASSERT_TRUE(BuildRange(sheet, WithMode(), &range, &error)) << error;
    EXPECT_EQ(range.outputs[0].cells[1].number, 20.0);
    EXPECT_EQ(range.outputs[0].bounds.lo, 20.0);
}

TEST(Range, RecallKeepsTheTrainedBoundsAndSymbols) {
    Worksheet sheet = Sheet("a,b\n1,x\n2,\n9,\n");
    RangeRequest request;
    request.recall = true;
    request.columns.inputs = {0};
    request.columns.outputs = {1};
    request.inputBounds = {ColumnBounds{0.5, 2.5, {}}};
    request.outputBounds = {ColumnBounds{0.0, 2.0, {"X", "Y"}}};
    Range range;
    std::string error;
    // 9 lies outside 0.5 .. 2.5: recalled at the edge and flagged, or refused when strict.
    ASSERT_TRUE(BuildRange(sheet, request, &range, &error)) << error;
    EXPECT_EQ(range.outOfRange[2], 1);
    EXPECT_EQ(range.inputs[0].cells[2].number, 2.5);
    request.strict = true;
    EXPECT_FALSE(BuildRange(sheet, request, &range, &error));
    EXPECT_NE(error.find("outside the range"), std::string::npos) << error;
    request.strict = false;

    sheet = Sheet("a,b\n1,x\n2,\n");
    ASSERT_TRUE(BuildRange(sheet, request, &range, &error)) << error;
    ASSERT_EQ(range.rows(), 5); // MIN, MAX and SYMBOL rows added
    EXPECT_EQ(range.mode, (std::vector<std::string>{"TEST", "TEST", "MIN", "MAX", "SYMBOL"}));
    EXPECT_EQ(range.inputs[0].cells[2].number, 0.5);
    EXPECT_EQ(range.inputs[0].cells[3].number, 2.5);
    EXPECT_EQ(range.outputs[0].cells[4].text, "X,Y");
    EXPECT_FALSE(range.targetsComplete);
    EXPECT_EQ(range.outputs[0].cells[1].number, 0.0); // a missing target stands at the minimum
}

} // namespace
