#include "data/symbols.h"
#include "data_fixture.h"
#include "platform/platform.h"

#include <limits>

namespace {

double ValueOf(int type, int index, const std::string& cell) {
    std::string counted = char(cell.size()) + cell;
    return SymbolValue(type, index, reinterpret_cast<const unsigned char*>(counted.data()));
}
std::string SetSymbols(int type, int index, std::string list) {
    return SetColumnSymbols(type, index, list.data());
}
std::string SymbolText(int column, double value) {
    const unsigned char* entry = SymbolAt(column, value);
    return entry == nullptr ? "<numeric>" : CountedText(entry);
}

class SymbolsTest : public LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        ASSERT_EQ(Build(2, 2, 4, 1, 1, 0, CALC_DOUBLE), "OK");
    }
};

TEST_F(SymbolsTest, ValuesTurnBackIntoTheSymbolOfTheirBand) {
    ASSERT_EQ(SetSymbols(COLUMN_OUTPUT, 1, "A,B,C"), "OK");
    // Values on the band edges; what lies outside, NaN included, has no symbol.
    const double nan = std::numeric_limits<double>::quiet_NaN(), huge = 1e300;
    const std::vector<std::pair<double, std::string>> cases = {{-0.9, "A"}, {0.99, "A"}, {1.0, "B"},
                                                               {2.9, "C"},  {3.0, ""},   {-1.0, ""},
                                                               {huge, ""},  {nan, ""}};
    for (const auto& [value, symbol] : cases)
        EXPECT_EQ(SymbolText(1, value), symbol.empty() ? "Value out of range" : symbol) << value;
    EXPECT_EQ(SymbolText(0, 1.0), "<numeric>");
    EXPECT_EQ(SymbolText(2, 1.0), "<numeric>");
}

TEST_F(SymbolsTest, TablesAreReplacedFreedAndRefused) {
    int32_t blocks = PlatformLiveBlocks();
    ASSERT_EQ(SetSymbols(COLUMN_OUTPUT, 0, "A,B"), "OK");
    ASSERT_EQ(SetSymbols(COLUMN_OUTPUT, 0, "X,Y,Z"), "OK");
    EXPECT_EQ(ValueOf(COLUMN_OUTPUT, 0, "A"), 0.0);
    EXPECT_EQ(ValueOf(COLUMN_OUTPUT, 0, "Z"), 2.5);
    EXPECT_EQ(PlatformLiveBlocks(), blocks + 1);
    PlatformFailAllocation(1);
    EXPECT_EQ(SetSymbols(COLUMN_OUTPUT, 0, "P,Q"), "Insufficient memory for symbols.");
    EXPECT_EQ(SymbolText(0, 0.5), "<numeric>");
    EXPECT_EQ(PlatformLiveBlocks(), blocks);

    ASSERT_EQ(SetSymbols(COLUMN_INPUT, 0, "abcdefghijklmnopqrst,x"), "OK"); // 15 characters count
    EXPECT_EQ(ValueOf(COLUMN_INPUT, 0, "ABCDEFGHIJKLMNO"), 0.5);
    EXPECT_EQ(SetSymbols(COLUMN_MODE_FLAG, 0, "A"), "Invalid column type");
    EXPECT_EQ(SetSymbols(COLUMN_INPUT, 2, "A"), "Incorrect index");
    ASSERT_EQ(SetSymbols(COLUMN_INPUT, 1, "A"), "OK");
    CleanUp(); // frees the tables with the network
    EXPECT_EQ(PlatformLiveBlocks(), 0);
    EXPECT_EQ(SetSymbols(COLUMN_OUTPUT, 0, "A"), "Can't set symbols before Init");
}

} // namespace
