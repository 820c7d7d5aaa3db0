// Columns a careless or hostile caller may hand over: ranges no double can scale, and symbol
// cells read back after their column's symbols were replaced.
#include "data/translated_outputs.h"
#include "data_fixture.h"

#include <cmath>
#include <limits>

namespace {

using HostileColumnsTest = LibraryTest;

std::vector<unsigned char> BlockBytes(BlockHandle block) {
    return ReadBlock<unsigned char>(block, 0, GlobalBlockSize(block));
}

TEST_F(HostileColumnsTest, ColumnsThatCannotBeScaledAreRefusedAndStoreNothing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const char* far = "Column values too far apart to scale";
    const char* infinite = "Value is not a finite number";
    const struct {
        int method;
        int type;
        double margin;
        Doubles values;
        const char* answer;
    } cases[] = {
        {CALC_DOUBLE, COLUMN_INPUT, 0.0, {-1e308, 1e308, 0, 1}, far},
        {CALC_DOUBLE, COLUMN_OUTPUT, 0.0, {-1e308, 1e308, 0, 1}, far},
        {CALC_DOUBLE, COLUMN_INPUT, 1e300, {0, 1e10, 0, 1}, far},
        // The fixed method multiplies by 32768 before it divides by the range.
        {CALC_FIXED16, COLUMN_OUTPUT, 0.0, {-1e304, 1e304, 0, 1}, far},
        {CALC_DOUBLE, COLUMN_INPUT, 0.0, {0, nan, 1, 2}, infinite},
        {CALC_FIXED16, COLUMN_OUTPUT, 0.0, {0, 1, HUGE_VAL, 2}, infinite},
    };
    for (const auto& c : cases) {
        FreshLibrary();
        ASSERT_EQ(Build(1, 1, 4, 1, 1, 0, c.method), "OK");
        ASSERT_STREQ(SetEnhanced(3, 1.0, 0, 1.0, 0, c.margin), "OK");
        ASSERT_EQ(Load(COLUMN_INPUT, 0, {0, 1, 2, 3}), "OK");
        ASSERT_EQ(Load(COLUMN_OUTPUT, 0, {0, 1, 0, 1}), "OK");
        const auto inputs = BlockBytes(gNet.inputBlock), targets = BlockBytes(gNet.targetBlock);
        EXPECT_EQ(Load(c.type, 0, c.values), c.answer) << c.values[1];
        EXPECT_EQ(BlockBytes(gNet.inputBlock), inputs);
        EXPECT_EQ(BlockBytes(gNet.targetBlock), targets);
    }
}

// Symbol cells of a GetOutputsEx answer point into the column's symbol table; replacing the
// table must not leave them pointing at freed (and soon reused) memory.
TEST_F(HostileColumnsTest, SymbolCellsOutliveTheTableTheyCameFrom) {
    ASSERT_EQ(Build(1, 1, 4, 1, 1, 0, CALC_DOUBLE), "OK");
    ASSERT_EQ(LoadTexts(COLUMN_MODE_FLAG, 0, {"TRAIN", "TRAIN", "TRAIN", "SYMBOL"}), "OK");
    ASSERT_EQ(Load(COLUMN_INPUT, 0, {0, 1, 2, 3}), "OK");
    ASSERT_EQ(LoadTexts(COLUMN_OUTPUT, 0, {"A", "B", "C", "A,B,C"}), "OK");
    SetOutputs<double>({0.0, 0.5, 1.0});
    XLOPER* answer = GetOutputsEx(0, OUTPUT_SYMBOLS, 0);
    const std::vector<std::string> before = Texts(answer);
    ASSERT_EQ(before, (std::vector<std::string>{"A", "B", "C", ""}));
    // A new list of the same size: the allocator hands the old table's memory straight back.
    ASSERT_EQ(LoadTexts(COLUMN_OUTPUT, 0, {"X", "Y", "Z", "X,Y,Z"}), "OK");
    EXPECT_EQ(Texts(answer), before);
    // The next answer is built on the current table.
    const int32_t blocks = PlatformLiveBlocks();
    SetOutputs<double>({0.0, 0.5, 1.0});
    GetOutputsEx(0, OUTPUT_SYMBOLS, 0);
    EXPECT_EQ(Texts(answer), (std::vector<std::string>{"X", "Y", "Z", ""}));
    EXPECT_EQ(PlatformLiveBlocks(), blocks - 1); // the replaced table is gone
    CleanUp();
    EXPECT_EQ(PlatformLiveBlocks(), 0);
}

} // namespace
